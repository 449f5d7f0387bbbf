// The real file system with faults on demand: every operation (each open, read, write, seek, size
// query, flush and close of the files it hands out; each copy, move, rename, delete, permission
// copy, folder creation and folder flush) is counted from 1, and the one numbered failAt fails,
// once or together with every later one. Existence queries are not counted: they never fail.
// Put in place with SetFileSystem; single-threaded.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "lkmdb7/platform/internal/FileSystem.h"

namespace lkmdb7_test {

using LKMDB7::BOOL;
using LKMDB7::CFile;
using LKMDB7::CFileException;
using LKMDB7::LONG;
using LKMDB7::UINT;

enum class Fault {
    none,
    ioError,      // the device reports an error (ERROR_IO_DEVICE)
    diskFull,     // ERROR_DISK_FULL
    shortWrite,   // a write stores half its bytes, then fails with ERROR_DISK_FULL; elsewhere disk
                  // full
    interrupted,  // the call is cut short with nothing done (ERROR_OPERATION_ABORTED)
};

const char* FaultName(Fault fault);

class FaultyFileSystem : public LKMDB7::FileSystem {
  public:
    // Fails call number failAt (from 1) with fault; with sticky every later call fails too.
    // Counting restarts at 0.
    void Arm(std::size_t failAt, Fault fault, bool sticky);
    // No more faults; counting restarts at 0.
    void Disarm() { Arm(0, Fault::none, false); }

    // Plays a folder that its user may not write (a 0555 folder of another user, which root, who
    // runs CI, would still write): creating, renaming and deleting names in it fails with
    // ERROR_ACCESS_DENIED, while its files may be opened, read and written. Empty for none. Not
    // reset by Arm.
    void RefuseNewFilesIn(const std::string& folder) { refusing_ = folder; }

    std::size_t Calls() const { return calls_; }
    // One entry per counted call: the operation and the file name, as "write db.lkb.saving".
    const std::vector<std::string>& Log() const { return log_; }
    // The entry of the call that failed first, empty when nothing failed.
    const std::string& FirstFailure() const { return firstFailure_; }

    // Counts a call and answers the fault it must show (none when it runs normally).
    Fault Next(const std::string& operation, const char* path);
    static LONG CodeOf(Fault fault);

    std::unique_ptr<CFile> OpenFile(const char* path, UINT flags, CFileException* err) override;
    BOOL CreateDirectoryA(const char* path) override;
    BOOL CopyFileA(const char* from, const char* to, BOOL failIfExists) override;
    BOOL MoveFileA(const char* from, const char* to) override;
    BOOL MoveFileReplace(const char* from, const char* to) override;
    BOOL DeleteFileA(const char* path) override;
    BOOL CopyPermissions(const char* from, const char* to) override;
    BOOL SyncFolder(const char* folder) override;

  private:
    BOOL Refuse(Fault fault);
    bool InRefusingFolder(const char* path) const;

    std::size_t failAt_ = 0;
    Fault fault_ = Fault::none;
    bool sticky_ = false;
    std::size_t calls_ = 0;
    std::vector<std::string> log_;
    std::string firstFailure_;
    std::string refusing_;
};

// Puts a file system in place for one scope and the previous one back after.
class ScopedFileSystem {
  public:
    explicit ScopedFileSystem(LKMDB7::FileSystem& fs) : previous_(LKMDB7::SetFileSystem(&fs)) {}
    ~ScopedFileSystem() { LKMDB7::SetFileSystem(previous_); }
    ScopedFileSystem(const ScopedFileSystem&) = delete;
    ScopedFileSystem& operator=(const ScopedFileSystem&) = delete;

  private:
    LKMDB7::FileSystem* previous_;
};

}  // namespace lkmdb7_test

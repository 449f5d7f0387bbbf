// The file and folder operations that the engine needs, with the results of the Windows API:
// 0 (false) on failure with the Windows error code left in GetLastError(), 1 (true) on success.
// Paths are byte strings in the platform's form (see PathSeparator.h). Nothing here throws except
// OpenFile, which may raise CMemoryException.
//
// The operations are virtual so that a test can put a replacement in place (SetFileSystem), for
// example one that refuses a move, fails a copy or hands out files that fail to write. The base
// class is the real file system; a replacement derives from it and calls the base for what it
// does not change. Everything the engine does to the database file and its companions (open,
// save, backup, restore, move, upgrade) goes through here.
#pragma once

#include <memory>
#include <vector>

#include "lkmdb7/platform/CFile.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

class LKMDB7_EXPORT FileSystem {
  public:
    FileSystem() = default;
    FileSystem(const FileSystem&) = delete;
    FileSystem& operator=(const FileSystem&) = delete;
    virtual ~FileSystem();

    // Opens a file as CFile::Open does (same flags, same *err on failure) and hands it to the
    // caller, or returns null when it cannot be opened. The real file system gives a disk CFile.
    virtual std::unique_ptr<CFile> OpenFile(const char* path, UINT flags, CFileException* err);

    // Whether a file or folder of that name exists. A null or empty path does not.
    virtual bool PathExists(const char* path);
    // Whether the path names an existing folder (not a file).
    virtual bool FolderExists(const char* path);

    // Creates one folder; its parent must exist. An existing path of any kind fails with
    // ERROR_ALREADY_EXISTS, a missing parent with ERROR_PATH_NOT_FOUND. On POSIX the folder gets
    // mode 0777 less the process umask, as Windows gives a new folder its parent's inherited
    // access; a caller that wants a private folder narrows it itself.
    virtual BOOL CreateDirectoryA(const char* path);

    // Copies the contents of a file. With failIfExists an existing target is left alone and the
    // call fails with ERROR_FILE_EXISTS; otherwise the target is replaced. TRUE only when every
    // byte was written and flushed. On POSIX the copy is written to a temporary file beside the
    // target, synced, given the source's permission bits and renamed over the target, so a
    // failed copy leaves an existing target as it was.
    virtual BOOL CopyFileA(const char* from, const char* to, BOOL failIfExists);

    // Renames or moves a file or folder. Never replaces: an existing target fails with
    // ERROR_ALREADY_EXISTS. A file moves across file systems too (copied, then the source is
    // deleted); a folder does not.
    virtual BOOL MoveFileA(const char* from, const char* to);

    // Renames a file over an existing target in one step: a reader sees the old or the new file,
    // never a mix or none. Both must be on one file system. TRUE only once the new name is on
    // disk (POSIX: the target's folder is synced; Windows: write-through). After FALSE the rename
    // may nevertheless have happened if only that sync failed.
    virtual BOOL MoveFileReplace(const char* from, const char* to);

    // Deletes a file; a folder fails with ERROR_ACCESS_DENIED.
    virtual BOOL DeleteFileA(const char* path);

    // Gives `to` the owner, group and permission bits of `from` (POSIX). An owner or group that
    // the process may not give (only root gives files away) is left as it is; the bits are always
    // copied. Windows keeps no such bits: TRUE.
    virtual BOOL CopyPermissions(const char* from, const char* to);

    // The file that path names once a symbolic link in its last part is followed (POSIX: the
    // link's target, made absolute), or path itself when that is no link or does not exist.
    // FALSE with ERROR_PATH_NOT_FOUND for a link that leads nowhere. Windows: path itself.
    virtual BOOL ResolvePath(const char* path, CString& resolved);

    // The names (not paths) of the entries of a folder, without "." and "..". FALSE with an error
    // code when the folder cannot be read. Not counted among the operations that may fail in
    // tests: only clean-up relies on it.
    virtual BOOL ListFolder(const char* folder, std::vector<CString>& names);

    // Makes the names in a folder (created, renamed, deleted files) durable. POSIX: fsync of the
    // folder; Windows: nothing to do, TRUE.
    virtual BOOL SyncFolder(const char* folder);
};

// The file system in use: the real one unless a test has set another.
LKMDB7_EXPORT FileSystem& GetFileSystem();
// Puts fs in place and returns the one in use before; nullptr puts the real one back. The caller
// keeps ownership of fs and keeps it alive while it is in place.
LKMDB7_EXPORT FileSystem* SetFileSystem(FileSystem* fs);

// The operations with their Windows names, through GetFileSystem().
LKMDB7_EXPORT std::unique_ptr<CFile> OpenFile(const char* path, UINT flags,
                                              CFileException* err = nullptr);
LKMDB7_EXPORT bool PathExists(const char* path);
LKMDB7_EXPORT bool FolderExists(const char* path);
LKMDB7_EXPORT BOOL CreateDirectoryA(const char* path);
LKMDB7_EXPORT BOOL CopyFileA(const char* from, const char* to, BOOL failIfExists);
LKMDB7_EXPORT BOOL MoveFileA(const char* from, const char* to);
LKMDB7_EXPORT BOOL MoveFileReplace(const char* from, const char* to);
LKMDB7_EXPORT BOOL DeleteFileA(const char* path);
LKMDB7_EXPORT BOOL CopyPermissions(const char* from, const char* to);
LKMDB7_EXPORT BOOL ResolvePath(const char* path, CString& resolved);
LKMDB7_EXPORT BOOL ListFolder(const char* folder, std::vector<CString>& names);
LKMDB7_EXPORT BOOL SyncFolder(const char* folder);

}  // namespace LKMDB7

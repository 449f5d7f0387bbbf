#include "tests/support/FaultyFileSystem.h"

#include <filesystem>

#include "lkmdb7/foundation/PathUtils.h"
#include "lkmdb7/platform/SystemError.h"

namespace lkmdb7_test {

using namespace LKMDB7;

namespace {

// A disk file whose every operation asks the file system first whether it must fail.
class FaultyFile : public CFile {
  public:
    explicit FaultyFile(FaultyFileSystem& fs) : fs_(fs) {}

    UINT Read(void* buffer, UINT count) override {
        Check("read");
        return CFile::Read(buffer, count);
    }
    void Write(const void* buffer, UINT count) override {
        const Fault fault = fs_.Next("write", GetFilePath());
        if (fault == Fault::shortWrite) {
            CFile::Write(buffer, count / 2);
        }
        if (fault != Fault::none) {
            Fail(fault, "write");
        }
        CFile::Write(buffer, count);
    }
    ULONGLONG Seek(LONGLONG offset, UINT from) override {
        Check("seek");
        return CFile::Seek(offset, from);
    }
    ULONGLONG GetLength() const override {
        Check("size");
        return CFile::GetLength();
    }
    ULONGLONG GetPosition() const override {
        Check("position");
        return CFile::GetPosition();
    }
    void Flush() override {
        Check("flush");
        CFile::Flush();
    }
    void Close() override {
        const Fault fault = fs_.Next("close", GetFilePath());
        CFile::Close();  // closed either way, as a real close that fails
        if (fault != Fault::none) {
            Fail(fault, "close");
        }
    }

  private:
    void Check(const char* operation) const {
        const Fault fault = fs_.Next(operation, GetFilePath());
        if (fault != Fault::none) {
            Fail(fault, operation);
        }
    }
    [[noreturn]] void Fail(Fault fault, const char* operation) const {
        const LONG code = FaultyFileSystem::CodeOf(fault);
        const std::string path = GetFilePath().str();
        throw CFileException(
            CauseFromOsError(code), code, path,
            path + ": " + operation + " failed (injected " + FaultName(fault) + ")");
    }

    FaultyFileSystem& fs_;
};

}  // namespace

const char* FaultName(Fault fault) {
    switch (fault) {
        case Fault::none:
            return "none";
        case Fault::ioError:
            return "I/O error";
        case Fault::diskFull:
            return "disk full";
        case Fault::shortWrite:
            return "short write";
        case Fault::interrupted:
            return "interrupted call";
    }
    return "?";
}

LONG FaultyFileSystem::CodeOf(Fault fault) {
    switch (fault) {
        case Fault::none:
            return 0;
        case Fault::ioError:
            return static_cast<LONG>(ERROR_IO_DEVICE);
        case Fault::diskFull:
        case Fault::shortWrite:
            return static_cast<LONG>(ERROR_DISK_FULL);
        case Fault::interrupted:
            return static_cast<LONG>(ERROR_OPERATION_ABORTED);
    }
    return static_cast<LONG>(ERROR_GEN_FAILURE);
}

void FaultyFileSystem::Arm(std::size_t failAt, Fault fault, bool sticky) {
    failAt_ = failAt;
    fault_ = fault;
    sticky_ = sticky;
    calls_ = 0;
    log_.clear();
    firstFailure_.clear();
}

Fault FaultyFileSystem::Next(const std::string& operation, const char* path) {
    ++calls_;
    log_.push_back(operation + " " + FileNameOf(path != nullptr ? path : "").str());
    if (failAt_ == 0 || calls_ < failAt_ || (calls_ > failAt_ && !sticky_)) {
        return Fault::none;
    }
    if (firstFailure_.empty()) {
        firstFailure_ = log_.back();
    }
    return fault_;
}

BOOL FaultyFileSystem::Refuse(Fault fault) {
    SetLastError(static_cast<DWORD>(CodeOf(fault)));
    return 0;
}

bool FaultyFileSystem::InRefusingFolder(const char* path) const {
    namespace fs = std::filesystem;
    return !refusing_.empty() && path != nullptr &&
           fs::path(path).parent_path().lexically_normal() ==
               fs::path(refusing_).lexically_normal();
}

namespace {

BOOL DenyAccess() {
    SetLastError(ERROR_ACCESS_DENIED);
    return 0;
}

}  // namespace

std::unique_ptr<CFile> FaultyFileSystem::OpenFile(const char* path, UINT flags,
                                                  CFileException* err) {
    if (const Fault fault = Next("open", path); fault != Fault::none) {
        if (err != nullptr) {
            const LONG code = CodeOf(fault);
            *err = CFileException(CFile::CauseFromOsError(code), code, path,
                                  std::string(path) + ": cannot open (injected)");
        }
        return nullptr;
    }
    const bool creates = (flags & CFile::modeCreateNew) != 0 ||
                         ((flags & CFile::modeCreate) != 0 && !FileSystem::PathExists(path));
    if (creates && InRefusingFolder(path)) {
        if (err != nullptr) {
            *err =
                CFileException(CFileException::accessDenied, static_cast<LONG>(ERROR_ACCESS_DENIED),
                               path, std::string(path) + ": cannot be created (refused folder)");
        }
        return nullptr;
    }
    auto file = std::make_unique<FaultyFile>(*this);
    if (!file->Open(path, flags, err)) {
        return nullptr;
    }
    return file;
}

BOOL FaultyFileSystem::CreateDirectoryA(const char* path) {
    const Fault fault = Next("create folder", path);
    if (fault != Fault::none) {
        return Refuse(fault);
    }
    return InRefusingFolder(path) ? DenyAccess() : FileSystem::CreateDirectoryA(path);
}

BOOL FaultyFileSystem::CopyFileA(const char* from, const char* to, BOOL failIfExists) {
    const Fault fault = Next("copy to", to);
    if (fault != Fault::none) {
        return Refuse(fault);
    }
    return InRefusingFolder(to) ? DenyAccess() : FileSystem::CopyFileA(from, to, failIfExists);
}

BOOL FaultyFileSystem::MoveFileA(const char* from, const char* to) {
    const Fault fault = Next("move to", to);
    if (fault != Fault::none) {
        return Refuse(fault);
    }
    return InRefusingFolder(from) || InRefusingFolder(to) ? DenyAccess()
                                                          : FileSystem::MoveFileA(from, to);
}

// The base renames, then flushes the folder through SyncFolder: two counted calls.
BOOL FaultyFileSystem::MoveFileReplace(const char* from, const char* to) {
    const Fault fault = Next("rename to", to);
    if (fault != Fault::none) {
        return Refuse(fault);
    }
    return InRefusingFolder(from) || InRefusingFolder(to) ? DenyAccess()
                                                          : FileSystem::MoveFileReplace(from, to);
}

BOOL FaultyFileSystem::DeleteFileA(const char* path) {
    const Fault fault = Next("delete", path);
    if (fault != Fault::none) {
        return Refuse(fault);
    }
    return InRefusingFolder(path) ? DenyAccess() : FileSystem::DeleteFileA(path);
}

BOOL FaultyFileSystem::CopyPermissions(const char* from, const char* to) {
    const Fault fault = Next("copy permissions to", to);
    return fault != Fault::none ? Refuse(fault) : FileSystem::CopyPermissions(from, to);
}

BOOL FaultyFileSystem::SyncFolder(const char* folder) {
    const Fault fault = Next("flush folder", folder);
    return fault != Fault::none ? Refuse(fault) : FileSystem::SyncFolder(folder);
}

}  // namespace lkmdb7_test

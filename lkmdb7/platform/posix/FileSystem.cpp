#include "lkmdb7/platform/internal/FileSystem.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <new>
#include <string>

#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/posix/ErrnoMap.h"
#include "lkmdb7/platform/posix/MissingPath.h"

namespace LKMDB7 {

namespace {

constexpr DWORD kErrorNotSameDevice = 17;  // ERROR_NOT_SAME_DEVICE

bool IsEmpty(const char* path) {
    return path == nullptr || *path == '\0';
}

// The folder part of a path, "." when there is none; trailing slashes do not count.
std::string ParentOf(const char* path) {
    std::string p(path);
    while (p.size() > 1 && p.back() == '/') {
        p.pop_back();
    }
    const std::string::size_type slash = p.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : p.substr(0, slash);
}

bool IsFolder(const char* path) {
    struct stat st {};
    return ::stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

BOOL Fail(DWORD code) {
    SetLastError(code);
    return 0;
}

BOOL FailForPath(const char* path) {
    SetLastErrorForPath(path);
    return 0;
}

class Descriptor {
  public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }
    // Closes now, so that a failed close is seen; errno is left set on failure.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

  private:
    int fd_;
};

// Copies everything from in to out. On failure errno tells why.
bool CopyContents(int in, int out) {
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        const char* next = buffer;
        auto left = static_cast<size_t>(got);
        while (left > 0) {
            const ssize_t put = ::write(out, next, left);
            if (put < 0) {
                if (errno == EINTR) {
                    continue;
                }
                return false;
            }
            if (put == 0) {  // a device that takes nothing would loop forever
                errno = ENOSPC;
                return false;
            }
            next += put;
            left -= static_cast<size_t>(put);
        }
    }
}

// Writes the open source into the open target and makes it durable with the source's mode.
bool FillTarget(int in, int out, mode_t mode) {
    return CopyContents(in, out) && ::fchmod(out, mode) == 0 && ::fsync(out) == 0;
}

BOOL CopyNoReplace(int in, mode_t mode, const char* to) {
    Descriptor out(::open(to, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0) {
        return errno == EEXIST ? Fail(ERROR_FILE_EXISTS) : FailForPath(to);
    }
    if (!FillTarget(in, out.get(), mode) || !out.Close()) {
        const DWORD code = SetLastErrorFromErrno();
        ::unlink(to);  // only ever our own half-written file: it did not exist before
        return Fail(code);
    }
    return 1;
}

BOOL CopyReplace(int in, mode_t mode, const char* to) {
    if (IsFolder(to)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    std::string temp = std::string(to) + ".XXXXXX";
    Descriptor out(::mkostemp(temp.data(), O_CLOEXEC));
    if (out.get() < 0) {
        return FailForPath(to);
    }
    if (!FillTarget(in, out.get(), mode) || !out.Close() || ::rename(temp.c_str(), to) != 0) {
        const DWORD code = SetLastErrorFromErrno();
        ::unlink(temp.c_str());
        return Fail(code);
    }
    return 1;
}

// For file systems that cannot rename without replacing. Returns 0 or the errno of the failure.
int RenameWithoutReplacing(const char* from, const char* to) {
    struct stat st {};
    if (::lstat(from, &st) != 0) {
        return errno;
    }
    if (!S_ISDIR(st.st_mode)) {
        // A hard link never replaces an existing name.
        if (::link(from, to) == 0) {
            if (::unlink(from) == 0) {
                return 0;
            }
            const int err = errno;
            ::unlink(to);
            return err;
        }
        if (errno != EPERM && errno != EOPNOTSUPP) {
            return errno;
        }
    }
    // Neither way is atomic here: a file created at the target between the test and the rename
    // would be replaced.
    if (::access(to, F_OK) == 0) {
        return EEXIST;
    }
    return ::rename(from, to) == 0 ? 0 : errno;
}

}  // namespace

DWORD ErrorForMissingPath(const char* path) {
    if (IsEmpty(path)) {
        return ERROR_PATH_NOT_FOUND;
    }
    return IsFolder(ParentOf(path).c_str()) ? ERROR_FILE_NOT_FOUND : ERROR_PATH_NOT_FOUND;
}

DWORD SetLastErrorForPath(const char* path) {
    if (errno != ENOENT) {
        return SetLastErrorFromErrno();
    }
    const DWORD code = ErrorForMissingPath(path);
    SetLastError(code);
    return code;
}

bool FileSystem::PathExists(const char* path) {
    return !IsEmpty(path) && ::access(path, F_OK) == 0;
}

bool FileSystem::FolderExists(const char* path) {
    return !IsEmpty(path) && IsFolder(path);
}

BOOL FileSystem::CreateDirectoryA(const char* path) try {
    if (IsEmpty(path)) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    if (::mkdir(path, 0777) != 0) {
        // mkdir reports ENOENT only for a missing parent, never for the folder itself.
        return errno == ENOENT ? Fail(ERROR_PATH_NOT_FOUND) : FailForPath(path);
    }
    return 1;
} catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
}

BOOL FileSystem::CopyFileA(const char* from, const char* to, BOOL failIfExists) try {
    if (IsEmpty(from) || IsEmpty(to)) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    Descriptor in(::open(from, O_RDONLY | O_CLOEXEC));
    if (in.get() < 0) {
        return FailForPath(from);
    }
    struct stat st {};
    if (::fstat(in.get(), &st) != 0) {
        return FailForPath(from);
    }
    if (!S_ISREG(st.st_mode)) {
        return Fail(ERROR_ACCESS_DENIED);
    }
    const mode_t mode = st.st_mode & 07777;
    return failIfExists ? CopyNoReplace(in.get(), mode, to) : CopyReplace(in.get(), mode, to);
} catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
}

BOOL FileSystem::MoveFileA(const char* from, const char* to) try {
    if (IsEmpty(from) || IsEmpty(to)) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    int err = 0;
    if (::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) != 0) {
        err = errno;
        if (err == EINVAL || err == ENOSYS) {
            err = RenameWithoutReplacing(from, to);
        }
    }
    switch (err) {
        case 0:
            return 1;
        case EEXIST:
        case ENOTEMPTY:
            return Fail(ERROR_ALREADY_EXISTS);
        case ENOENT:
            return Fail(::access(from, F_OK) != 0 ? ErrorForMissingPath(from)
                                                  : ERROR_PATH_NOT_FOUND);
        case EXDEV:
            break;
        default:
            return Fail(ErrorFromErrno(err));
    }
    // Another file system: a file is copied and the source deleted, as Windows does; a folder
    // is not moved.
    if (IsFolder(from)) {
        return Fail(kErrorNotSameDevice);
    }
    if (!CopyFileA(from, to, 1)) {
        return 0;
    }
    if (::unlink(from) != 0) {
        const DWORD code = SetLastErrorFromErrno();
        ::unlink(to);
        return Fail(code);
    }
    return 1;
} catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
}

BOOL FileSystem::MoveFileReplace(const char* from, const char* to) try {
    if (IsEmpty(from) || IsEmpty(to)) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    // Everything that can fail for want of memory happens before the rename.
    const std::string folder = ParentOf(to);
    if (::rename(from, to) != 0) {
        if (errno == EXDEV) {
            return Fail(kErrorNotSameDevice);
        }
        if (errno == ENOENT) {
            return Fail(::access(from, F_OK) != 0 ? ErrorForMissingPath(from)
                                                  : ERROR_PATH_NOT_FOUND);
        }
        return Fail(ErrorFromErrno(errno));
    }
    return SyncFolder(folder.c_str());
} catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
}

BOOL FileSystem::DeleteFileA(const char* path) try {
    if (IsEmpty(path)) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    if (::unlink(path) != 0) {
        return FailForPath(path);
    }
    return 1;
} catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
}

BOOL FileSystem::CopyPermissions(const char* from, const char* to) try {
    struct stat st {};
    struct stat now {};
    if (IsEmpty(from) || IsEmpty(to) || ::stat(from, &st) != 0) {
        return FailForPath(from);
    }
    if (::lstat(to, &now) != 0) {
        return FailForPath(to);
    }
    // Only root may give a file away; anyone else keeps the new file as their own, which is
    // what saving a file of another user without root gives on every system.
    if ((now.st_uid != st.st_uid || now.st_gid != st.st_gid) &&
        ::lchown(to, st.st_uid, st.st_gid) != 0 && errno != EPERM) {
        return FailForPath(to);
    }
    // After the owner: a change of owner clears the set-id bits.
    if (::chmod(to, st.st_mode & 07777) != 0) {
        return FailForPath(to);
    }
    return 1;
} catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
}

BOOL FileSystem::ResolvePath(const char* path, CString& resolved) try {
    if (IsEmpty(path)) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    struct stat st {};
    if (::lstat(path, &st) != 0 || !S_ISLNK(st.st_mode)) {
        resolved = path;
        return 1;
    }
    char* real = ::realpath(path, nullptr);
    if (real == nullptr) {
        return errno == ENOMEM ? Fail(ERROR_NOT_ENOUGH_MEMORY) : Fail(ERROR_PATH_NOT_FOUND);
    }
    std::string target(real);
    std::free(real);
    resolved = CString(std::move(target));
    return 1;
} catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
}

BOOL FileSystem::ListFolder(const char* folder, std::vector<CString>& names) try {
    names.clear();
    DIR* dir = ::opendir(IsEmpty(folder) ? "." : folder);
    if (dir == nullptr) {
        return FailForPath(folder);
    }
    struct Closer {
        DIR* d;
        ~Closer() { ::closedir(d); }
    } closer{dir};
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            return errno == 0 ? 1 : Fail(ErrorFromErrno(errno));
        }
        const std::string name = entry->d_name;
        if (name != "." && name != "..") {
            names.emplace_back(name);
        }
    }
} catch (const std::bad_alloc&) {
    names.clear();
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
}

BOOL FileSystem::SyncFolder(const char* folder) try {
    if (IsEmpty(folder)) {
        return Fail(ERROR_PATH_NOT_FOUND);
    }
    Descriptor fd(::open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() < 0) {
        return FailForPath(folder);
    }
    // Some file systems cannot sync a folder and say so with EINVAL; their names are as durable
    // as they get.
    if (::fsync(fd.get()) != 0 && errno != EINVAL) {
        return Fail(ErrorFromErrno(errno));
    }
    return 1;
} catch (const std::bad_alloc&) {
    return Fail(ERROR_NOT_ENOUGH_MEMORY);
}

}  // namespace LKMDB7

// The files that lkmdb reads as input and writes as output, beside the database itself.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "cli/Terminal.h"
#include "cli/platform/ReadLimit.h"

namespace lkmdb {
namespace {

std::string NotAFile(mode_t mode) {
    const char* kind = S_ISDIR(mode)                    ? "a folder"
                       : S_ISFIFO(mode)                 ? "a named pipe (FIFO)"
                       : S_ISCHR(mode) || S_ISBLK(mode) ? "a device"
                       : S_ISSOCK(mode)                 ? "a socket"
                                                        : nullptr;
    return kind != nullptr ? std::string("is ") + kind + ", not a file" : "is not a regular file";
}

std::string SystemError(const char* what, int error) {
    return std::string(what) + " (" + std::strerror(error) + ")";
}

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The folder of `native`, for flushing the new name to disk.
std::string FolderOf(const std::string& native) {
    const std::size_t slash = native.rfind('/');
    return slash == std::string::npos ? "." : slash == 0 ? "/" : native.substr(0, slash);
}

// Creates "<native>.<8 hex digits>.part", 0600, exclusively and never through a link.
int CreateTemporary(const std::string& native, std::string& temporary, int& error) {
    static constexpr char kDigits[] = "0123456789abcdef";
    for (int attempt = 0; attempt < 16; ++attempt) {
        unsigned char random[4] = {};
        if (!SecureRandomBytes(random, sizeof random)) {
            error = EIO;
            return -1;
        }
        temporary = native + '.';
        for (const unsigned char b : random) {
            temporary += kDigits[b >> 4];
            temporary += kDigits[b & 0x0F];
        }
        temporary += ".part";
        const int fd =
            open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) {
            error = errno;
            return fd;
        }
    }
    error = EEXIST;
    return -1;
}

// Gives the temporary file its final name; without `replace`, never over a name that has come
// into being since it was looked at.
int PutInPlace(const std::string& temporary, const std::string& native, bool replace) {
    if (replace) {
        return rename(temporary.c_str(), native.c_str()) == 0 ? 0 : errno;
    }
    if (link(temporary.c_str(), native.c_str()) == 0) {
        unlink(temporary.c_str());
        return 0;
    }
    const int error = errno;
    if (error != EPERM && error != EOPNOTSUPP) {
        return error;
    }
    // A file system without hard links: the name was free a moment ago.
    return rename(temporary.c_str(), native.c_str()) == 0 ? 0 : errno;
}

}  // namespace

std::string NotARegularFile(const std::string& native) {
    struct stat st {};
    if (stat(native.c_str(), &st) != 0 || S_ISREG(st.st_mode)) {
        return {};
    }
    return NotAFile(st.st_mode);
}

std::string ReadRegularFile(const std::string& native, std::size_t limit, std::string& bytes) {
    bytes.clear();
    // Without O_NONBLOCK, opening a pipe waits for a writer, and a device may wait for anything.
    const int fd = open(native.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return SystemError("cannot be read", errno);
    }
    struct stat st {};
    if (fstat(fd, &st) != 0) {
        const int error = errno;
        close(fd);
        return SystemError("cannot be read", error);
    }
    if (!S_ISREG(st.st_mode)) {
        close(fd);
        return NotAFile(st.st_mode);
    }
    // Sized once from the start: a string that grows leaves copies of a secret in freed memory.
    // The byte beyond the limit tells a file that is too large, or has grown since.
    bytes.resize(std::min(static_cast<std::size_t>(st.st_size), limit) + 1);
    std::size_t got = 0;
    int error = 0;
    while (got < bytes.size()) {
        const ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = errno;
            break;
        }
        if (n == 0) {
            break;
        }
        got += static_cast<std::size_t>(n);
        MakeRoomToRead(bytes, got, limit);
    }
    close(fd);
    if (error != 0) {
        bytes.resize(got);
        return SystemError("cannot be read", error);
    }
    return FinishRead(bytes, got, limit);
}

std::string WritePrivateFile(const std::string& native, const std::string& bytes, bool replace) {
    struct stat st {};
    if (lstat(native.c_str(), &st) == 0) {
        if (!replace) {
            return "exists already (--force replaces it)";
        }
        if (S_ISLNK(st.st_mode)) {
            return "is a symbolic link";
        }
        if (!S_ISREG(st.st_mode)) {
            return NotAFile(st.st_mode);
        }
    }
    std::string temporary;
    int error = 0;
    const int fd = CreateTemporary(native, temporary, error);
    if (fd < 0) {
        return SystemError("no file can be made beside it", error);
    }
    const char* failed = nullptr;
    if (!WriteAll(fd, bytes.data(), bytes.size())) {
        failed = "could not be written";
    } else if (fsync(fd) != 0) {
        failed = "could not be flushed to disk";
    }
    error = errno;
    if (close(fd) != 0 && failed == nullptr) {
        failed = "could not be written";
        error = errno;
    }
    if (failed == nullptr) {
        error = PutInPlace(temporary, native, replace);
        failed = error != 0 ? "could not be put in place" : nullptr;
    }
    if (failed != nullptr) {
        unlink(temporary.c_str());
        return SystemError(failed, error);
    }
    // The new name survives a power cut only once its folder is on disk.
    if (const int folder = open(FolderOf(native).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folder >= 0) {
        (void)fsync(folder);
        close(folder);
    }
    return {};
}

}  // namespace lkmdb

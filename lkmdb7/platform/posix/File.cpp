// CFile over POSIX descriptors.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "lkmdb7/platform/CFile.h"
#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/posix/ErrnoMap.h"
#include "lkmdb7/platform/posix/MissingPath.h"

using namespace LKMDB7;

static_assert(sizeof(off_t) >= 8, "large file offsets are needed");

namespace {

int Fd(std::intptr_t h) {
    return static_cast<int>(h);
}

LONG LastOsError() {
    return static_cast<LONG>(SetLastErrorFromErrno());
}

void StartWriteback(int fd, ULONGLONG& unstarted, UINT written) {
#if defined(__linux__)
    // A large file is flushed at its end (Flush); starting to write it out every few MiB lets the
    // disk work while the rest is made, so that flush has little left to wait for. Only a hint:
    // a failure here shows, if it matters, at the flush.
    constexpr ULONGLONG kStartEvery = 4u << 20;
    unstarted += written;
    if (unstarted >= kStartEvery) {
        const off_t end = ::lseek(fd, 0, SEEK_CUR);
        if (end >= 0) {
            const auto length = static_cast<off_t>(unstarted);
            (void)::sync_file_range(fd, end - length, length, SYNC_FILE_RANGE_WRITE);
        }
        unstarted = 0;
    }
#else
    static_cast<void>(fd);
    static_cast<void>(unstarted);
    static_cast<void>(written);
#endif
}

}  // namespace

bool CFile::Open(const char* path, UINT flags, CFileException* err) {
    Abort();
    m_strFileName = path != nullptr ? path : "";
    m_nOpenFlags = flags;
    auto fail = [&](LONG osError) {
        if (err != nullptr) {
            *err = CFileException(CauseFromOsError(osError), osError, m_strFileName.str(),
                                  m_strFileName.str() + ": cannot open (" +
                                      DescribeError(static_cast<DWORD>(osError)) + ")");
        }
        return false;
    };
    if (path == nullptr || *path == '\0') {
        return fail(static_cast<LONG>(ERROR_INVALID_NAME));
    }

    int oflags = O_CLOEXEC;
    switch (flags & 3u) {
        case modeRead:
            oflags |= O_RDONLY;
            break;
        case modeWrite:
            oflags |= O_WRONLY;
            break;
        case modeReadWrite:
            oflags |= O_RDWR;
            break;
        default:
            return fail(static_cast<LONG>(ERROR_INVALID_PARAMETER));
    }
    if ((flags & modeCreate) != 0) {
        oflags |= O_CREAT;
        if ((flags & modeNoTruncate) == 0) {
            oflags |= O_TRUNC;
        }
    }
    if ((flags & modeCreateNew) != 0) {
        oflags = (oflags & ~O_TRUNC) | O_CREAT | O_EXCL | O_NOFOLLOW;
    }

    int fd = -1;
    do {
        fd = ::open(path, oflags, S_IRUSR | S_IWUSR);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        if (errno == EEXIST) {
            return fail(static_cast<LONG>(ERROR_FILE_EXISTS));
        }
        // Windows tells a missing folder from a missing file; callers report either code.
        return fail(static_cast<LONG>(SetLastErrorForPath(path)));
    }
    // A folder opens for reading on POSIX but is no file; Windows refuses it the same way.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return fail(static_cast<LONG>(ERROR_ACCESS_DENIED));
    }
    m_hFile = fd;
    return true;
}

UINT CFile::Read(void* buffer, UINT count) {
    if (m_hFile == hFileNull) {
        ThrowOsError(static_cast<LONG>(ERROR_INVALID_HANDLE), "read");
    }
    auto* p = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < count) {
        const ssize_t n = ::read(Fd(m_hFile), p + done, count - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowOsError(LastOsError(), "read");
        }
        if (n == 0) {
            break;
        }
        done += static_cast<UINT>(n);
    }
    return done;
}

void CFile::Write(const void* buffer, UINT count) {
    if (m_hFile == hFileNull) {
        ThrowOsError(static_cast<LONG>(ERROR_INVALID_HANDLE), "write");
    }
    const auto* p = static_cast<const char*>(buffer);
    UINT done = 0;
    while (done < count) {
        const ssize_t n = ::write(Fd(m_hFile), p + done, count - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ThrowOsError(LastOsError(), "write");
        }
        if (n == 0) {
            // No progress and no error: treat as a full device rather than spin.
            ThrowOsError(static_cast<LONG>(ERROR_DISK_FULL), "write");
        }
        done += static_cast<UINT>(n);
    }
    StartWriteback(Fd(m_hFile), m_unstarted, count);
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
    int whence = SEEK_SET;
    switch (from) {
        case begin:
            whence = SEEK_SET;
            break;
        case current:
            whence = SEEK_CUR;
            break;
        case end:
            whence = SEEK_END;
            break;
        default:
            ThrowOsError(static_cast<LONG>(ERROR_INVALID_PARAMETER), "seek",
                         CFileException::badSeek);
    }
    const off_t pos = ::lseek(Fd(m_hFile), static_cast<off_t>(offset), whence);
    if (pos < 0) {
        ThrowOsError(LastOsError(), "seek", CFileException::badSeek);
    }
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetPosition() const {
    const off_t pos = ::lseek(Fd(m_hFile), 0, SEEK_CUR);
    if (pos < 0) {
        ThrowOsError(LastOsError(), "seek", CFileException::badSeek);
    }
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetLength() const {
    struct stat st {};
    if (::fstat(Fd(m_hFile), &st) != 0) {
        ThrowOsError(LastOsError(), "size query");
    }
    return static_cast<ULONGLONG>(st.st_size);
}

void CFile::Flush() {
    if (m_hFile == hFileNull || (m_nOpenFlags & 3u) == modeRead) {
        return;
    }
    int rc = 0;
    do {
        rc = ::fsync(Fd(m_hFile));
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        ThrowOsError(LastOsError(), "flush");
    }
}

void CFile::Close() {
    if (m_hFile == hFileNull) {
        return;
    }
    const int fd = Fd(m_hFile);
    m_hFile = hFileNull;
    // The descriptor is gone even when close reports an error, so it is never retried; EINTR
    // says nothing about the data.
    if (::close(fd) != 0 && errno != EINTR) {
        ThrowOsError(LastOsError(), "close");
    }
}

void CFile::Abort() {
    if (m_hFile != hFileNull) {
        ::close(Fd(m_hFile));
        m_hFile = hFileNull;
    }
}

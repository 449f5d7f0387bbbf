// CFile over Win32 handles.
#include <string>

#include "lkmdb7/platform/CFile.h"
#include "lkmdb7/platform/win32/WindowsHeader.h"

namespace {

HANDLE Handle(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

LONG LastOsError() {
    WinDword code = ::GetLastError();
    if (code == ERROR_HANDLE_DISK_FULL) {
        code = ERROR_DISK_FULL;  // one code for a full disk, whatever the call
    }
    return static_cast<LONG>(code);
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
                                      LKMDB7::DescribeError(static_cast<DWORD>(osError)) + ")");
        }
        return false;
    };
    if (path == nullptr || *path == '\0') {
        return fail(static_cast<LONG>(ERROR_INVALID_NAME));
    }

    WinDword access = 0;
    switch (flags & 3u) {
        case modeRead:
            access = GENERIC_READ;
            break;
        case modeWrite:
            access = GENERIC_WRITE;
            break;
        case modeReadWrite:
            access = GENERIC_READ | GENERIC_WRITE;
            break;
        default:
            return fail(static_cast<LONG>(ERROR_INVALID_PARAMETER));
    }
    WinDword share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    if ((flags & shareExclusive) != 0) {
        share = 0;
    } else if ((flags & shareDenyWrite) != 0) {
        share = FILE_SHARE_READ;
    }
    WinDword disposition = OPEN_EXISTING;
    if ((flags & modeCreate) != 0) {
        disposition = (flags & modeNoTruncate) != 0 ? OPEN_ALWAYS : CREATE_ALWAYS;
    }

    const HANDLE h =
        ::CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (reinterpret_cast<std::intptr_t>(h) == hFileNull) {
        return fail(LastOsError());
    }
    m_hFile = reinterpret_cast<std::intptr_t>(h);
    return true;
}

UINT CFile::Read(void* buffer, UINT count) {
    if (m_hFile == hFileNull) {
        ThrowOsError(static_cast<LONG>(ERROR_INVALID_HANDLE), "read");
    }
    auto* p = static_cast<char*>(buffer);
    UINT done = 0;
    while (done < count) {
        WinDword n = 0;
        if (!::ReadFile(Handle(m_hFile), p + done, count - done, &n, nullptr)) {
            const LONG code = LastOsError();
            if (code == static_cast<LONG>(ERROR_HANDLE_EOF)) {
                break;
            }
            ThrowOsError(code, "read");
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
        WinDword n = 0;
        if (!::WriteFile(Handle(m_hFile), p + done, count - done, &n, nullptr)) {
            ThrowOsError(LastOsError(), "write");
        }
        if (n == 0) {
            ThrowOsError(static_cast<LONG>(ERROR_DISK_FULL), "write");
        }
        done += static_cast<UINT>(n);
    }
}

ULONGLONG CFile::Seek(LONGLONG offset, UINT from) {
    WinDword method = FILE_BEGIN;
    switch (from) {
        case begin:
            method = FILE_BEGIN;
            break;
        case current:
            method = FILE_CURRENT;
            break;
        case end:
            method = FILE_END;
            break;
        default:
            ThrowOsError(static_cast<LONG>(ERROR_INVALID_PARAMETER), "seek",
                         CFileException::badSeek);
    }
    LARGE_INTEGER distance{};
    distance.QuadPart = offset;
    LARGE_INTEGER pos{};
    if (!::SetFilePointerEx(Handle(m_hFile), distance, &pos, method)) {
        ThrowOsError(LastOsError(), "seek", CFileException::badSeek);
    }
    return static_cast<ULONGLONG>(pos.QuadPart);
}

ULONGLONG CFile::GetPosition() const {
    LARGE_INTEGER distance{};
    LARGE_INTEGER pos{};
    if (!::SetFilePointerEx(Handle(m_hFile), distance, &pos, FILE_CURRENT)) {
        ThrowOsError(LastOsError(), "seek", CFileException::badSeek);
    }
    return static_cast<ULONGLONG>(pos.QuadPart);
}

ULONGLONG CFile::GetLength() const {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(Handle(m_hFile), &size)) {
        ThrowOsError(LastOsError(), "size query");
    }
    return static_cast<ULONGLONG>(size.QuadPart);
}

void CFile::Flush() {
    if (m_hFile == hFileNull || (m_nOpenFlags & 3u) == modeRead) {
        return;
    }
    if (!::FlushFileBuffers(Handle(m_hFile))) {
        ThrowOsError(LastOsError(), "flush");
    }
}

void CFile::Close() {
    if (m_hFile == hFileNull) {
        return;
    }
    const HANDLE h = Handle(m_hFile);
    m_hFile = hFileNull;
    if (!::CloseHandle(h)) {
        ThrowOsError(LastOsError(), "close");
    }
}

void CFile::Abort() {
    if (m_hFile != hFileNull) {
        ::CloseHandle(Handle(m_hFile));
        m_hFile = hFileNull;
    }
}

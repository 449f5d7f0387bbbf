// CFile over Win32 handles.
#include <string>

#include "lkmdb7/platform/CFile.h"
#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/win32/WinApi.h"

using namespace LKMDB7;
using namespace LKMDB7::win32;

namespace {

HANDLE Handle(std::intptr_t h) {
    return reinterpret_cast<HANDLE>(h);
}

LONG LastOsError() {
    DWORD code = ::GetLastError();
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

    DWORD access = 0;
    switch (flags & 3u) {
        case modeRead:
            access = kGenericRead;
            break;
        case modeWrite:
            access = kGenericWrite;
            break;
        case modeReadWrite:
            access = kGenericRead | kGenericWrite;
            break;
        default:
            return fail(static_cast<LONG>(ERROR_INVALID_PARAMETER));
    }
    DWORD share = kFileShareRead | kFileShareWrite;
    if ((flags & shareExclusive) != 0) {
        share = 0;
    } else if ((flags & shareDenyWrite) != 0) {
        share = kFileShareRead;
    }
    DWORD disposition = kOpenExisting;
    if ((flags & modeCreate) != 0) {
        disposition = (flags & modeNoTruncate) != 0 ? kOpenAlways : kCreateAlways;
    }
    if ((flags & modeCreateNew) != 0) {
        disposition = kCreateNew;
    }

    const HANDLE h =
        ::CreateFileA(path, access, share, nullptr, disposition, kFileAttributeNormal, nullptr);
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
        DWORD n = 0;
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
        DWORD n = 0;
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
    DWORD method = kFileBegin;
    switch (from) {
        case begin:
            method = kFileBegin;
            break;
        case current:
            method = kFileCurrent;
            break;
        case end:
            method = kFileEnd;
            break;
        default:
            ThrowOsError(static_cast<LONG>(ERROR_INVALID_PARAMETER), "seek",
                         CFileException::badSeek);
    }
    LONGLONG pos = 0;
    if (!::SetFilePointerEx(Handle(m_hFile), offset, &pos, method)) {
        ThrowOsError(LastOsError(), "seek", CFileException::badSeek);
    }
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetPosition() const {
    LONGLONG pos = 0;
    if (!::SetFilePointerEx(Handle(m_hFile), 0, &pos, kFileCurrent)) {
        ThrowOsError(LastOsError(), "seek", CFileException::badSeek);
    }
    return static_cast<ULONGLONG>(pos);
}

ULONGLONG CFile::GetLength() const {
    LONGLONG size = 0;
    if (!::GetFileSizeEx(Handle(m_hFile), &size)) {
        ThrowOsError(LastOsError(), "size query");
    }
    return static_cast<ULONGLONG>(size);
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

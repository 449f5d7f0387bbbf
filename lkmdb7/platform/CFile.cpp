#include "lkmdb7/platform/CFile.h"

#include <string>

#include "lkmdb7/platform/SystemError.h"

namespace LKMDB7 {

CFile::CFile() = default;

CFile::CFile(const char* path, UINT flags) {
    CFileException err(CFileException::none, -1, "", "");
    if (!Open(path, flags, &err)) {
        throw err;
    }
}

// The backend's Abort, never a derived one: by now the derived part is gone.
CFile::~CFile() {
    CFile::Abort();
}

int CFile::CauseFromOsError(LONG osError) {
    switch (static_cast<DWORD>(osError)) {
        case ERROR_SUCCESS:
            return CFileException::none;
        case ERROR_FILE_NOT_FOUND:
            return CFileException::fileNotFound;
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_BAD_NETPATH:
        case ERROR_BAD_NET_NAME:
            return CFileException::badPath;
        case ERROR_TOO_MANY_OPEN_FILES:
            return CFileException::tooManyOpenFiles;
        case ERROR_ACCESS_DENIED:
        case ERROR_WRITE_PROTECT:
            return CFileException::accessDenied;
        case ERROR_INVALID_HANDLE:
            return CFileException::invalidFile;
        case ERROR_SHARING_VIOLATION:
            return CFileException::sharingViolation;
        case ERROR_LOCK_VIOLATION:
            return CFileException::lockViolation;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
            return CFileException::diskFull;
        case ERROR_HANDLE_EOF:
            return CFileException::endOfFile;
        case ERROR_WRITE_FAULT:
        case ERROR_READ_FAULT:
        case ERROR_IO_DEVICE:
        case ERROR_GEN_FAILURE:
            return CFileException::hardIO;
        default:
            return CFileException::genericException;
    }
}

void CFile::ThrowOsError(LONG osError, const char* action, int cause) const {
    const std::string path = m_strFileName.str();
    throw CFileException(cause >= 0 ? cause : CauseFromOsError(osError), osError, path,
                         (path.empty() ? std::string("file") : path) + ": " + action + " failed (" +
                             DescribeError(static_cast<DWORD>(osError)) + ")");
}

}  // namespace LKMDB7

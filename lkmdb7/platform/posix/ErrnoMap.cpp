#include "lkmdb7/platform/posix/ErrnoMap.h"

#include <cerrno>

#include "lkmdb7/platform/SystemError.h"

namespace LKMDB7 {

namespace {
thread_local DWORD g_lastError = ERROR_SUCCESS;
}  // namespace

DWORD GetLastError() { return g_lastError; }
void SetLastError(DWORD code) { g_lastError = code; }

DWORD ErrorFromErrno(int err) {
    switch (err) {
        case 0: return ERROR_SUCCESS;
        case ENOENT: return ERROR_FILE_NOT_FOUND;
        case ENOTDIR: return ERROR_PATH_NOT_FOUND;
        case EACCES:
        case EPERM:
        case EISDIR: return ERROR_ACCESS_DENIED;
        case EROFS: return ERROR_WRITE_PROTECT;
        case EMFILE:
        case ENFILE: return ERROR_TOO_MANY_OPEN_FILES;
        case EBADF: return ERROR_INVALID_HANDLE;
        case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
        case ENOSPC:
        case EDQUOT:
        case EFBIG: return ERROR_DISK_FULL;
        case EEXIST: return ERROR_ALREADY_EXISTS;
        case ENOTEMPTY: return ERROR_DIR_NOT_EMPTY;
        case ENAMETOOLONG: return ERROR_FILENAME_EXCED_RANGE;
        case EINVAL: return ERROR_INVALID_PARAMETER;
        case EBUSY:
        case ETXTBSY: return ERROR_BUSY;
        case EWOULDBLOCK: return ERROR_LOCK_VIOLATION;
        case EXDEV: return ERROR_NOT_SUPPORTED;
        case EIO: return ERROR_IO_DEVICE;
        case EINTR: return ERROR_OPERATION_ABORTED;
        case ETIMEDOUT: return ERROR_TIMEOUT;
        case ENETUNREACH:
        case EHOSTUNREACH: return ERROR_NETWORK_UNREACHABLE;
        default: return ERROR_GEN_FAILURE;
    }
}

DWORD SetLastErrorFromErrno() {
    const DWORD code = ErrorFromErrno(errno);
    SetLastError(code);
    return code;
}

}  // namespace LKMDB7

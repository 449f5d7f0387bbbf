#include "lkmdb7/platform/SystemError.h"

namespace LKMDB7 {

const char* DescribeError(DWORD code) {
    switch (code) {
        case ERROR_SUCCESS:
            return "success";
        case ERROR_FILE_NOT_FOUND:
            return "file not found";
        case ERROR_PATH_NOT_FOUND:
            return "path not found";
        case ERROR_TOO_MANY_OPEN_FILES:
            return "too many open files";
        case ERROR_ACCESS_DENIED:
            return "access denied";
        case ERROR_INVALID_HANDLE:
            return "invalid handle";
        case ERROR_NOT_ENOUGH_MEMORY:
            return "not enough memory";
        case ERROR_WRITE_PROTECT:
            return "write protected";
        case ERROR_WRITE_FAULT:
            return "write fault";
        case ERROR_READ_FAULT:
            return "read fault";
        case ERROR_GEN_FAILURE:
            return "device failure";
        case ERROR_SHARING_VIOLATION:
            return "file in use";
        case ERROR_LOCK_VIOLATION:
            return "lock violation";
        case ERROR_HANDLE_EOF:
            return "end of file";
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
            return "disk full";
        case ERROR_NOT_SUPPORTED:
            return "not supported";
        case ERROR_BAD_NETPATH:
            return "network path not found";
        case ERROR_BAD_NET_NAME:
            return "network name not found";
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return "already exists";
        case ERROR_INVALID_PARAMETER:
            return "invalid parameter";
        case ERROR_INVALID_NAME:
            return "invalid name";
        case ERROR_DIR_NOT_EMPTY:
            return "folder not empty";
        case ERROR_BUSY:
            return "busy";
        case ERROR_FILENAME_EXCED_RANGE:
            return "name too long";
        case ERROR_OPERATION_ABORTED:
            return "operation aborted";
        case ERROR_IO_DEVICE:
            return "I/O error";
        case ERROR_NETWORK_UNREACHABLE:
            return "network unreachable";
        case ERROR_TIMEOUT:
            return "timed out";
        default:
            return "system error";
    }
}

}  // namespace LKMDB7

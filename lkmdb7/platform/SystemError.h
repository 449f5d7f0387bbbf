// Windows error codes, the one set of codes that hosts compare results against on every platform.
// The POSIX backend maps errno to these in one place (posix/ErrnoMap.cpp).
#pragma once

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// <windows.h> defines these very names as macros of the same values: after it, the macros stand
// in for them.
#if !defined(ERROR_SUCCESS)
enum : DWORD {
    ERROR_SUCCESS = 0,
    ERROR_FILE_NOT_FOUND = 2,
    ERROR_PATH_NOT_FOUND = 3,
    ERROR_TOO_MANY_OPEN_FILES = 4,
    ERROR_ACCESS_DENIED = 5,
    ERROR_INVALID_HANDLE = 6,
    ERROR_NOT_ENOUGH_MEMORY = 8,
    ERROR_WRITE_PROTECT = 19,
    ERROR_WRITE_FAULT = 29,
    ERROR_READ_FAULT = 30,
    ERROR_GEN_FAILURE = 31,
    ERROR_SHARING_VIOLATION = 32,
    ERROR_LOCK_VIOLATION = 33,
    ERROR_HANDLE_EOF = 38,
    ERROR_HANDLE_DISK_FULL = 39,
    ERROR_NOT_SUPPORTED = 50,
    ERROR_BAD_NETPATH = 53,
    ERROR_BAD_NET_NAME = 67,
    ERROR_FILE_EXISTS = 80,
    ERROR_INVALID_PARAMETER = 87,
    ERROR_DISK_FULL = 112,
    ERROR_INVALID_NAME = 123,
    ERROR_DIR_NOT_EMPTY = 145,
    ERROR_BUSY = 170,
    ERROR_ALREADY_EXISTS = 183,
    ERROR_FILENAME_EXCED_RANGE = 206,
    ERROR_OPERATION_ABORTED = 995,
    ERROR_IO_DEVICE = 1117,
    ERROR_NETWORK_UNREACHABLE = 1231,
    ERROR_TIMEOUT = 1460
};
#endif

// The calling thread's last error, as the Win32 functions of this layer leave it.
LKMDB7_EXPORT DWORD GetLastError();
// Sets the calling thread's last error, which GetLastError then returns.
LKMDB7_EXPORT void SetLastError(DWORD code);

// A short English description of a code, for messages ("access denied").
LKMDB7_EXPORT const char* DescribeError(DWORD code);

}  // namespace LKMDB7

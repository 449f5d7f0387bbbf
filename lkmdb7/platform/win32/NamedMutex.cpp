// Named mutex on Windows: the system's own.

#include "lkmdb7/platform/internal/NamedMutex.h"

#include "lkmdb7/platform/win32/WinApi.h"

namespace LKMDB7 {

HANDLE CreateMutexA(void* security, BOOL initialOwner, const char* name) {
    return ::CreateMutexA(security, initialOwner, name);
}

DWORD WaitForSingleObject(HANDLE mutex, DWORD milliseconds) {
    return ::WaitForSingleObject(mutex, milliseconds);
}

BOOL ReleaseMutex(HANDLE mutex) {
    return ::ReleaseMutex(mutex);
}

const char* GetLastMutexDetail() {
    return "";
}

BOOL CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

}  // namespace LKMDB7

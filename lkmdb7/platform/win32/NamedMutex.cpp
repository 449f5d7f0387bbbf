// Named mutex on Windows: the system's own. The kernel32 entry points are declared here rather
// than through windows.h, whose macros and typedefs (DWORD, WAIT_TIMEOUT, ...) collide with the
// names this layer defines.

#include "lkmdb7/platform/NamedMutex.h"

extern "C" {
__declspec(dllimport) void* __stdcall CreateMutexA(void* security, int initialOwner,
                                                   const char* name);
__declspec(dllimport) unsigned long __stdcall WaitForSingleObject(void* handle,
                                                                  unsigned long milliseconds);
__declspec(dllimport) int __stdcall ReleaseMutex(void* handle);
__declspec(dllimport) int __stdcall CloseHandle(void* handle);
}

namespace LKMDB7 {

HANDLE CreateMutexA(void* security, BOOL initialOwner, const char* name) {
    return ::CreateMutexA(security, initialOwner, name);
}

DWORD WaitForSingleObject(HANDLE mutex, DWORD milliseconds) {
    return static_cast<DWORD>(::WaitForSingleObject(mutex, milliseconds));
}

BOOL ReleaseMutex(HANDLE mutex) {
    return ::ReleaseMutex(mutex);
}

BOOL CloseHandle(HANDLE handle) {
    return ::CloseHandle(handle);
}

}  // namespace LKMDB7

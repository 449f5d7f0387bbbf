// windows.h declares LONG, DWORD and SCODE with other types than Types.h and defines every
// ERROR_* code as a macro, so it cannot share a translation unit with SystemError.h. The two
// kernel32 functions needed here are declared directly instead.
#include "lkmdb7/platform/SystemError.h"

extern "C" {
__declspec(dllimport) unsigned long __stdcall GetLastError(void);
__declspec(dllimport) void __stdcall SetLastError(unsigned long code);
}

namespace LKMDB7 {

// DWORD and unsigned long are both 32 bits wide on Windows.
DWORD GetLastError() {
    return static_cast<DWORD>(::GetLastError());
}
void SetLastError(DWORD code) {
    ::SetLastError(code);
}

}  // namespace LKMDB7

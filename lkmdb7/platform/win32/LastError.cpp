#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/win32/WinApi.h"

namespace LKMDB7 {

DWORD GetLastError() {
    return ::GetLastError();
}
void SetLastError(DWORD code) {
    ::SetLastError(code);
}

}  // namespace LKMDB7

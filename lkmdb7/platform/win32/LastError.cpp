#include <windows.h>

#include "lkmdb7/platform/SystemError.h"

namespace LKMDB7 {

DWORD GetLastError() { return ::GetLastError(); }
void SetLastError(DWORD code) { ::SetLastError(code); }

}  // namespace LKMDB7

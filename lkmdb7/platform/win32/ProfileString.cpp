#include "lkmdb7/platform/internal/ProfileString.h"

#include "lkmdb7/platform/win32/WinApi.h"

namespace LKMDB7::detail {

DWORD ReadProfileString(const char* section, const char* key, const char* defaultValue, char* out,
                        DWORD size, const char* fileName) {
    return ::GetPrivateProfileStringA(section, key, defaultValue, out, size, fileName);
}

}  // namespace LKMDB7::detail

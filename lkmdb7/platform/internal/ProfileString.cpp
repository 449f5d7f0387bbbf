#include "lkmdb7/platform/internal/ProfileString.h"

#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

DWORD GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue,
                               char* out, DWORD size, const char* fileName) {
    // Windows gives null section, key and file name meanings of their own (listing names,
    // reading WIN.INI) that no caller here wants; refuse them alike on every platform.
    if (section == nullptr) {
        AfxThrowInvalidArgException("GetPrivateProfileStringA: section name is null");
    }
    if (key == nullptr) {
        AfxThrowInvalidArgException("GetPrivateProfileStringA: key name is null");
    }
    if (fileName == nullptr) {
        AfxThrowInvalidArgException("GetPrivateProfileStringA: file name is null");
    }
    if (size == 0) {
        return 0;
    }
    if (out == nullptr) {
        AfxThrowInvalidArgException("GetPrivateProfileStringA: output buffer is null");
    }
    return detail::ReadProfileString(section, key, defaultValue, out, size, fileName);
}

}  // namespace LKMDB7

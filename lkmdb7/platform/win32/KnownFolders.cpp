#include "lkmdb7/platform/internal/KnownFolders.h"

#include "lkmdb7/platform/win32/WinApi.h"

namespace LKMDB7 {

CString GetPersonalFolder() {
    char path[win32::kMaxPath + 1] = {};
    if (::SHGetFolderPathA(nullptr, win32::kCsidlPersonal, nullptr, win32::kShgfpTypeCurrent,
                           path) != 0) {
        return CString();
    }
    path[win32::kMaxPath] = '\0';
    return CString(path);
}

}  // namespace LKMDB7

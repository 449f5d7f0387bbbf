#include "lkmdb7/platform/internal/KnownFolders.h"

#include <cstdlib>
#include <string>
#include <utility>

namespace LKMDB7 {

namespace {

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

}  // namespace

CString GetPersonalFolder() {
    // A relative value would put the user's files wherever the process happens to run; the
    // desktop's convention is to ignore it.
    const char* documents = std::getenv("XDG_DOCUMENTS_DIR");
    if (documents != nullptr && documents[0] == '/') {
        return CString(WithoutTrailingSlashes(documents));
    }
    const char* home = std::getenv("HOME");
    if (home == nullptr || home[0] == '\0') {
        return CString();
    }
    std::string folder = WithoutTrailingSlashes(home);
    if (folder != "/") {
        folder += '/';
    }
    folder += "Documents";
    return CString(std::move(folder));
}

}  // namespace LKMDB7

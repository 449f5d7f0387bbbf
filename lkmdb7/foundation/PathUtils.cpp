#include "lkmdb7/foundation/PathUtils.h"

#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/internal/FileSystem.h"
#include "lkmdb7/platform/internal/PathSeparator.h"

namespace LKMDB7 {

namespace {

bool IsAnySeparator(char c) {
    return c == '/' || c == '\\';
}

bool IsWordSeparator(const CString& text, int pos) {
    const char c = text.GetAt(pos);
    return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

}  // namespace

void AppendPath(CString& path, const CString& part) {
    if (!path.IsEmpty() && path.str().back() != kPathSeparator && !part.IsEmpty() &&
        part.str().front() != kPathSeparator) {
        path += kPathSeparator;
    }
    path += part;
}

CString JoinPath(const CString& path, const CString& part) {
    CString joined(path);
    AppendPath(joined, part);
    return joined;
}

CString FileNameOf(const CString& path) {
    const std::string& p = path.str();
    std::string::size_type start = 0;
    // Any character before a colon at the start is a drive, as _splitpath takes it.
    if (p.size() >= 2 && p[1] == ':') {
        start = 2;
    }
    for (std::string::size_type i = start; i < p.size(); ++i) {
        if (IsAnySeparator(p[i])) {
            start = i + 1;
        }
    }
    return CString(p.substr(start));
}

CString FolderOf(const CString& path) {
    const int last = path.ReverseFind(kPathSeparator);
    return last < 0 ? CString() : path.Left(last);
}

bool IsServerRoot(const CString& path) {
    return path.GetLength() >= 2 && path.str().compare(0, 2, "\\\\") == 0 &&
           path.str().find('\\', 2) == std::string::npos;
}

DWORD CreateFolderTree(const CString& path) {
    const std::string& p = path.str();
    for (std::string::size_type sep = p.find(kPathSeparator); sep != std::string::npos;
         sep = p.find(kPathSeparator, sep + 1)) {
        const CString prefix(p.substr(0, sep));
        if (prefix.IsEmpty() || IsServerRoot(prefix) || PathExists(prefix)) {
            continue;
        }
        if (!CreateDirectoryA(prefix)) {
            return GetLastError();
        }
    }
    if (PathExists(path)) {
        // A file of that name is no folder, whatever the caller goes on to do with it.
        return FolderExists(path) ? ERROR_SUCCESS : ERROR_ALREADY_EXISTS;
    }
    return CreateDirectoryA(path) ? ERROR_SUCCESS : GetLastError();
}

bool TextMatches(CString haystack, CString needle, bool matchCase, bool wholeWord) {
    if (!matchCase) {
        haystack.MakeLower();
        needle.MakeLower();
    }
    const int n = needle.GetLength();
    const int end = haystack.GetLength();
    for (int p = haystack.Find(needle); p >= 0; p = haystack.Find(needle, p + 1)) {
        if (!wholeWord) {
            return true;
        }
        const bool leftEdge = p == 0 || IsWordSeparator(haystack, p - 1);
        const bool rightEdge = p + n >= end || IsWordSeparator(haystack, p + n);
        if (leftEdge && rightEdge) {
            return true;
        }
    }
    return false;
}

}  // namespace LKMDB7

// Path and text helpers shared by the database and record code. Paths use the platform's
// separator ('\\' on Windows, '/' elsewhere); FileNameOf also accepts the other platform's.
// Nothing here throws except CMemoryException from the string class.
#pragma once

#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// Appends part to path, with one separator between them when path does not end in one and part
// does not start with one (and neither is empty). Existing separators are never removed.
LKMDB7_EXPORT void AppendPath(CString& path, const CString& part);
// A copy of path with part appended by AppendPath.
LKMDB7_EXPORT CString JoinPath(const CString& path, const CString& part);

// The file name with its extension: everything after the last '/' or '\\', or after a leading
// drive such as "C:". Empty for a path that ends in a separator.
LKMDB7_EXPORT CString FileNameOf(const CString& path);
// Everything before the last separator; empty when there is none.
LKMDB7_EXPORT CString FolderOf(const CString& path);

// A bare network server name: two leading backslashes and no further backslash ("\\\\server").
LKMDB7_EXPORT bool IsServerRoot(const CString& path);

// Creates the folder and every missing parent. 0 when the folder exists at the end; otherwise the
// Windows code of the creation that failed (folders made before it stay), or
// ERROR_ALREADY_EXISTS when the path names an existing file.
LKMDB7_EXPORT DWORD CreateFolderTree(const CString& path);

// Whether needle occurs in haystack. Without matchCase both are compared in lower case. With
// wholeWord an occurrence counts only between separators (space, CR, LF, tab) or the text's ends.
// An empty needle occurs at position 0.
LKMDB7_EXPORT bool TextMatches(CString haystack, CString needle, bool matchCase, bool wholeWord);

}  // namespace LKMDB7

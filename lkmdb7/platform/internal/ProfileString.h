// Reading one value from a Windows initialization (.ini) file, the form of the host's preferences
// file. The Win32 backend calls the system's reader; the POSIX backend reads the file itself with
// the same results for what the host's file holds.
#pragma once

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// Copies the value of `key` in `section` of the file `fileName` into `out` and returns the number
// of bytes copied, not counting the terminating zero that always follows them.
//
// - Section and key names match without regard to ASCII case and to blanks around them. Only the
//   first section of that name is searched, and the first line of that key in it wins.
// - A line is one key when it holds '='; blanks around the key and around the value are dropped,
//   and then one pair of matching quotes ('...' or "...") around the whole value. A line whose
//   first non-blank character is ';' is a comment; any other line without '=' is ignored.
//   "[name]" starts a section; the name is what lies between '[' and the last ']' of the line.
//   LF, CRLF and CR end lines; the last line may lack its end; a UTF-8 byte-order mark at the
//   start of the file is skipped. A zero byte ends a value.
// - When the file cannot be read, or the section or the key is missing, `defaultValue` is copied
//   instead (null counts as empty), without the spaces at its end, as Windows does.
// - A longer text is cut to size - 1 bytes. With size 0 nothing is written and 0 is returned.
//
// `fileName` should be a full path: Windows looks for a bare name in the Windows folder, POSIX in
// the current folder. Bytes pass unchanged (no code page conversion on POSIX).
// Throws CInvalidArgException when section, key or fileName is null, or out is null while size
// is not 0; CMemoryException when a line of the file does not fit in memory.
LKMDB7_EXPORT DWORD GetPrivateProfileStringA(const char* section, const char* key,
                                             const char* defaultValue, char* out, DWORD size,
                                             const char* fileName);

namespace detail {

// The backend's reader, called with arguments already checked (all non-null, size > 0).
DWORD ReadProfileString(const char* section, const char* key, const char* defaultValue, char* out,
                        DWORD size, const char* fileName);

}  // namespace detail

}  // namespace LKMDB7

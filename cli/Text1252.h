// Windows-1252 <-> UTF-8. Database texts are single-byte Windows-1252; everything the tool reads or
// writes is UTF-8. The code page is the library's table (lkmdb7/platform/Windows1252.h), so every
// byte survives a round trip.
#pragma once

#include <string>
#include <string_view>

namespace lkmdb {

// Every byte has a character: this never fails.
std::string ToUtf8(std::string_view text1252);

// Throws CliError (exit code 2) naming `what` and the character for invalid UTF-8, for a
// character that has no Windows-1252 byte, and for U+0000, which a stored text cannot hold.
std::string ToWindows1252(std::string_view utf8, std::string_view what);

}  // namespace lkmdb

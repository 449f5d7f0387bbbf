// Windows-1252 <-> UTF-8. Database texts are single-byte Windows-1252; everything the tool reads or
// writes is UTF-8. The five bytes that Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F, 0x90,
// 0x9D) map to the code points of the same value, both ways, so every byte survives a round trip.
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

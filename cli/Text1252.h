// Windows-1252 <-> UTF-8. Database texts are single-byte Windows-1252; everything the tool reads or
// writes is UTF-8. The code page is the library's table (lkmdb7/platform/internal/Windows1252.h),
// so every byte survives a round trip.
#pragma once

#include <string>
#include <string_view>

namespace lkmdb {

// Every byte has a character: this never fails.
std::string ToUtf8(std::string_view text1252);

// Throws CliError (exit code 2) naming `what` and the character for invalid UTF-8, for a
// character that has no Windows-1252 byte, and for U+0000, which a stored text cannot hold.
std::string ToWindows1252(std::string_view utf8, std::string_view what);

// Text safe to show on a terminal: C0 controls, DEL and C1 controls (U+0080 to U+009F, which the
// unassigned Windows-1252 bytes become) are shown escaped (\n, \r, \t, \x1b, \u009d), and so is
// every byte that is not part of valid UTF-8 (\xff). Everything else, backslashes included, is
// left as it is. For human-readable output only: JSON and CSV carry the texts exactly.
std::string Printable(std::string_view utf8);
// The same, line by line: the line feeds that end lines are kept.
std::string PrintableLines(std::string_view utf8);

}  // namespace lkmdb

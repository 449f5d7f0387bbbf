// The Windows-1252 code page: the single-byte text of database files made on Windows. One table
// for every user: the POSIX backend converts, folds case and collates with it, and the lkmdb tool
// converts to and from UTF-8 with it. Nothing here throws.
//
// The five bytes that the code page leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for
// the code points of the same value both ways, as Windows maps them, so every byte survives a
// round trip.
#pragma once

#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

// The Unicode code point of a byte.
LKMDB7_EXPORT char32_t Windows1252ToCodePoint(unsigned char byte);

// The byte of a code point, or -1 when the code page has none.
LKMDB7_EXPORT int Windows1252ByteOf(char32_t codePoint);

// Case mapping: the other case of a letter that has one (A-Z, the accented capitals and their
// small letters, S/Z/OE with caron or ligature, Y with diaeresis); any other byte as it is.
unsigned char Windows1252Lower(unsigned char byte);
unsigned char Windows1252Upper(unsigned char byte);

// Collation weight without regard to case: equal for the two cases of a letter, and an accented
// letter right after its base letter (a < ä < b); other bytes in the order of their lower case.
unsigned short Windows1252CollationWeight(unsigned char byte);

}  // namespace LKMDB7

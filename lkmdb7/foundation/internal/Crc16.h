// CRC-16 with polynomial 0x1021, most significant bit first, no reflection and no final XOR. Every
// caller passes its own initial value; with 0 this is the common XMODEM check.
#pragma once

#include <cstddef>

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// CRC of length bytes of data, starting from initial. A length of 0 returns initial and does not
// read data. Throws CInvalidArgException when data is null and length is not 0.
LKMDB7_EXPORT WORD Crc16Bytes(const BYTE* data, std::size_t length, WORD initial);

// The 16-bit form of packed-record callers: a longer buffer is passed with its length modulo
// 65536, and only that many bytes are summed.
LKMDB7_EXPORT WORD Crc16(const BYTE* data, WORD length, WORD initial);

// The same CRC one byte and one table lookup at a time. It is the yardstick that the faster form
// is checked and timed against; the library itself does not use it.
LKMDB7_EXPORT WORD Crc16Reference(const BYTE* data, std::size_t length, WORD initial);

}  // namespace LKMDB7

// Temporary stand-in for the table-driven CRC-16 (poly 0x1021, MSB first, no final XOR) until the
// real one lands; same signature.
#pragma once

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

LKMDB7_EXPORT WORD Crc16(const BYTE* data, WORD length, WORD initial);

}  // namespace LKMDB7

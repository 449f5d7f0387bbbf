#include "lkmdb7/foundation/Crc16.h"

namespace LKMDB7 {

WORD Crc16(const BYTE* data, WORD length, WORD initial) {
    unsigned crc = initial;
    for (WORD i = 0; i < length; ++i) {
        crc ^= static_cast<unsigned>(data[i]) << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000) != 0 ? (crc << 1) ^ 0x1021 : crc << 1;
        }
        crc &= 0xFFFF;
    }
    return static_cast<WORD>(crc);
}

}  // namespace LKMDB7

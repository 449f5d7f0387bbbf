#include "lkmdb7/foundation/internal/Crc16.h"

#include <array>
#include <string>

#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {
namespace {

using Table = std::array<WORD, 256>;

// kTables[0][i] is the CRC of the single byte i; kTables[k][i] that of byte i followed by k zero
// bytes, so eight bytes fold into the CRC with eight independent lookups.
constexpr std::array<Table, 8> MakeTables() {
    std::array<Table, 8> t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i << 8;
        for (int bit = 0; bit < 8; ++bit) {
            crc = (crc & 0x8000u) != 0 ? (crc << 1) ^ 0x1021u : crc << 1;
        }
        t[0][i] = static_cast<WORD>(crc);
    }
    for (std::size_t k = 1; k < 8; ++k) {
        for (std::size_t i = 0; i < 256; ++i) {
            const unsigned prev = t[k - 1][i];
            t[k][i] = static_cast<WORD>((prev << 8) ^ t[0][prev >> 8]);
        }
    }
    return t;
}

constexpr std::array<Table, 8> kTables = MakeTables();
static_assert(kTables[0][1] == 0x1021);

inline unsigned Step(unsigned crc, BYTE b) {
    return ((crc << 8) & 0xFFFFu) ^ kTables[0][(crc >> 8) ^ b];
}

void CheckData(const BYTE* data, std::size_t length, const char* who) {
    if (data == nullptr && length != 0) {
        AfxThrowInvalidArgException(std::string(who) + ": data is null but the length is " +
                                    std::to_string(length));
    }
}

}  // namespace

WORD Crc16Bytes(const BYTE* data, std::size_t length, WORD initial) {
    CheckData(data, length, "Crc16Bytes");
    const auto& t = kTables;
    unsigned crc = initial;
    for (; length >= 8; length -= 8, data += 8) {
        crc = t[7][(crc >> 8) ^ data[0]] ^ t[6][(crc & 0xFFu) ^ data[1]] ^ t[5][data[2]] ^
              t[4][data[3]] ^ t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (; length > 0; --length, ++data) {
        crc = Step(crc, *data);
    }
    return static_cast<WORD>(crc);
}

WORD Crc16(const BYTE* data, WORD length, WORD initial) {
    return Crc16Bytes(data, length, initial);
}

WORD Crc16Reference(const BYTE* data, std::size_t length, WORD initial) {
    CheckData(data, length, "Crc16Reference");
    unsigned crc = initial;
    for (std::size_t i = 0; i < length; ++i) {
        crc = Step(crc, data[i]);
    }
    return static_cast<WORD>(crc);
}

}  // namespace LKMDB7

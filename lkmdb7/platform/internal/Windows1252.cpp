#include "lkmdb7/platform/internal/Windows1252.h"

#include <array>
#include <cstddef>

namespace LKMDB7 {

namespace {

// Code points of bytes 0x80 to 0x9F; the unassigned ones stand for themselves.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98-9F
};

// Base letter of the accented letters 0x80-0xFF in upper or lower case, 0 for the rest. Letters
// without a base of their own in the Latin alphabet sort after z.
constexpr char BaseLetter(unsigned char byte) {
    constexpr const char* kC0 = "aaaaaaaceeeeiiiidnooooo\0ouuuuyzs";  // C0-DF
    if (byte >= 0xC0) {
        const unsigned char upper = byte >= 0xE0 && byte != 0xF7 && byte != 0xFF
                                        ? static_cast<unsigned char>(byte - 0x20)
                                        : byte;
        if (upper == 0xFF) {
            return 'y';
        }
        return upper < 0xE0 ? kC0[upper - 0xC0] : '\0';
    }
    switch (byte) {
        case 0x83:  // f with hook
            return 'f';
        case 0x8A:
        case 0x9A:  // S with caron
            return 's';
        case 0x8C:
        case 0x9C:  // OE
            return 'o';
        case 0x8E:
        case 0x9E:  // Z with caron
            return 'z';
        case 0x9F:  // Y with diaeresis
            return 'y';
        default:
            return '\0';
    }
}

struct Tables {
    std::array<unsigned char, 256> lower{};
    std::array<unsigned char, 256> upper{};
    std::array<unsigned short, 256> weight{};
};

constexpr Tables MakeTables() {
    Tables t;
    for (std::size_t i = 0; i < 256; ++i) {
        t.lower[i] = static_cast<unsigned char>(i);
        t.upper[i] = static_cast<unsigned char>(i);
    }
    const auto pair = [&t](unsigned char capital, unsigned char small) {
        t.lower[capital] = small;
        t.upper[small] = capital;
    };
    for (unsigned char c = 'A'; c <= 'Z'; ++c) {
        pair(c, static_cast<unsigned char>(c + 0x20));
    }
    for (unsigned c = 0xC0; c <= 0xDE; ++c) {
        if (c != 0xD7) {  // the multiplication sign
            pair(static_cast<unsigned char>(c), static_cast<unsigned char>(c + 0x20));
        }
    }
    pair(0x8A, 0x9A);
    pair(0x8C, 0x9C);
    pair(0x8E, 0x9E);
    pair(0x9F, 0xFF);
    // Accented letters take their base letter's weight plus their rank among the letters of that
    // base, in byte order of the lower case.
    std::array<unsigned short, 128> rank{};
    for (unsigned c = 0x80; c <= 0xFF; ++c) {
        const auto byte = static_cast<unsigned char>(c);
        if (BaseLetter(byte) != '\0' && t.lower[byte] == byte) {
            const auto base = static_cast<unsigned char>(BaseLetter(byte));
            t.weight[byte] = static_cast<unsigned short>((base << 8) | ++rank[base]);
        }
    }
    for (std::size_t i = 0; i < 256; ++i) {
        const unsigned char small = t.lower[i];
        if (BaseLetter(small) != '\0') {
            t.weight[i] = t.weight[small];
        } else {
            t.weight[i] = static_cast<unsigned short>(small << 8);
        }
    }
    return t;
}

constexpr Tables kTables = MakeTables();

}  // namespace

char32_t Windows1252ToCodePoint(unsigned char byte) {
    return byte >= 0x80 && byte <= 0x9F ? kHighControls[byte - 0x80u] : char32_t{byte};
}

int Windows1252ByteOf(char32_t codePoint) {
    if (codePoint < 0x80 || (codePoint >= 0xA0 && codePoint <= 0xFF)) {
        return static_cast<int>(codePoint);
    }
    for (std::size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == codePoint) {
            return static_cast<int>(0x80 + i);
        }
    }
    return -1;
}

unsigned char Windows1252Lower(unsigned char byte) {
    return kTables.lower[byte];
}

unsigned char Windows1252Upper(unsigned char byte) {
    return kTables.upper[byte];
}

unsigned short Windows1252CollationWeight(unsigned char byte) {
    return kTables.weight[byte];
}

}  // namespace LKMDB7

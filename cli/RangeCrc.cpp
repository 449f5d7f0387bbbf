#include "cli/RangeCrc.h"
#include "lkmdb7/foundation/internal/Crc16.h"

#include <array>

namespace lkmdb {

using namespace LKMDB7;

namespace {

// A linear map of the 16-bit register: column k is the image of bit k.
using Map = std::array<WORD, 16>;

WORD Apply(const Map& map, WORD state) {
    WORD out = 0;
    for (std::size_t k = 0; k < 16; ++k) {
        if ((state >> k) & 1U) {
            out = static_cast<WORD>(out ^ map[k]);
        }
    }
    return out;
}

// Powers[j]: the register map of 2^j zero bytes.
const std::array<Map, 64>& Powers() {
    static const std::array<Map, 64> powers = [] {
        std::array<Map, 64> p{};
        const BYTE zero = 0;
        for (std::size_t k = 0; k < 16; ++k) {
            p[0][k] = Crc16Bytes(&zero, 1, static_cast<WORD>(1U << k));
        }
        for (std::size_t j = 1; j < p.size(); ++j) {
            for (std::size_t k = 0; k < 16; ++k) {
                p[j][k] = Apply(p[j - 1], p[j - 1][k]);
            }
        }
        return p;
    }();
    return powers;
}

}  // namespace

RangeCrc::RangeCrc(const BYTE* data, std::size_t size) : prefix_(size + 1) {
    prefix_[0] = 0;
    for (std::size_t i = 0; i < size; ++i) {
        prefix_[i + 1] = Crc16Bytes(data + i, 1, prefix_[i]);
    }
}

WORD RangeCrc::Of(std::size_t begin, std::size_t end, WORD initial) const {
    return static_cast<WORD>(AfterZeros(static_cast<WORD>(initial ^ prefix_[begin]), end - begin) ^
                             prefix_[end]);
}

WORD RangeCrc::AfterZeros(WORD state, ULONGLONG count) {
    const auto& powers = Powers();
    for (std::size_t j = 0; count != 0; ++j, count >>= 1) {
        if ((count & 1U) != 0) {
            state = Apply(powers[j], state);
        }
    }
    return state;
}

}  // namespace lkmdb

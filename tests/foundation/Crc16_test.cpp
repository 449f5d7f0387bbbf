#include "lkmdb7/foundation/internal/Crc16.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "lkmdb7/platform/Exceptions.h"

using namespace LKMDB7;

namespace {

const BYTE* Digits() {
    return reinterpret_cast<const BYTE*>("123456789");
}

}  // namespace

// Published check values of this polynomial for two initial values.
TEST(Crc16, CheckValues) {
    struct Case {
        WORD initial;
        WORD expected;
    };
    for (const Case c : {Case{0x0000, 0x31C3}, Case{0xFFFF, 0x29B1}}) {
        SCOPED_TRACE(c.initial);
        EXPECT_EQ(Crc16(Digits(), 9, c.initial), c.expected);
        EXPECT_EQ(Crc16Bytes(Digits(), 9, c.initial), c.expected);
        EXPECT_EQ(Crc16Reference(Digits(), 9, c.initial), c.expected);
    }
    const BYTE one = 1;
    EXPECT_EQ(Crc16(&one, 1, 0), 0x1021);
}

TEST(Crc16, EmptyInputReturnsInitialValue) {
    for (WORD initial : {WORD{0}, WORD{3557}, WORD{0xFFFF}}) {
        EXPECT_EQ(Crc16(nullptr, 0, initial), initial);
        EXPECT_EQ(Crc16Bytes(Digits(), 0, initial), initial);
    }
}

TEST(Crc16, SlicedFormEqualsByteAtATime) {
    std::mt19937 gen(20240601);
    std::vector<BYTE> data(4096 + 16);
    for (auto& b : data) {
        b = static_cast<BYTE>(gen());
    }
    for (int i = 0; i < 500; ++i) {
        const std::size_t offset = gen() % 16;
        const std::size_t length = i < 40 ? static_cast<std::size_t>(i) : gen() % 4096;
        const auto initial = static_cast<WORD>(gen());
        const BYTE* p = data.data() + offset;
        ASSERT_EQ(Crc16Bytes(p, length, initial), Crc16Reference(p, length, initial))
            << "offset " << offset << ", length " << length << ", initial " << initial;
    }
}

TEST(Crc16, NullDataWithLengthIsRejected) {
    EXPECT_THROW(Crc16(nullptr, 1, 0), CInvalidArgException);
    EXPECT_THROW(Crc16Bytes(nullptr, 8, 0), CInvalidArgException);
}

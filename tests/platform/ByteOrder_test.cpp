#include "lkmdb7/platform/internal/ByteOrder.h"

#include <gtest/gtest.h>

using namespace LKMDB7;

TEST(ByteOrder, ExactBytesBothWays) {
    BYTE b[8] = {};
    PutLE16(b, 0x1234);
    EXPECT_EQ(b[0], 0x34);
    EXPECT_EQ(b[1], 0x12);
    EXPECT_EQ(GetLE16(b), 0x1234);
    PutBE16(b, 0x1234);
    EXPECT_EQ(b[0], 0x12);
    EXPECT_EQ(GetBE16(b), 0x1234);

    PutLE32(b, 0xA1B2C3D4u);
    EXPECT_EQ(b[0], 0xD4);
    EXPECT_EQ(b[3], 0xA1);
    EXPECT_EQ(GetLE32(b), 0xA1B2C3D4u);
    PutBE32(b, 0xA1B2C3D4u);
    EXPECT_EQ(b[0], 0xA1);
    EXPECT_EQ(b[3], 0xD4);
    EXPECT_EQ(GetBE32(b), 0xA1B2C3D4u);

    // High bits survive: no sign extension through int promotion.
    PutLE64(b, 0xF0E1D2C3B4A59687ull);
    EXPECT_EQ(b[0], 0x87);
    EXPECT_EQ(b[7], 0xF0);
    EXPECT_EQ(GetLE64(b), 0xF0E1D2C3B4A59687ull);
}

#include "lkmdb7/foundation/internal/Blowfish.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <memory>
#include <numeric>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "lkmdb7/platform/Exceptions.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;

namespace {

using Bytes = std::vector<BYTE>;

Bytes FromHex(const std::string& hex) {
    Bytes out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<BYTE>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// The schedule is 4 KiB: keep it off the test's stack.
std::unique_ptr<BlowfishKey> MakeKey(const Bytes& keyBytes) {
    auto key = std::make_unique<BlowfishKey>();
    BlowfishSetKey(key.get(), keyBytes.data(), static_cast<int>(keyBytes.size()));
    return key;
}

bool SameSchedule(const BlowfishKey& a, const BlowfishKey& b) {
    return std::memcmp(&a, &b, sizeof(BlowfishKey)) == 0;
}

Bytes RandomBytes(std::size_t n, unsigned seed) {
    std::mt19937 gen(seed);
    Bytes out(n);
    for (auto& b : out) {
        b = static_cast<BYTE>(gen());
    }
    return out;
}

// Enciphers block by block through the single-block function: the yardstick for the buffer routine.
Bytes EncryptEachBlock(const BlowfishKey& key, Bytes data) {
    for (std::size_t i = 0; i + 8 <= data.size(); i += 8) {
        DWORD l = (DWORD{data[i]} << 24) | (DWORD{data[i + 1]} << 16) | (DWORD{data[i + 2]} << 8) |
                  data[i + 3];
        DWORD r = (DWORD{data[i + 4]} << 24) | (DWORD{data[i + 5]} << 16) |
                  (DWORD{data[i + 6]} << 8) | data[i + 7];
        BlowfishEncryptBlock(&key, &l, &r);
        for (int j = 0; j < 4; ++j) {
            data[i + static_cast<std::size_t>(j)] = static_cast<BYTE>(l >> (24 - 8 * j));
            data[i + 4 + static_cast<std::size_t>(j)] = static_cast<BYTE>(r >> (24 - 8 * j));
        }
    }
    return data;
}

}  // namespace

TEST(Blowfish, KnownVectorsEncryptAndDecrypt) {
    std::ifstream in(lkmdb7_test::VectorsPath("blowfish-ecb.txt"));
    ASSERT_TRUE(in) << "vector file missing";
    std::string line;
    int count = 0;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream fields(line);
        std::string keyHex, plainHex, cipherHex;
        ASSERT_TRUE(fields >> keyHex >> plainHex >> cipherHex) << "line " << lineNo;
        SCOPED_TRACE("line " + std::to_string(lineNo) + ": " + line);
        const auto key = MakeKey(FromHex(keyHex));
        const Bytes plain = FromHex(plainHex);
        const Bytes cipher = FromHex(cipherHex);

        Bytes buf = plain;
        BlowfishCryptBytes(key.get(), buf.data(), buf.size(), true);
        EXPECT_EQ(buf, cipher);
        BlowfishCryptBuffer(key.get(), buf.data(), static_cast<WORD>(buf.size()), 0);
        EXPECT_EQ(buf, plain);

        DWORD l =
            (DWORD{plain[0]} << 24) | (DWORD{plain[1]} << 16) | (DWORD{plain[2]} << 8) | plain[3];
        DWORD r =
            (DWORD{plain[4]} << 24) | (DWORD{plain[5]} << 16) | (DWORD{plain[6]} << 8) | plain[7];
        const DWORD l0 = l, r0 = r;
        BlowfishEncryptBlock(key.get(), &l, &r);
        EXPECT_EQ(EncryptEachBlock(*key, plain), cipher);
        BlowfishDecryptBlock(key.get(), &l, &r);
        EXPECT_EQ(l, l0);
        EXPECT_EQ(r, r0);
        ++count;
    }
    EXPECT_GE(count, 50);
}

TEST(Blowfish, TailShorterThanABlockIsLeftAlone) {
    const auto key = MakeKey(FromHex("0123456789abcdef"));
    const Bytes original = RandomBytes(15, 1);

    Bytes seven(original.begin(), original.begin() + 7);
    BlowfishCryptBuffer(key.get(), seven.data(), 7, 1);
    EXPECT_EQ(seven, Bytes(original.begin(), original.begin() + 7));

    Bytes fifteen = original;
    BlowfishCryptBuffer(key.get(), fifteen.data(), 15, 1);
    const Bytes expected = EncryptEachBlock(*key, original);
    EXPECT_EQ(Bytes(fifteen.begin(), fifteen.begin() + 8),
              Bytes(expected.begin(), expected.begin() + 8));
    EXPECT_NE(Bytes(fifteen.begin(), fifteen.begin() + 8),
              Bytes(original.begin(), original.begin() + 8));
    EXPECT_EQ(Bytes(fifteen.begin() + 8, fifteen.end()),
              Bytes(original.begin() + 8, original.end()));
}

// Lengths cover the four-block path, the single-block rest and a tail, at every alignment.
TEST(Blowfish, BufferMatchesBlockFunctionAtAnyAlignmentAndRoundTrips) {
    const auto key = MakeKey(FromHex("f0e1d2c3b4a5968778695a4b3c2d1e0f"));
    for (std::size_t length : {0u, 8u, 24u, 32u, 61u, 200u, 1027u}) {
        const Bytes plain = RandomBytes(length, static_cast<unsigned>(length));
        const Bytes expected = EncryptEachBlock(*key, plain);
        for (std::size_t offset = 0; offset < 4; ++offset) {
            SCOPED_TRACE("length " + std::to_string(length) + ", offset " + std::to_string(offset));
            Bytes storage(length + offset + 8, 0xA5);
            BYTE* buf = storage.data() + offset;
            std::copy(plain.begin(), plain.end(), buf);
            BlowfishCryptBytes(key.get(), buf, length, true);
            EXPECT_EQ(Bytes(buf, buf + length), expected);
            EXPECT_EQ(storage[offset + length], 0xA5) << "wrote past the buffer";
            BlowfishCryptBytes(key.get(), buf, length, false);
            EXPECT_EQ(Bytes(buf, buf + length), plain);
        }
    }
}

TEST(Blowfish, SixteenBitFormAgreesWithWideForm) {
    const auto key = MakeKey(FromHex("7ca110454a1a6e57"));
    const Bytes plain = RandomBytes(65535, 7);
    Bytes narrow = plain;
    Bytes wide = plain;
    BlowfishCryptBuffer(key.get(), narrow.data(), 65535, 1);
    BlowfishCryptBytes(key.get(), wide.data(), wide.size(), true);
    EXPECT_EQ(narrow, wide);
    EXPECT_EQ(narrow.back(), plain.back());  // 65535 = 8191 blocks and a 7-byte tail
    BlowfishCryptBuffer(key.get(), narrow.data(), 65535, 0);
    EXPECT_EQ(narrow, plain);
}

TEST(Blowfish, EqualBlocksGiveEqualCiphertext) {
    const auto key = MakeKey(FromHex("fedcba9876543210"));
    Bytes buf(48);
    const Bytes block = FromHex("0011223344556677");
    for (std::size_t at : {0u, 24u, 40u}) {
        std::copy(block.begin(), block.end(), buf.begin() + static_cast<std::ptrdiff_t>(at));
    }
    BlowfishCryptBytes(key.get(), buf.data(), buf.size(), true);
    const Bytes first(buf.begin(), buf.begin() + 8);
    EXPECT_NE(first, block);
    EXPECT_EQ(Bytes(buf.begin() + 24, buf.begin() + 32), first);
    EXPECT_EQ(Bytes(buf.begin() + 40, buf.begin() + 48), first);
}

TEST(Blowfish, ShortKeysRepeatCyclicallyAndLongKeysStopAt72Bytes) {
    const Bytes material = RandomBytes(100, 3);
    for (std::size_t length : {1u, 5u, 7u}) {
        SCOPED_TRACE("key length " + std::to_string(length));
        Bytes repeated(72);
        for (std::size_t i = 0; i < repeated.size(); ++i) {
            repeated[i] = material[i % length];
        }
        EXPECT_TRUE(
            SameSchedule(*MakeKey(Bytes(material.begin(),
                                        material.begin() + static_cast<std::ptrdiff_t>(length))),
                         *MakeKey(repeated)));
    }
    const auto prefix = MakeKey(Bytes(material.begin(), material.begin() + 72));
    for (std::size_t length : {73u, 100u}) {
        SCOPED_TRACE("key length " + std::to_string(length));
        EXPECT_TRUE(
            SameSchedule(*MakeKey(Bytes(material.begin(),
                                        material.begin() + static_cast<std::ptrdiff_t>(length))),
                         *prefix));
    }
    EXPECT_FALSE(SameSchedule(*MakeKey(Bytes(material.begin(), material.begin() + 71)), *prefix));
}

TEST(Blowfish, EmptyKeyIsUsableAndIgnoresKeyBytes) {
    auto a = std::make_unique<BlowfishKey>();
    auto b = std::make_unique<BlowfishKey>();
    const BYTE someByte = 0x5A;
    BlowfishSetKey(a.get(), nullptr, 0);
    BlowfishSetKey(b.get(), &someByte, -3);
    EXPECT_TRUE(SameSchedule(*a, *b));
    EXPECT_TRUE(SameSchedule(*a, *MakeKey(Bytes{0x00})));

    Bytes buf = RandomBytes(16, 9);
    const Bytes plain = buf;
    BlowfishCryptBytes(a.get(), buf.data(), buf.size(), true);
    EXPECT_NE(buf, plain);
    BlowfishCryptBytes(a.get(), buf.data(), buf.size(), false);
    EXPECT_EQ(buf, plain);
}

TEST(Blowfish, NullArgumentsAreRejected) {
    auto key = std::make_unique<BlowfishKey>();
    BYTE data[8] = {};
    EXPECT_THROW(BlowfishSetKey(nullptr, data, 8), CInvalidArgException);
    EXPECT_THROW(BlowfishSetKey(key.get(), nullptr, 4), CInvalidArgException);
    BlowfishSetKey(key.get(), data, 8);
    EXPECT_THROW(BlowfishCryptBytes(nullptr, data, 8, true), CInvalidArgException);
    EXPECT_THROW(BlowfishCryptBytes(key.get(), nullptr, 8, true), CInvalidArgException);
    EXPECT_NO_THROW(BlowfishCryptBytes(key.get(), nullptr, 7, true));
    DWORD half = 0;
    EXPECT_THROW(BlowfishEncryptBlock(nullptr, &half, &half), CInvalidArgException);
    EXPECT_THROW(BlowfishDecryptBlock(key.get(), nullptr, &half), CInvalidArgException);
}

TEST(Blowfish, WipeZeroesTheWholeSchedule) {
    auto key = MakeKey(FromHex("0123456789abcdef"));
    BlowfishWipe(key.get());
    const BlowfishKey zero{};
    EXPECT_TRUE(SameSchedule(*key, zero));
    EXPECT_NO_THROW(BlowfishWipe(nullptr));
}

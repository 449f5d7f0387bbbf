#include "lkmdb7/database/Crib.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/foundation/Bcrypt.h"
#include "lkmdb7/platform/Exceptions.h"

using namespace LKMDB7;

namespace {

using Crib = std::array<unsigned char, kCribSize>;

std::string Hex(const Crib& crib) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : crib) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

Crib CribOf(const char* password, const char* bcryptText) {
    const auto parts = ParseBcryptText(bcryptText);
    Crib crib{};
    MakeCribWithSalt(password, parts->salt, parts->cost, crib.data());
    return crib;
}

// Tag, layout, cost, then the salt and the first 18 hash bytes of python3-bcrypt's value for
// the same password and salt.
TEST(Crib, LaysOutTheBcryptHashOfReferenceValues) {
    EXPECT_EQ(Hex(CribOf("correct horse battery staple",
                         "$2b$10$abcdefghijklmnopqrstuuGGgFFcYeueaAql8Z7U7CnCTRw4DR77W")),
              "4c4b3743010a71d79f8218a39259a7a29aabb2dbafc32088871de6a0c20702b27f9bf56f44a44553");
    EXPECT_EQ(Hex(CribOf("p\xE4ssw\xF6rd \x80",
                         "$2b$04$ABCDEFGHIJKLMNOPQRSTUuUct.MCVwu6gakpe1V98A6o5dsXS/rg6")),
              "4c4b3743010408310518720928b30d38f4114935155b59ebc03845f2c3c89c9ab8375fff82f2aedf");
}

TEST(Crib, MatchesOnlyItsOwnPassword) {
    Crib crib{};
    MakeCrib("s3cret", crib.data(), 4);
    EXPECT_EQ(GetCribKind(crib.data()), CribKind::kOurs);
    EXPECT_TRUE(CDatabaseObj7::HasPassword(crib.data()));
    EXPECT_TRUE(CribMatches(crib.data(), "s3cret"));
    for (const char* other :
         {"S3cret", "s3cre", "s3cret ", "", static_cast<const char*>(nullptr)}) {
        EXPECT_FALSE(CribMatches(crib.data(), other)) << (other ? other : "(null)");
    }
    // A fresh salt each time, so two databases of one password have different cribs.
    Crib again{};
    MakeCrib("s3cret", again.data(), 4);
    EXPECT_NE(crib, again);
    EXPECT_TRUE(CribMatches(again.data(), "s3cret"));
    // Any change to the stored hash or salt breaks the match.
    for (std::size_t at : {kCribSaltOffset, kCribHashOffset, kCribSize - 1}) {
        Crib damaged = crib;
        damaged[at] ^= 0x01;
        EXPECT_FALSE(CribMatches(damaged.data(), "s3cret")) << "byte " << at;
    }
}

TEST(Crib, TellsNoneOursAndForeignApart) {
    Crib ours{};
    MakeCrib("pw", ours.data(), 4);
    struct Case {
        const char* what;
        std::size_t at;
        unsigned char value;
        CribKind kind;
    };
    const Case cases[] = {
        {"as made", 0, ours[0], CribKind::kOurs},
        {"another tag", 3, 'D', CribKind::kForeign},
        {"another layout", 4, 0x02, CribKind::kForeign},
        {"cost below bcrypt's least", 5, 3, CribKind::kForeign},
        {"cost above the most we check", 5, kCribMaxCost + 1, CribKind::kForeign},
        {"the most we check", 5, kCribMaxCost, CribKind::kOurs},
    };
    for (const Case& c : cases) {
        Crib crib = ours;
        crib[c.at] = c.value;
        EXPECT_EQ(GetCribKind(crib.data()), c.kind) << c.what;
    }
    Crib zero{};
    EXPECT_EQ(GetCribKind(zero.data()), CribKind::kNone);
    EXPECT_FALSE(CribMatches(zero.data(), "pw"));
    Crib foreign{};
    foreign[39] = 1;
    EXPECT_EQ(GetCribKind(foreign.data()), CribKind::kForeign);
    EXPECT_FALSE(CribMatches(foreign.data(), "pw"));
}

TEST(Crib, RefusesAnEmptyPasswordAndCostsOutOfRange) {
    Crib crib{};
    EXPECT_THROW(MakeCrib("", crib.data()), CInvalidArgException);
    EXPECT_THROW(MakeCrib(nullptr, crib.data()), CInvalidArgException);
    EXPECT_THROW(MakeCrib("pw", crib.data(), 3), CInvalidArgException);
    EXPECT_THROW(MakeCrib("pw", crib.data(), kCribMaxCost + 1), CInvalidArgException);
    EXPECT_EQ(crib, Crib{});
}

}  // namespace

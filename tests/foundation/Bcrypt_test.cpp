#include "lkmdb7/foundation/internal/Bcrypt.h"

#include <gtest/gtest.h>

#include <string>

#include "lkmdb7/platform/Exceptions.h"

using namespace LKMDB7;

namespace {

std::string HashText(const std::string& password, const std::string& reference) {
    const auto parts = ParseBcryptText(reference);
    EXPECT_TRUE(parts.has_value()) << reference;
    if (!parts) {
        return {};
    }
    BYTE hash[kBcryptHashSize];
    BcryptHash(reinterpret_cast<const BYTE*>(password.data()), password.size(), parts->salt,
               parts->cost, hash);
    return BcryptText(parts->salt, parts->cost, hash);
}

// bcrypt's published vectors ($2a$ and $2b$ hash alike for passwords under 256 bytes) and values
// from python3-bcrypt 3.2.2 (bcrypt.hashpw).
TEST(Bcrypt, MatchesReferenceHashes) {
    struct Case {
        std::string password;
        std::string text;
    };
    const Case cases[] = {
        {"U*U", "$2a$05$CCCCCCCCCCCCCCCCCCCCC.E5YPO9kmyuRGyh0XouQYb4YMJKvyOeW"},
        {"U*U*U", "$2a$05$XXXXXXXXXXXXXXXXXXXXXOAcXxm9kjPGEMsLznoKqmqw7tc8WCx4a"},
        {"", "$2a$06$DCq7YPn5Rq63x1Lad4cll.TV4S6ytwfsfvkgY8jIucDrjc8deX1s."},
        {"\xA3", "$2b$05$/OK.fbVrR/bpIqNJ5ianF.Sa7shbm4.OzKpvFnX1pQLmQW96oUlCq"},
        {"p\xE4ssw\xF6rd \x80", "$2b$04$ABCDEFGHIJKLMNOPQRSTUuUct.MCVwu6gakpe1V98A6o5dsXS/rg6"},
        {"correct horse battery staple",
         "$2b$10$abcdefghijklmnopqrstuuGGgFFcYeueaAql8Z7U7CnCTRw4DR77W"},
        // 71 bytes: the terminating zero byte is the 72nd key byte.
        {std::string(71, 'a'), "$2b$04$abcdefghijklmnopqrstuuMCu.k1vM/ywQwiONaEn3oEMlZoCVBd6"},
        // From 72 bytes on only the first 72 count.
        {std::string(72, 'a'), "$2b$04$abcdefghijklmnopqrstuuBzzIgyKkz7xMWYSzkIjUSnxEQFQ0WNe"},
        {std::string(80, 'a'), "$2b$04$abcdefghijklmnopqrstuuBzzIgyKkz7xMWYSzkIjUSnxEQFQ0WNe"},
        {"0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789chars after 72 "
         "are ignored",
         "$2a$05$abcdefghijklmnopqrstuu5s2v8.iXieOjg/.AySBTTZIIVFJeBui"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(HashText(c.password, c.text).substr(4), c.text.substr(4))
            << "password of " << c.password.size() << " bytes";
    }
}

TEST(Bcrypt, RefusesBadArgumentsAndText) {
    BYTE salt[kBcryptSaltSize] = {};
    BYTE hash[kBcryptHashSize];
    const BYTE pw[] = {'x'};
    EXPECT_THROW(BcryptHash(pw, 1, salt, 3, hash), CInvalidArgException);
    EXPECT_THROW(BcryptHash(pw, 1, salt, 32, hash), CInvalidArgException);
    EXPECT_THROW(BcryptHash(nullptr, 1, salt, 4, hash), CInvalidArgException);
    EXPECT_THROW(BcryptHash(pw, 1, nullptr, 4, hash), CInvalidArgException);
    for (const char* text :
         {"", "$2b$04$abc", "$2c$04$abcdefghijklmnopqrstuuBzzIgyKkz7xMWYSzkIjUSnxEQFQ0WNe",
          "$2b$03$abcdefghijklmnopqrstuuBzzIgyKkz7xMWYSzkIjUSnxEQFQ0WNe",
          "$2b$04$abcdefghijklmnopqrstu!BzzIgyKkz7xMWYSzkIjUSnxEQFQ0WNe"}) {
        EXPECT_FALSE(ParseBcryptText(text).has_value()) << text;
    }
}

}  // namespace

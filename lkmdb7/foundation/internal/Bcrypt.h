// bcrypt, the deliberately slow password hash built on Blowfish (its "$2b$" form): an expensive
// key setup (EksBlowfish) of 2^cost rounds keyed by the password and a 16-byte salt, then the
// text "OrpheanBeholderScryDoubt" enciphered 64 times. The hash is the first 23 of its 24 bytes.
//
// The key is the password's bytes followed by one zero byte, of which only the first 72 bytes
// take part: passwords that agree in their first 72 bytes hash alike.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

inline constexpr std::size_t kBcryptSaltSize = 16;
inline constexpr std::size_t kBcryptHashSize = 23;
inline constexpr int kBcryptMinCost = 4;
inline constexpr int kBcryptMaxCost = 31;

// Computes the hash of `length` password bytes (which may hold zero bytes) into out
// (kBcryptHashSize bytes). Takes time in proportion to 2^cost. Throws CInvalidArgException for a
// cost outside kBcryptMinCost..kBcryptMaxCost or a null pointer (password may be null when
// length is 0). Allocates nothing on the heap; the schedule is wiped before returning.
LKMDB7_EXPORT void BcryptHash(const BYTE* password, std::size_t length, const BYTE* salt, int cost,
                              BYTE* out);

// The modular-crypt text "$2b$CC$" + 22 salt characters + 31 hash characters, in bcrypt's own
// base64 alphabet ("./A-Za-z0-9", no padding).
LKMDB7_EXPORT std::string BcryptText(const BYTE* salt, int cost, const BYTE* hash);

// The parts of such a text ("$2a$", "$2b$" or "$2y$"); nullopt when it is not one. The salt's
// last character carries 4 unused bits, which are dropped as bcrypt does.
struct BcryptParts {
    int cost = 0;
    BYTE salt[kBcryptSaltSize] = {};
    BYTE hash[kBcryptHashSize] = {};
};
LKMDB7_EXPORT std::optional<BcryptParts> ParseBcryptText(const std::string& text);

}  // namespace LKMDB7

#include "lkmdb7/foundation/internal/Bcrypt.h"

#include <cstring>

#include "lkmdb7/foundation/internal/Blowfish.h"
#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {
namespace {

constexpr char kAlphabet[] = "./ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
constexpr BYTE kMagic[] = "OrpheanBeholderScryDoubt";
constexpr std::size_t kMaxKeyBytes = 72;

// bcrypt's base64: 3 bytes to 4 characters, most significant bits first, no padding.
std::string Encode(const BYTE* bytes, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; i += 3) {
        const unsigned b0 = bytes[i];
        const unsigned b1 = i + 1 < count ? bytes[i + 1] : 0;
        const unsigned b2 = i + 2 < count ? bytes[i + 2] : 0;
        text += kAlphabet[b0 >> 2];
        text += kAlphabet[((b0 & 0x03) << 4) | (b1 >> 4)];
        if (i + 1 < count) {
            text += kAlphabet[((b1 & 0x0F) << 2) | (b2 >> 6)];
        }
        if (i + 2 < count) {
            text += kAlphabet[b2 & 0x3F];
        }
    }
    return text;
}

int Digit(char c) {
    const char* at = std::strchr(kAlphabet, c);
    return c != '\0' && at != nullptr ? static_cast<int>(at - kAlphabet) : -1;
}

// Decodes `count` bytes from exactly the characters that Encode makes for them.
bool Decode(const std::string& text, BYTE* out, std::size_t count) {
    unsigned long bits = 0;
    int held = 0;
    std::size_t done = 0;
    for (char c : text) {
        const int d = Digit(c);
        if (d < 0) {
            return false;
        }
        bits = (bits << 6) | static_cast<unsigned>(d);
        held += 6;
        if (held >= 8 && done < count) {
            held -= 8;
            out[done++] = static_cast<BYTE>(bits >> held);
            bits &= (1UL << held) - 1;
        }
    }
    return done == count;
}

}  // namespace

void BcryptHash(const BYTE* password, std::size_t length, const BYTE* salt, int cost, BYTE* out) {
    if (cost < kBcryptMinCost || cost > kBcryptMaxCost) {
        AfxThrowInvalidArgException("BcryptHash: cost " + std::to_string(cost) +
                                    " is outside 4 to 31");
    }
    if ((password == nullptr && length > 0) || salt == nullptr || out == nullptr) {
        AfxThrowInvalidArgException("BcryptHash: a null pointer");
    }
    // The key is the password and its terminating zero byte, at most 72 bytes in all.
    BYTE key[kMaxKeyBytes] = {};
    const std::size_t copied = length < kMaxKeyBytes ? length : kMaxKeyBytes;
    if (copied > 0) {
        std::memcpy(key, password, copied);
    }
    const std::size_t keyLength = copied < kMaxKeyBytes ? copied + 1 : kMaxKeyBytes;

    BlowfishKey state;
    BlowfishInitState(&state);
    BlowfishExpandKey(&state, key, keyLength, salt);
    const unsigned long long rounds = 1ULL << cost;
    for (unsigned long long i = 0; i < rounds; ++i) {
        BlowfishExpandKey(&state, key, keyLength, nullptr);
        BlowfishExpandKey(&state, salt, kBcryptSaltSize, nullptr);
    }

    BYTE text[24];
    std::memcpy(text, kMagic, sizeof text);
    for (int i = 0; i < 64; ++i) {
        BlowfishCryptBytes(&state, text, sizeof text, true);
    }
    std::memcpy(out, text, kBcryptHashSize);

    BlowfishWipe(&state);
    volatile BYTE* wipe = key;
    for (std::size_t i = 0; i < sizeof key; ++i) {
        wipe[i] = 0;
    }
}

std::string BcryptText(const BYTE* salt, int cost, const BYTE* hash) {
    if (cost < kBcryptMinCost || cost > kBcryptMaxCost || salt == nullptr || hash == nullptr) {
        AfxThrowInvalidArgException("BcryptText: a null pointer or a cost outside 4 to 31");
    }
    const char costText[] = {static_cast<char>('0' + cost / 10), static_cast<char>('0' + cost % 10),
                             '\0'};
    return std::string("$2b$") + costText + "$" + Encode(salt, kBcryptSaltSize) +
           Encode(hash, kBcryptHashSize);
}

std::optional<BcryptParts> ParseBcryptText(const std::string& text) {
    // "$2b$" + 2 cost digits + "$" + 22 + 31 characters.
    if (text.size() != 60 || text[0] != '$' || text[1] != '2' || text[3] != '$' || text[6] != '$' ||
        (text[2] != 'a' && text[2] != 'b' && text[2] != 'y') || text[4] < '0' || text[4] > '9' ||
        text[5] < '0' || text[5] > '9') {
        return std::nullopt;
    }
    BcryptParts parts;
    parts.cost = (text[4] - '0') * 10 + (text[5] - '0');
    if (parts.cost < kBcryptMinCost || parts.cost > kBcryptMaxCost ||
        !Decode(text.substr(7, 22), parts.salt, kBcryptSaltSize) ||
        !Decode(text.substr(29), parts.hash, kBcryptHashSize)) {
        return std::nullopt;
    }
    return parts;
}

}  // namespace LKMDB7

#include "lkmdb7/database/Crib.h"

#include <array>
#include <cstring>
#include <exception>
#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/foundation/internal/Bcrypt.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

static_assert(kCribHashOffset + kCribHashSize == kCribSize, "the crib fills its 40 bytes");
static_assert(kCribSaltSize == kBcryptSaltSize && kCribMinCost == kBcryptMinCost,
              "a crib holds a bcrypt salt and cost");

namespace {

void CheckPassword(const char* password, const char* operation) {
    if (password == nullptr || password[0] == '\0') {
        AfxThrowInvalidArgException(std::string(operation) + ": the password is empty");
    }
}

void FreshSalt(BYTE* salt) {
    try {
        std::random_device source;
        for (std::size_t i = 0; i < kBcryptSaltSize; i += 4) {
            const unsigned value = source();
            for (std::size_t j = 0; j < 4; ++j) {
                salt[i + j] = static_cast<BYTE>(value >> (8 * j));
            }
        }
    } catch (const std::exception&) {
        AfxThrowFileException(CFileException::genericException, -1, "the random source");
    }
}

}  // namespace

CribKind GetCribKind(const unsigned char* crib) {
    if (!CDatabaseObj7::HasPassword(crib)) {
        return CribKind::kNone;
    }
    const bool ours = std::memcmp(crib, kCribTag, sizeof kCribTag) == 0 && crib[4] == kCribLayout &&
                      crib[5] >= kCribMinCost && crib[5] <= kCribMaxCost;
    return ours ? CribKind::kOurs : CribKind::kForeign;
}

void MakeCribWithSalt(const char* password, const BYTE* salt, int cost, unsigned char* out) {
    CheckPassword(password, "MakeCrib");
    if (cost < kCribMinCost || cost > kCribMaxCost || salt == nullptr || out == nullptr) {
        AfxThrowInvalidArgException("MakeCrib: a null pointer or a cost outside 4 to " +
                                    std::to_string(kCribMaxCost));
    }
    BYTE hash[kBcryptHashSize];
    BcryptHash(reinterpret_cast<const BYTE*>(password), std::strlen(password), salt, cost, hash);
    std::memcpy(out, kCribTag, sizeof kCribTag);
    out[4] = kCribLayout;
    out[5] = static_cast<BYTE>(cost);
    std::memmove(out + kCribSaltOffset, salt, kBcryptSaltSize);
    std::memcpy(out + kCribHashOffset, hash, kCribHashSize);
}

void MakeCrib(const char* password, unsigned char* out, int cost) {
    CheckPassword(password, "MakeCrib");
    BYTE salt[kBcryptSaltSize];
    FreshSalt(salt);
    MakeCribWithSalt(password, salt, cost, out);
}

bool CribMatches(const unsigned char* crib, const char* password) {
    if (crib == nullptr || password == nullptr || password[0] == '\0' ||
        GetCribKind(crib) != CribKind::kOurs) {
        return false;
    }
    unsigned char computed[kCribSize];
    MakeCribWithSalt(password, crib + kCribSaltOffset, crib[5], computed);
    // Every byte is compared, whatever the first difference.
    unsigned difference = 0;
    for (std::size_t i = 0; i < kCribSize; ++i) {
        difference |= static_cast<unsigned>(computed[i] ^ crib[i]);
    }
    return difference == 0;
}

void CDatabaseObj7::ChangePassword(const char* newPassword, int cost) {
    // Everything that can fail before anything changes: the crib, the schedule, the room to keep
    // the packed records aside.
    std::array<unsigned char, kCribSize> crib{};
    if (newPassword != nullptr && newPassword[0] != '\0') {
        MakeCrib(newPassword, crib.data(), cost);
    }
    RecordCipherKey cipher = MakeRecordCipherKey(newPassword);
    std::vector<CBaseItem*> items;
    struct Kept {
        std::vector<BYTE> bytes;
        bool present = false;
    };
    std::vector<Kept> kept;
    try {
        for (CObjectList* list :
             {static_cast<CObjectList*>(&m_records), static_cast<CObjectList*>(&m_types),
              static_cast<CObjectList*>(&m_categories)}) {
            POSITION pos = list->GetHeadPosition();
            while (pos != nullptr) {
                items.push_back(list->GetNextItem(pos));
            }
        }
        kept.resize(items.size());
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }

    RecordCipherKey before = ExchangeRecordCipher(std::move(cipher));
    // Items whose packed record is set aside in kept. Putting one back never throws: it is the
    // second exchange.
    std::size_t swapped = 0;
    try {
        for (CBaseItem* item : items) {
            item->SwapPalmRecord(kept[swapped].bytes, kept[swapped].present);
            ++swapped;
            item->PackPalmRecord(true);
        }
    } catch (...) {
        (void)ExchangeRecordCipher(std::move(before));
        for (std::size_t i = 0; i < swapped; ++i) {
            items[i]->SwapPalmRecord(kept[i].bytes, kept[i].present);
        }
        throw;
    }
    m_crib = crib;
}

}  // namespace LKMDB7

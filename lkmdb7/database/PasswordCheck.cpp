#include "lkmdb7/database/PasswordCheck.h"

#include <utility>
#include <vector>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/database/Verify.h"
#include "lkmdb7/foundation/internal/Blowfish.h"
#include "lkmdb7/items/PackedFormat.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/lists/ItemRange.h"

namespace LKMDB7 {

namespace {

// A wrong key passes a record's CRC-16 with probability 2^-16, so its passes among n records
// are nearly Poisson with mean n / 65536. Thirteen passes have a chance below 1/13! (about
// 1.6e-10) while the mean is at most 1; each further 65536 records raise the mean by one and
// the threshold by two, which keeps the tail that small.
std::size_t ChanceThreshold(std::size_t checked) {
    constexpr std::size_t kPerWrongKeyPass = 65536;
    return 13 + 2 * ((checked + kPerWrongKeyPass - 1) / kPerWrongKeyPass);
}

}  // namespace

bool PassesTellKey(std::size_t passed, std::size_t checked) {
    if (checked == 0 || passed == 0) {
        return false;
    }
    return passed * 2 >= checked || passed >= ChanceThreshold(checked);
}

PasswordEvidence GatherPasswordEvidence(CDatabaseObj7& db, unsigned fileVersion, bool given,
                                        bool countPlain) {
    PasswordEvidence e;
    unsigned char crib[kCribSize];
    db.GetCrib(crib);
    e.crib = GetCribKind(crib);
    e.given = given;
    const bool checksums = PackedRecordHasChecksum(fileVersion);
    const BlowfishKey* cipher = GetRecordCipher();
    std::size_t passPlain = 0;
    std::vector<BYTE> stored;
    const auto count = [&](const CBaseItem& item) {
        ++e.items;
        if (!checksums || !item.HasPalmRecord()) {
            return;
        }
        ++e.checked;
        const std::vector<BYTE>& bytes = item.PalmRecord();
        const bool keyed = !ChecksumFault(item);
        e.passKeyed += keyed ? 1U : 0U;
        if (!countPlain) {
            return;
        }
        if (cipher == nullptr) {
            passPlain += keyed ? 1U : 0U;
            return;
        }
        // Loading deciphered the record in place; enciphering it again gives the file's bytes.
        stored = bytes;
        if (stored.size() > kPackedHeaderSize) {
            BlowfishCryptBuffer(cipher, stored.data() + kPackedHeaderSize,
                                static_cast<WORD>(stored.size() - kPackedHeaderSize), 1);
        }
        passPlain += PackedChecksumFault(stored) ? 0U : 1U;
    };
    for (const CBaseItem& item : Items(std::as_const(db.GetRecordList()))) {
        count(item);
    }
    for (const CBaseItem& item : Items(std::as_const(db.GetTypesList()))) {
        count(item);
    }
    for (const CBaseItem& item : Items(std::as_const(db.GetCategoryList()))) {
        count(item);
    }
    if (countPlain) {
        e.passPlain = passPlain;
    }
    return e;
}

PasswordVerdict JudgePassword(const PasswordEvidence& e) {
    if (e.crib == CribKind::kOurs) {
        if (!e.given) {
            return PasswordVerdict::kNeeded;
        }
        if (!e.cribMatches) {
            return PasswordVerdict::kWrong;
        }
        // A crib copied from another file takes its password whatever the records are
        // enciphered with; showing them would show garbage.
        if (e.checked > 0 && !PassesTellKey(e.passKeyed, e.checked)) {
            return PasswordVerdict::kCribNotOfRecords;
        }
        return PasswordVerdict::kRight;
    }
    if (e.checked == 0) {
        if (e.crib == CribKind::kForeign) {
            return e.given ? PasswordVerdict::kUnchecked : PasswordVerdict::kNeeded;
        }
        if (e.items > 0) {
            // Older packed forms carry no checksum of ours.
            return e.given ? PasswordVerdict::kUnchecked : PasswordVerdict::kRight;
        }
        // Nothing is enciphered and nothing says a password exists: a password now would
        // encipher the first record under a key that no crib records.
        return e.given ? PasswordVerdict::kSuperfluous : PasswordVerdict::kRight;
    }
    // Without a password the records are read as stored: when enough pass, they are stored
    // plain and those that fail are damaged, which is no question of a password.
    if (PassesTellKey(e.passKeyed, e.checked)) {
        return PasswordVerdict::kRight;
    }
    if (!e.given) {
        return PasswordVerdict::kNeeded;
    }
    return e.passPlain && PassesTellKey(*e.passPlain, e.checked) ? PasswordVerdict::kSuperfluous
                                                                 : PasswordVerdict::kWrong;
}

}  // namespace LKMDB7

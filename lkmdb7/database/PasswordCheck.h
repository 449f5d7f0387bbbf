// Deciding whether the password that keys the record cipher is the database's, the same way in
// every host (lkmdb, the Python module, an application), before a record is shown or saved.
//
// A crib of ours (Crib.h) says whether a password is the one it was made from; the packed records
// say whether that password deciphers them: a right key passes each CRC-16, a wrong one passes
// one record in 65536. Both must agree, since a crib can be copied from another file or forged.
// Without a crib of ours the records decide alone. A damaged record fails under any key, so the
// records speak for a key when enough of them pass that chance cannot explain it (see
// PassesTellKey), not only when most do.
#pragma once

#include <cstddef>
#include <optional>

#include "lkmdb7/database/Crib.h"
#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

class CDatabaseObj7;

// What a loaded database's crib and packed records say about the password in force.
struct PasswordEvidence {
    CribKind crib = CribKind::kNone;  // the kind of the database's crib
    bool given = false;               // a password keys the record cipher
    bool cribMatches = false;         // the crib is ours and was made from that password
    std::size_t items = 0;            // items in the three lists
    std::size_t checked = 0;          // of them, packed records that carry a checksum
    std::size_t passKeyed = 0;        // of those, passing as deciphered at load
    // Of those, passing as stored in the file (not deciphered), when asked for.
    std::optional<std::size_t> passPlain;
};

// JudgePassword's verdict on the password in force.
enum class PasswordVerdict {
    kRight,             // the crib and the records agree with it (or nothing asks for one)
    kUnchecked,         // taken, but nothing could check it (no checksums, another host's crib)
    kWrong,             // the crib or the records refuse it
    kNeeded,            // none given, and the crib or the records say there is one
    kSuperfluous,       // given for a database whose records are stored plain, with no crib
    kCribNotOfRecords,  // the crib takes it, the records refuse it: a crib from another file
};

// True when `passed` of `checked` records passing their CRC-16 show the key to be right: at
// least half of them, or more than a wrong key passes by chance with a probability above about
// one in a billion. Damage makes records fail, never pass.
LKMDB7_EXPORT bool PassesTellKey(std::size_t passed, std::size_t checked);

// The evidence of db as loaded (LoadReadOnly or Load) from a file of fileVersion under the record
// cipher in force; `given` says whether a password keys it. cribMatches is left false: checking
// it costs a run of bcrypt, which the caller may have made already (CribMatches). With
// countPlain, also counts the records that pass as stored, enciphering each one again (one more
// pass of the cipher). Throws std::bad_alloc only.
LKMDB7_EXPORT PasswordEvidence GatherPasswordEvidence(CDatabaseObj7& db, unsigned fileVersion,
                                                      bool given, bool countPlain);

// The verdict on evidence. With a crib of ours, the password must be given and match it, and
// the records that carry a checksum must pass (PassesTellKey); without one, the records decide
// alone: too few passing is kWrong for a given password, kNeeded for none, and kSuperfluous when
// they pass as stored. Records without checksums leave a given password kUnchecked.
LKMDB7_EXPORT PasswordVerdict JudgePassword(const PasswordEvidence& evidence);

}  // namespace LKMDB7

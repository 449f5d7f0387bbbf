// The password decision that every host shares: the crib and the records must agree, and
// damage is told from a wrong key by how many records pass.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "lkmdb7/lkmdb7.h"

using namespace LKMDB7;

TEST(PasswordVerdicts, CribAndRecordsMustAgreeAndDamageIsNoPasswordQuestion) {
    using V = PasswordVerdict;
    const auto facts = [](CribKind crib, bool given, bool matches, std::size_t items,
                          std::size_t checked, std::size_t keyed,
                          std::optional<std::size_t> plain) {
        PasswordEvidence f;
        f.crib = crib;
        f.given = given;
        f.cribMatches = matches;
        f.items = items;
        f.checked = checked;
        f.passKeyed = keyed;
        f.passPlain = plain;
        return f;
    };
    const struct {
        const char* what;
        PasswordEvidence facts;
        PasswordVerdict verdict;
    } cases[] = {
        {"ours, right", facts(CribKind::kOurs, true, true, 3, 3, 3, 0), V::kRight},
        {"ours, right, one record damaged", facts(CribKind::kOurs, true, true, 3, 3, 2, 0),
         V::kRight},
        {"ours, but no record deciphers: a crib from another file",
         facts(CribKind::kOurs, true, true, 3, 3, 0, 0), V::kCribNotOfRecords},
        {"ours, old forms only", facts(CribKind::kOurs, true, true, 3, 0, 0, 0), V::kRight},
        {"ours, wrong (records do not matter)", facts(CribKind::kOurs, true, false, 3, 3, 3, 3),
         V::kWrong},
        {"ours, none given", facts(CribKind::kOurs, false, false, 0, 0, 0, 0), V::kNeeded},
        {"zero crib, one record that passes", facts(CribKind::kNone, true, false, 1, 1, 1, 0),
         V::kRight},
        {"zero crib, one record that fails", facts(CribKind::kNone, true, false, 1, 1, 0, 0),
         V::kWrong},
        {"two of three pass: a damaged record", facts(CribKind::kNone, true, false, 3, 3, 2, 0),
         V::kRight},
        {"one of three pass", facts(CribKind::kNone, true, false, 3, 3, 1, 0), V::kWrong},
        {"half pass: damage, since a wrong key passes two of four once in a billion",
         facts(CribKind::kForeign, true, false, 4, 4, 2, 0), V::kRight},
        {"plain, none given, one of two damaged", facts(CribKind::kNone, false, false, 2, 2, 1, 1),
         V::kRight},
        {"plain, one given, one of two damaged", facts(CribKind::kNone, true, false, 2, 2, 0, 1),
         V::kSuperfluous},
        {"many records, most damaged, yet far more pass than chance allows",
         facts(CribKind::kNone, true, false, 100000, 100000, 40, 0), V::kRight},
        {"many records, a few passes by chance",
         facts(CribKind::kNone, true, false, 100000, 100000, 4, 0), V::kWrong},
        {"records pass only as stored", facts(CribKind::kNone, true, false, 3, 3, 0, 3),
         V::kSuperfluous},
        {"enciphered, none given", facts(CribKind::kForeign, false, false, 3, 3, 0, 0), V::kNeeded},
        {"plain, none given, another's crib", facts(CribKind::kForeign, false, false, 3, 3, 3, 3),
         V::kRight},
        {"empty, no crib, none given", facts(CribKind::kNone, false, false, 0, 0, 0, 0), V::kRight},
        {"empty, no crib, one given", facts(CribKind::kNone, true, false, 0, 0, 0, 0),
         V::kSuperfluous},
        {"empty, another's crib, one given", facts(CribKind::kForeign, true, false, 0, 0, 0, 0),
         V::kUnchecked},
        {"empty, another's crib, none given", facts(CribKind::kForeign, false, false, 0, 0, 0, 0),
         V::kNeeded},
        {"old forms only, one given", facts(CribKind::kNone, true, false, 5, 0, 0, 0),
         V::kUnchecked},
        {"old forms only, none given", facts(CribKind::kNone, false, false, 5, 0, 0, 0), V::kRight},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JudgePassword(c.facts), c.verdict) << c.what;
    }
}

TEST(PasswordVerdicts, AWrongKeyRarelyPassesEnoughRecordsToCount) {
    // Three passes more than a wrong key gives on average never count, at any size (below half
    // of the records); half of them always do.
    for (const std::size_t n : {1U, 2U, 4U, 100U, 65536U, 1000000U, 50000000U}) {
        const std::size_t mean = n / 65536;
        EXPECT_FALSE(PassesTellKey(std::min<std::size_t>(n / 2 - (n > 1 ? 1 : 0), 3 + mean), n))
            << n;
        EXPECT_TRUE(PassesTellKey(n / 2 + n % 2, n)) << n;
    }
    EXPECT_FALSE(PassesTellKey(0, 0));
}

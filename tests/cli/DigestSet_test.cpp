#include "cli/import/DigestSet.h"

#include <gtest/gtest.h>

namespace lkmdb {
namespace {

// Digests whose b halves share their low bits, so that they all want the same home slot and the
// probing, the wrap-around and every doubling are exercised.
RecordDigest Colliding(std::uint64_t i) {
    return {i, i << 32};
}

TEST(DigestSet, KeepsEveryDigestThroughGrowthAndCountsEachOnce) {
    DigestSet set;
    EXPECT_FALSE(set.Contains(Colliding(1)));
    constexpr std::uint64_t kCount = 3000;
    for (std::uint64_t i = 0; i < kCount; ++i) {
        set.Insert(Colliding(i));
        set.Insert(Colliding(i));
    }
    EXPECT_EQ(set.Size(), kCount);
    for (std::uint64_t i = 0; i < kCount; ++i) {
        ASSERT_TRUE(set.Contains(Colliding(i))) << i;
    }
    EXPECT_FALSE(set.Contains(Colliding(kCount)));
    // Equal b, other a: a different record.
    EXPECT_FALSE(set.Contains(RecordDigest{kCount + 7, std::uint64_t{5} << 32}));
}

}  // namespace
}  // namespace lkmdb

// Working values beside their unpacked copies: a value equal to its copy follows it and takes no
// room of its own; one that differs is kept apart until it equals the copy again or an unpacking
// replaces both.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "lkmdb7/items/ItemTexts.h"
#include "lkmdb7/items/RareTexts.h"

using namespace LKMDB7;

TEST(ItemTextsTest, WorkingValuesFollowTheirCopiesUntilTheyDiffer) {
    ItemTexts texts;
    texts.Unpack(3, "loaded");
    texts.Unpack(13, "label");
    EXPECT_EQ(texts.Working(3), "loaded");
    EXPECT_FALSE(texts.StoredApart(3));

    texts.SetWorking(3, "edited");
    EXPECT_EQ(texts.Working(3), "edited");
    EXPECT_EQ(texts.Unpacked(3), "loaded");
    EXPECT_TRUE(texts.StoredApart(3));

    // An empty working value over a non-empty copy is a value of its own, not "follow".
    texts.SetWorking(13, "");
    EXPECT_EQ(texts.Working(13), "");
    EXPECT_EQ(texts.Unpacked(13), "label");

    texts.SetWorking(3, "loaded");  // back to the copy's text
    EXPECT_FALSE(texts.StoredApart(3));
    EXPECT_EQ(texts.Working(13), "");

    // An unpacking replaces both, whatever the slot held apart.
    texts.Unpack(13, "new label");
    EXPECT_EQ(texts.Working(13), "new label");
    EXPECT_FALSE(texts.StoredApart(13));
    for (int slot = 0; slot < ItemTexts::kSlots; ++slot) {
        EXPECT_FALSE(texts.StoredApart(slot)) << slot;
    }
}

TEST(ItemTextsTest, WorkingValueCopiedFromAnotherHeldApartSurvivesTheBufferGrowing) {
    ItemTexts texts;
    texts.SetWorking(0, "seed");
    for (int round = 0; round < 30; ++round) {
        texts.SetWorking(1, texts.Working(0));
        texts.SetWorking(0, std::string(texts.Working(1)) + "+");
    }
    EXPECT_EQ(texts.Working(1), std::string("seed").append(29, '+'));
    EXPECT_EQ(texts.Working(0), std::string("seed").append(30, '+'));
    EXPECT_EQ(texts.Unpacked(0), "");
}

TEST(RareTextsTest, BlockHeldOnlyWhileATextIsSet) {
    RareTexts texts;
    EXPECT_FALSE(texts.HasBlock());
    texts.Set(2, "");
    EXPECT_FALSE(texts.HasBlock());
    texts.Set(2, "scan.pdf");
    texts.Set(4, "tomorrow");
    EXPECT_TRUE(texts.HasBlock());
    EXPECT_EQ(texts.Get(2), "scan.pdf");
    EXPECT_EQ(texts.Get(3), "");
    texts.Set(2, "");
    EXPECT_TRUE(texts.HasBlock());
    EXPECT_EQ(texts.Get(4), "tomorrow");
    texts.Set(4, "");
    EXPECT_FALSE(texts.HasBlock());
    EXPECT_EQ(texts.Get(4), "");
}

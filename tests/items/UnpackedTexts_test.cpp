// The shared buffer of unpacked copies: a text set from another slot of the same buffer, which
// growing the buffer would otherwise pull from under it, and texts holding zero bytes.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "lkmdb7/items/UnpackedTexts.h"

using namespace LKMDB7;

TEST(UnpackedTextsTest, SlotCopiedFromAnotherSlotSurvivesTheBufferGrowing) {
    UnpackedTexts texts;
    texts.Set(0, "first text of slot zero");
    for (int round = 0; round < 50; ++round) {
        // Each copy is longer than the slot's current text, so it goes to the buffer's end.
        texts.Set(1, "");
        texts.Set(1, texts.View(0));
        texts.Set(0, std::string(texts.View(1)) + "+");
        ASSERT_EQ(texts.View(1), std::string("first text of slot zero") +
                                     std::string(static_cast<std::size_t>(round), '+'));
    }
    EXPECT_EQ(texts.View(2), "");
}

TEST(UnpackedTextsTest, TextsKeepTheirZeroBytes) {
    UnpackedTexts texts;
    const std::string_view withZero("a\0b", 3);
    texts.Set(19, withZero);
    EXPECT_EQ(texts.View(19), withZero);
    EXPECT_EQ(texts.Get(19).GetLength(), 3);
}

// The shared buffer of unpacked copies: a text set from another slot of the same buffer, which
// growing the buffer would otherwise pull from under it, texts holding zero bytes, and texts
// past the 64 KiB that 16-bit offsets reach, and texts borrowed from bytes their owner keeps.
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

TEST(UnpackedTextsTest, TextsPastSixtyFourKiBKeepTheirOffsetsAndLengths) {
    // Each case fills slots in order; the last text starts or ends past 65,535.
    struct Case {
        const char* what;
        std::size_t first;
        std::size_t second;
    };
    const Case cases[] = {
        {"text exactly 65,535 long, next at offset 65,535", 65535, 3},
        {"next text starts past 65,535", 65536, 3},
        {"one text longer than 65,535", 3, 70000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        UnpackedTexts texts;
        const std::string first(c.first, 'a');
        const std::string second(c.second, 'b');
        texts.Set(0, first);
        texts.Set(1, second);
        texts.Set(2, "c");
        EXPECT_EQ(texts.View(0), first);
        EXPECT_EQ(texts.View(1), second);
        EXPECT_EQ(texts.View(2), "c");
        const UnpackedTexts copy(texts);
        // Dropping the long texts compacts the buffer; what is left moves to the front.
        texts.Set(0, "");
        texts.Set(1, "");
        EXPECT_EQ(texts.View(2), "c");
        EXPECT_EQ(copy.View(1), second);
        texts.Set(3, second);
        EXPECT_EQ(texts.View(3), second);
        EXPECT_EQ(texts.View(2), "c");
    }
}

TEST(UnpackedTextsTest, BorrowedTextsAreReadInPlaceUntilOwnedAndCopiesNeverBorrow) {
    std::string source = "alpha|beta|gamma";
    std::string other = "delta";
    UnpackedTexts texts;
    texts.Set(3, "owned before");
    texts.Borrow(0, source.data(), std::string_view(source).substr(0, 5));
    texts.Borrow(1, source.data(), std::string_view(source).substr(6, 4));
    texts.Borrow(3, source.data(), std::string_view(source).substr(11, 5));
    texts.Borrow(4, source.data(), std::string_view(source).substr(16, 0));
    EXPECT_TRUE(texts.Borrows());
    EXPECT_EQ(texts.View(0), "alpha");
    EXPECT_EQ(texts.View(0).data(), source.data());  // not copied
    EXPECT_EQ(texts.View(3), "gamma");
    EXPECT_EQ(texts.View(4), "");

    const UnpackedTexts copy(texts);
    EXPECT_FALSE(copy.Borrows());

    texts.Set(1, "set over a borrowed text");  // only that slot stops borrowing
    EXPECT_TRUE(texts.Borrows());
    // A borrowed slot set from an owned one: the owned text moves as the buffer grows, however
    // long the borrowed text it replaces.
    UnpackedTexts grown;
    const std::string longSource(40, 'L');
    grown.Set(1, "0123456789");
    grown.Borrow(0, longSource.data(), longSource);
    grown.Set(0, grown.View(1));
    EXPECT_EQ(grown.View(0), "0123456789");
    EXPECT_EQ(grown.View(1), "0123456789");
    // Another source: what the first one lent is copied in before it is let go.
    texts.Borrow(2, other.data(), other);
    EXPECT_EQ(texts.View(2).data(), other.data());
    source.assign(source.size(), 'Z');
    EXPECT_EQ(texts.View(0), "alpha");
    EXPECT_EQ(texts.View(3), "gamma");

    texts.Own();
    EXPECT_FALSE(texts.Borrows());
    other.assign(other.size(), 'Z');
    const char* const expected[] = {"alpha", "set over a borrowed text", "delta", "gamma", ""};
    for (int slot = 0; slot < 5; ++slot) {
        EXPECT_EQ(texts.View(slot), expected[slot]) << slot;
    }
    const char* const copied[] = {"alpha", "beta", "", "gamma", ""};
    for (int slot = 0; slot < 5; ++slot) {
        EXPECT_EQ(copy.View(slot), copied[slot]) << slot;
    }
}

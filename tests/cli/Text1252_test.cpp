// Windows-1252 <-> UTF-8: every byte survives the round trip, and input that the database cannot
// store is refused with the character named.
#include <gtest/gtest.h>

#include "cli/CliError.h"
#include "cli/Text1252.h"

using lkmdb::CliError;
using lkmdb::ToUtf8;
using lkmdb::ToWindows1252;

TEST(Text1252, EveryByteRoundTrips) {
    std::string all;
    for (int b = 1; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    EXPECT_EQ(ToWindows1252(ToUtf8(all), "t"), all);
}

TEST(Text1252, KnownCharacters) {
    EXPECT_EQ(ToUtf8("\x80"), "\u20AC");
    EXPECT_EQ(ToUtf8("\x99"), "\u2122");
    EXPECT_EQ(ToUtf8("\x9F"), "\u0178");
    EXPECT_EQ(ToUtf8("caf\xE9"), "caf\u00E9");
    // The five unassigned bytes stand for the code points of the same value.
    for (int b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) {
        const std::string one(1, static_cast<char>(b));
        EXPECT_EQ(ToUtf8(one), std::string({'\xC2', static_cast<char>(b)}));
        EXPECT_EQ(ToWindows1252(ToUtf8(one), "t"), one);
    }
}

TEST(Text1252, RefusedInputNamesWhatAndWhere) {
    struct Case {
        const char* input;
        const char* message;
    };
    const Case cases[] = {
        {"a\u4E2D", "--note: the character U+4E2D (\u4E2D) has no Windows-1252 byte"},
        {"\u0080", "--note: the character U+0080 has no Windows-1252 byte"},  // 0x80 is the euro
        {"ab\x80", "--note: not valid UTF-8 at byte 3"},
        {"\xC0\x80", "--note: not valid UTF-8 at byte 1"},      // overlong
        {"\xED\xA0\x80", "--note: not valid UTF-8 at byte 1"},  // surrogate
        {"x\xE2\x82", "--note: not valid UTF-8 at byte 2"},     // cut short
        {"\xF4\x90\x80\x80", "--note: not valid UTF-8 at byte 1"},
    };
    for (const Case& c : cases) {
        try {
            ToWindows1252(c.input, "--note");
            ADD_FAILURE() << "accepted " << c.input;
        } catch (const CliError& e) {
            EXPECT_EQ(e.what(), std::string(c.message));
            EXPECT_EQ(e.ExitCode(), lkmdb::kExitFailure);
        }
    }
    EXPECT_THROW(ToWindows1252(std::string("a\0b", 3), "t"), CliError);
}

// What reaches a terminal: every control character escaped, whatever the stored byte was.
TEST(Text1252, PrintableEscapesEveryControlCharacter) {
    struct Case {
        std::string in;
        std::string shown;
    };
    const Case cases[] = {
        {"plain caf\u00E9 \u20AC \\ back", "plain caf\u00E9 \u20AC \\ back"},
        {"\x1b]0;title\x07", "\\x1b]0;title\\x07"},
        {"\x1b[2J", "\\x1b[2J"},
        {"a\nb\rc\td", "a\\nb\\rc\\td"},
        {std::string("\0\x7f", 2), "\\x00\\x7f"},
        // The unassigned Windows-1252 bytes become C1 controls (0x9D is OSC there).
        {ToUtf8("\x81\x8D\x8F\x90\x9D"), "\\u0081\\u008d\\u008f\\u0090\\u009d"},
        {"\xC2\x9B"
         "31m",
         "\\u009b31m"},
        // Bytes outside valid UTF-8 (raw Windows-1252, cut sequences) go byte by byte.
        {"\x9b\xff\xC2", "\\x9b\\xff\\xc2"},
        {"\xE2\x82", "\\xe2\\x82"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(lkmdb::Printable(c.in), c.shown) << c.in;
    }
    EXPECT_EQ(lkmdb::PrintableLines("one\x1b\ntwo\n"), "one\\x1b\ntwo\n");
}

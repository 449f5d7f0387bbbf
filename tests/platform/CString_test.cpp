#include "lkmdb7/platform/CString.h"

#include <gtest/gtest.h>

#include "lkmdb7/platform/CStringArray.h"
#include "lkmdb7/platform/Exceptions.h"
#include "tests/support/platform/Env.h"

using namespace LKMDB7;

TEST(CString, FindAndCompareWithoutCase) {
    CString s("catalog cat");
    EXPECT_EQ(s.Find("cat"), 0);
    EXPECT_EQ(s.Find("cat", 1), 8);
    EXPECT_EQ(s.Find(""), 0);
    EXPECT_EQ(s.Find("dog"), -1);
    EXPECT_EQ(CString("Alpha").CompareNoCase("alpha"), 0);
    EXPECT_LT(CString("alpha").CompareNoCase("Beta"), 0);
    EXPECT_GT(CString("b").Compare("B"), 0);
    // Bytes above 0x7F order after ASCII, as unsigned bytes do.
    EXPECT_GT(CString("\xe9").CompareNoCase("z"), 0);
}

// Windows-1252 texts: accented capitals fold to their small letters (searching "BÜCHEREI" finds
// "Bücherei"), and names sort with an accented letter beside its base letter, whatever the case.
TEST(CString, CaseAndCollationFollowTheCodePage) {
    CString lower("MiXeD \xC9\xDC\x8A\x9F \xD7\xDF");  // É Ü Š Ÿ, × and ß have no other case
    lower.MakeLower();
    EXPECT_EQ(lower, "mixed \xE9\xFC\x9A\xFF \xD7\xDF");
    CString upper(lower);
    upper.MakeUpper();
    EXPECT_EQ(upper, "MIXED \xC9\xDC\x8A\x9F \xD7\xDF");
    EXPECT_EQ(CString("B\xDC"
                      "CHEREI")
                  .CompareNoCase("B\xFC"
                                 "cherei"),
              0);
    EXPECT_EQ(CString("\xDC").CollateNoCase("\xFC"), 0);
    EXPECT_NE(CString("u").CompareNoCase("\xFC"), 0);

    const char* const apple = "apple";
    const char* const aepfel = "\xE4pfel";
    const char* const eclair =
        "\xC9"
        "clair";
    const char* const zeta = "Zeta";
    EXPECT_LT(CString(apple).CollateNoCase(eclair), 0);
    EXPECT_LT(CString(aepfel).CollateNoCase(eclair), 0);
    EXPECT_LT(CString(eclair).CollateNoCase(zeta), 0);
    EXPECT_LT(CString(eclair).CollateNoCase("f"), 0);
    EXPECT_GT(CString(eclair).CollateNoCase("e"), 0);
    if (!lkmdb7_test::kWindows) {
        // Letter by letter, the accented one after its base: apple, äpfel, Éclair, Zeta. (The
        // system's collation on Windows weighs accents after the letters of the whole text.)
        EXPECT_LT(CString(apple).CollateNoCase(aepfel), 0);
        EXPECT_GT(CString("\xC4PFEL").CollateNoCase("apfelz"), 0);
    }

    // Equality without regard to case is equality of the lower-case forms, both ways, for every
    // pair of bytes.
    for (int a = 1; a < 256; ++a) {
        for (int b = 1; b < 256; ++b) {
            CString x(static_cast<char>(a), 1);
            CString y(static_cast<char>(b), 1);
            const bool equal = x.CompareNoCase(y) == 0;
            ASSERT_EQ(equal, CString(x).MakeLower() == CString(y).MakeLower()) << a << ' ' << b;
            if (!lkmdb7_test::kWindows) {
                ASSERT_EQ(equal, x.CollateNoCase(y) == 0) << a << ' ' << b;
            }
        }
    }
}

TEST(CString, FormatAndSlices) {
    CString s;
    s.Format("Field %d", 10);
    EXPECT_EQ(s, "Field 10");
    s.Format("%0x.lfa", 0xa1b2c3u);
    EXPECT_EQ(s, "a1b2c3.lfa");
    EXPECT_EQ(CString("abcdef").Mid(2, 2), "cd");
    EXPECT_EQ(CString("abcdef").Right(10), "abcdef");
    EXPECT_THROW(CString("ab").GetAt(2), CInvalidArgException);
}

TEST(CStringArray, IndexesAreChecked) {
    CStringArray a;
    a.SetSize(3);
    a.SetAt(2, "x");
    EXPECT_EQ(a[2], "x");
    EXPECT_THROW(a.SetAt(3, "y"), CInvalidArgException);
    EXPECT_THROW(a.GetAt(-1), CInvalidArgException);
    a.InsertAt(5, "z");
    EXPECT_EQ(a.GetSize(), 6);
    EXPECT_EQ(a[4], "");
    a.RemoveAt(0);
    EXPECT_EQ(a[1], "x");
}

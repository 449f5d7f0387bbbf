#include "lkmdb7/platform/CString.h"

#include <gtest/gtest.h>

#include "lkmdb7/platform/CStringArray.h"
#include "lkmdb7/platform/Exceptions.h"

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
    CString m("MiXeD \xC9");
    m.MakeLower();
    EXPECT_EQ(m, "mixed \xC9");
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

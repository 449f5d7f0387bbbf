#include "lkmdb7/platform/CArchive.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

#include "lkmdb7/platform/CMemFile.h"
#include "tests/support/ArchiveBytes.h"

using namespace LKMDB7;

using lkmdb7_test::Bytes;
using lkmdb7_test::Join;
using lkmdb7_test::Store;
using lkmdb7_test::operator+;
using ::testing::HasSubstr;

namespace {

// A file that cannot tell its length, as a pipe could not.
class UnsizedFile : public CMemFile {
  public:
    explicit UnsizedFile(Bytes data) : CMemFile(std::move(data)) {}
    ULONGLONG GetLength() const override {
        throw CFileException(CFileException::genericException, 50, "", "no length");
    }
};

template <class F>
CArchiveException ArchiveError(F&& f) {
    try {
        f();
    } catch (const CArchiveException& e) {
        return e;
    }
    ADD_FAILURE() << "no CArchiveException";
    return CArchiveException(CArchiveException::none, "");
}

}  // namespace

TEST(CArchive, IntegersAreLittleEndianAcrossBufferRefills) {
    // A 3-byte buffer makes every wider value straddle a refill.
    for (const int bufSize : {3, 4096}) {
        const Bytes bytes = Store(
            [](CArchive& ar) {
                ar.WriteByte(0xAB);
                ar.WriteWord(0x1234);
                ar.WriteDword(0xDEADBEEFu);
                ar.WriteLong(-2);
                ar.WriteQword(0x0102030405060708ull);
            },
            bufSize);
        EXPECT_EQ(bytes, Join({0xAB, 0x34, 0x12, 0xEF, 0xBE, 0xAD, 0xDE, 0xFE, 0xFF, 0xFF, 0xFF,
                               0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01}));

        CMemFile file(bytes);
        CArchive ar(&file, CArchive::load, bufSize);
        EXPECT_EQ(ar.ReadByte("b"), 0xAB);
        EXPECT_EQ(ar.ReadWord("w"), 0x1234);
        EXPECT_EQ(ar.ReadDword("d"), 0xDEADBEEFu);
        EXPECT_EQ(ar.ReadLong("l"), -2);
        EXPECT_EQ(ar.ReadQword("q"), 0x0102030405060708ull);
        EXPECT_EQ(ar.GetPosition(), bytes.size());
    }
}

TEST(CArchive, StringPrefixesAtEveryBoundary) {
    struct Case {
        std::size_t length;
        Bytes prefix;
    };
    const Case cases[] = {
        {0, Join({0x00})},
        {254, Join({0xFE})},
        {255, Join({0xFF, 0xFF, 0x00})},
        {300, Join({0xFF, 0x2C, 0x01})},
        {65533, Join({0xFF, 0xFD, 0xFF})},
        // 0xFFFE would read as the 16-bit character tag, so 65534 takes the long form.
        {65534, Join({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.length);
        std::string text(c.length, 'x');
        for (std::size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char>(i * 7);  // every byte value, NUL included
        }
        const Bytes bytes = Store([&](CArchive& ar) { ar.WriteString(CString(text)); });
        ASSERT_EQ(bytes.size(), c.prefix.size() + c.length);
        EXPECT_EQ(Bytes(bytes.begin(), bytes.begin() + static_cast<long>(c.prefix.size())),
                  c.prefix);

        CMemFile file(bytes + Join({0x5A}));
        CArchive ar(&file, CArchive::load, 1000);
        EXPECT_EQ(ar.ReadString("text").str(), text);
        EXPECT_EQ(ar.ReadByte("sentinel"), 0x5A);
    }
}

TEST(CArchive, ReadsEveryStringForm) {
    struct Case {
        const char* name;
        Bytes bytes;
        std::string text;
    };
    const Case cases[] = {
        {"u16 length", Join({0xFF, 0x03, 0x00}, "abc"), "abc"},
        {"u32 length", Join({0xFF, 0xFF, 0xFF, 0x03, 0x00, 0x00, 0x00}, "abc"), "abc"},
        {"u64 length",
         Join({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x03, 0, 0, 0, 0, 0, 0, 0}, "abc"), "abc"},
        // 16-bit characters (the conversion itself is checked below).
        {"wide, byte length",
         Join({0xFF, 0xFE, 0xFF, 0x04, 'a', 0x00, 0xE9, 0x00, 0x2D, 0x4E, 0x00, 0x00}),
         std::string("a\xE9?") + '\0'},
        {"wide, u16 length", Join({0xFF, 0xFE, 0xFF, 0xFF, 0x01, 0x00, 'z', 0x00}), "z"},
        {"wide, u32 length",
         Join({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x00, 'q', 0x00}), "q"},
        {"wide, empty", Join({0xFF, 0xFE, 0xFF, 0x00}), ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMemFile file(c.bytes);
        CArchive ar(&file, CArchive::load);
        EXPECT_EQ(ar.ReadString("text").str(), c.text);
        EXPECT_EQ(ar.GetPosition(), c.bytes.size());
    }
}

TEST(CArchive, HostileLengthsFailBeforeAllocating) {
    struct Case {
        const char* name;
        Bytes bytes;
        int cause;
    };
    const Case cases[] = {
        {"u32 length past the end", Join({0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0xFF, 0x7F}, "abc"),
         CArchiveException::endOfFile},
        {"u64 length past the end",
         Join({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
               0xFF}),
         CArchiveException::endOfFile},
        {"byte length one past the end", Join({0x04}, "abc"), CArchiveException::endOfFile},
        {"wide length past the end",
         Join({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x40}),
         CArchiveException::endOfFile},
        {"prefix cut short", Join({0xFF, 0xFF}), CArchiveException::endOfFile},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMemFile file(c.bytes);
        CArchive ar(&file, CArchive::load);
        ar.SetName("db.lkb");
        const CArchiveException e = ArchiveError([&] { ar.ReadString("icon file name"); });
        EXPECT_EQ(e.m_cause, c.cause);
        EXPECT_THAT(e.what(), HasSubstr("db.lkb: unexpected end of data at byte "));
        EXPECT_THAT(e.what(), HasSubstr("while reading icon file name"));
    }

    // Without a length to check against, the fixed limit still holds.
    UnsizedFile unsized(Join({0xFF, 0xFF, 0xFF, 0x01, 0x00, 0x00, 0x10}));
    CArchive ar(&unsized, CArchive::load);
    EXPECT_EQ(ArchiveError([&] { ar.ReadString("note"); }).m_cause,
              CArchiveException::genericException);
}

// 16-bit text becomes Windows-1252 (the ANSI code page of the Windows test machines, and the
// code page of the POSIX backend): punctuation and letters of 0x80-0x9F included, and the five
// bytes the code page leaves unassigned kept as their own code points.
TEST(CArchive, SixteenBitTextConvertsThroughWindows1252) {
    const struct {
        char16_t unit;
        char byte;
    } table[] = {
        {u'A', 'A'},      {0x00E9, '\xE9'}, {0x00FF, '\xFF'}, {0x20AC, '\x80'}, {0x201A, '\x82'},
        {0x0192, '\x83'}, {0x2026, '\x85'}, {0x2030, '\x89'}, {0x0160, '\x8A'}, {0x0152, '\x8C'},
        {0x017D, '\x8E'}, {0x2018, '\x91'}, {0x2019, '\x92'}, {0x201C, '\x93'}, {0x201D, '\x94'},
        {0x2022, '\x95'}, {0x2013, '\x96'}, {0x2014, '\x97'}, {0x02DC, '\x98'}, {0x2122, '\x99'},
        {0x0161, '\x9A'}, {0x0178, '\x9F'}, {0x0081, '\x81'}, {0x008D, '\x8D'}, {0x008F, '\x8F'},
        {0x0090, '\x90'}, {0x009D, '\x9D'}, {0x4E2D, '?'},
    };
    Bytes bytes = {0xFF, 0xFE, 0xFF, static_cast<BYTE>(std::size(table))};
    std::string expected;
    for (const auto& entry : table) {
        bytes.push_back(static_cast<BYTE>(entry.unit & 0xFF));
        bytes.push_back(static_cast<BYTE>(entry.unit >> 8));
        expected += entry.byte;
    }
    CMemFile file(bytes);
    CArchive ar(&file, CArchive::load);
    EXPECT_EQ(ar.ReadString("text").str(), expected);
}

TEST(CArchive, WideLengthOverflowingThirtyTwoBitsRaisesOleError) {
    CMemFile file(Join({0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x80}));
    CArchive ar(&file, CArchive::load);
    try {
        ar.ReadString("name");
        FAIL() << "no exception";
    } catch (const COleException& e) {
        EXPECT_EQ(static_cast<DWORD>(e.m_sc), 0x80070216u);
    }
}

TEST(CArchive, CountForms) {
    struct Case {
        DWORD count;
        Bytes bytes;
    };
    const Case cases[] = {
        {0, Join({0x00, 0x00})},
        {0xFFFE, Join({0xFE, 0xFF})},
        {0xFFFF, Join({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00})},
        {0x12345, Join({0xFF, 0xFF, 0x45, 0x23, 0x01, 0x00})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.count);
        EXPECT_EQ(Store([&](CArchive& ar) { ar.WriteCount(c.count); }), c.bytes);
        CMemFile file(c.bytes);
        CArchive ar(&file, CArchive::load);
        EXPECT_EQ(ar.ReadCount("count"), c.count);
    }
}

TEST(CArchive, EndOfDataNamesSourceOffsetAndField) {
    CMemFile file(Join({1, 2, 3}));
    CArchive ar(&file, CArchive::load);
    ar.SetName("LockmeraDatabase.lkb");
    EXPECT_EQ(ar.ReadWord("version"), 0x0201);
    const CArchiveException e = ArchiveError([&] { ar.ReadDword("record ID"); });
    EXPECT_EQ(e.m_cause, CArchiveException::endOfFile);
    EXPECT_STREQ(e.what(),
                 "LockmeraDatabase.lkb: unexpected end of data at byte 2 while reading record ID "
                 "(4 bytes needed, 1 left)");
}

TEST(CArchive, LargeBlocksAndShortReads) {
    std::string big(10000, '\0');
    for (std::size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<char>(i % 251);
    }
    for (const int bufSize : {7, 4096}) {
        SCOPED_TRACE(bufSize);
        const Bytes bytes = Store(
            [&](CArchive& ar) {
                ar.WriteByte(1);
                ar.Write(big.data(), static_cast<UINT>(big.size()));
                ar.WriteByte(2);
            },
            bufSize);
        ASSERT_EQ(bytes.size(), big.size() + 2);

        CMemFile file(bytes);
        CArchive ar(&file, CArchive::load, bufSize);
        EXPECT_EQ(ar.ReadByte("head"), 1);
        std::string back(big.size(), '\0');
        ar.ReadExact(back.data(), back.size(), "block");
        EXPECT_EQ(back, big);
        BYTE tail[4] = {};
        EXPECT_EQ(ar.Read(tail, sizeof tail), 1u);  // short only at the end
        EXPECT_EQ(tail[0], 2);
        EXPECT_EQ(ar.Read(tail, sizeof tail), 0u);
    }
}

TEST(CArchive, CloseLeavesTheFileAtTheNextUnreadByte) {
    CMemFile file(Bytes(100, 0x11));
    CArchive ar(&file, CArchive::load);
    BYTE crib[40];
    ar.ReadExact(crib, sizeof crib, "crib");
    ar.Close();
    EXPECT_EQ(file.GetPosition(), 40u);
}

TEST(CArchive, StoringStartsAtTheFilePositionAndKeepsNothingWithoutClose) {
    CMemFile file(Join({9, 9}));
    file.SeekToEnd();
    {
        CArchive ar(&file, CArchive::store);
        ar.WriteWord(0x0102);
        EXPECT_EQ(ar.GetPosition(), 4u);
        // Destroyed without Close: a failed save must not half-write its buffer later.
    }
    EXPECT_EQ(file.Data(), Join({9, 9}));
}

TEST(CArchive, MisuseIsRefused) {
    CMemFile file;
    EXPECT_THROW(CArchive(nullptr, CArchive::load), CInvalidArgException);
    EXPECT_THROW(CArchive(&file, CArchive::load, 0), CInvalidArgException);

    CArchive loading(&file, CArchive::load);
    EXPECT_EQ(ArchiveError([&] { loading.WriteByte(1); }).m_cause, CArchiveException::readOnly);
    CArchive storing(&file, CArchive::store);
    EXPECT_EQ(ArchiveError([&] { storing.ReadByte("b"); }).m_cause, CArchiveException::writeOnly);
    storing.Close();
    EXPECT_EQ(ArchiveError([&] { storing.WriteByte(1); }).m_cause,
              CArchiveException::genericException);
}

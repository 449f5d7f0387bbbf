// Packed records: sizes and exact layouts, the CRC over the plain bytes, whole-block encryption,
// the two old forms, and records that are too short or run off their end.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "lkmdb7/foundation/internal/Blowfish.h"
#include "lkmdb7/foundation/internal/Crc16.h"
#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/platform/Exceptions.h"
#include "tests/support/ItemTesting.h"

using namespace LKMDB7;
using namespace lkmdb7_test;

namespace {

const BYTE kId[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};

WORD StoredCrc(const Bytes& r) {
    return static_cast<WORD>(r[0] << 8 | r[1]);
}

WORD CrcOfPlain(Bytes r) {
    r[0] = r[1] = 0;
    return Crc16(r.data(), static_cast<WORD>(r.size() - 7), kPackedCrcInitial);
}

// Bytes 0 to L-8 that packing `item` now should give before enciphering: the class writer's bytes
// with the CRC in front.
Bytes ExpectedPlain(CBaseItem& item) {
    Bytes b(static_cast<std::size_t>(item.CalculateRecordSize()), 0);
    item.WritePalmRecord(reinterpret_cast<char*>(b.data()));
    b[0] = b[1] = 0;
    const WORD crc = CrcOfPlain(b);
    b[0] = static_cast<BYTE>(crc >> 8);
    b[1] = static_cast<BYTE>(crc & 0xFF);
    b.resize(b.size() - 7);
    return b;
}

// The item's packed record deciphered under the cipher in force.
Bytes Opened(const CBaseItem& item) {
    Bytes b = item.PalmRecord();
    BlowfishCryptBuffer(GetRecordCipher(), b.data() + 22, static_cast<WORD>(b.size() - 22), 0);
    return b;
}

Bytes Head(const Bytes& b) {
    return Bytes(b.begin(), b.end() - 7);
}
Bytes Tail(const Bytes& b) {
    return Bytes(b.end() - 7, b.end());
}

// The text that the round-trip tests give field i.
CString FieldValue(int i) {
    return CString("value ") + CString(std::to_string(i));
}

// A record with every kind of text set: ten fields, a two-line note and one label.
void FillTexts(CRecord& record) {
    for (int i = 0; i < 10; ++i) {
        record.SetField(i, FieldValue(i));
    }
    record.SetNote("line one\r\nline two");
    record.SetFieldLabel(9, nullptr, "Expires");
}

class PackedRecord : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
};

}  // namespace

TEST_F(PackedRecord, CategoryLayoutIsHeaderNameAndTail) {
    CCategoryItem bank;
    bank.SetName("Bank");
    bank.SetUniqueID(CUID::FromBytes(kId));
    EXPECT_EQ(bank.CalculateRecordSize(), 34);
    bank.PackPalmRecord(true);
    const Bytes& r = bank.PalmRecord();
    ASSERT_EQ(r.size(), 34u);
    EXPECT_EQ(Bytes(r.begin() + 2, r.begin() + 10), Bytes(kId, kId + 8));
    EXPECT_EQ(Bytes(r.begin() + 10, r.begin() + 22), Bytes(12, 0));
    EXPECT_EQ(Bytes(r.begin() + 22, r.begin() + 27), Z("Bank"));
    EXPECT_EQ(StoredCrc(r), CrcOfPlain(r));
    // Packing does not change the item's own CRC field.
    EXPECT_EQ(bank.GetCRC(), 0);
}

TEST_F(PackedRecord, EmptyRecordAndTypeSizes) {
    CRecord record;
    EXPECT_EQ(record.CalculateRecordSize(), 44);
    CTypeItem web;
    web.SetName("Web");
    EXPECT_EQ(web.CalculateRecordSize(), 43);
    record.SetFieldLabel(3, nullptr, "PIN:");
    EXPECT_EQ(record.CalculateRecordSize(), 44 + 14);
}

TEST_F(PackedRecord, RepackingChangesOnlyTheTail) {
    CCategoryItem a;
    a.SetName("Mail");
    a.PackPalmRecord(false);
    const Bytes first = a.PalmRecord();
    a.PackPalmRecord(false);
    const Bytes second = a.PalmRecord();
    EXPECT_EQ(Bytes(first.begin(), first.end() - 7), Bytes(second.begin(), second.end() - 7));
    EXPECT_NE(Bytes(first.end() - 7, first.end()), Bytes(second.end() - 7, second.end()));
}

TEST_F(PackedRecord, CipherCoversWholeBlocksFromByte22AndCrcIsOverPlainBytes) {
    CCategoryItem plain;
    plain.SetName("Bank");
    plain.PackPalmRecord(true);
    const Bytes clear = plain.PalmRecord();

    SetRecordCipherPassword("secret");
    Bytes sealed = clear;
    // What the cipher does to bytes 22-29; bytes 30-33 (a partial block) stay as they are.
    BlowfishCryptBuffer(GetRecordCipher(), sealed.data() + 22,
                        static_cast<WORD>(sealed.size() - 22), 1);
    EXPECT_EQ(Bytes(sealed.begin(), sealed.begin() + 22), Bytes(clear.begin(), clear.begin() + 22));
    EXPECT_NE(Bytes(sealed.begin() + 22, sealed.begin() + 30),
              Bytes(clear.begin() + 22, clear.begin() + 30));
    EXPECT_EQ(Bytes(sealed.begin() + 30, sealed.end()), Bytes(clear.begin() + 30, clear.end()));

    CCategoryItem read;
    read.SetPalmRecord(reinterpret_cast<char*>(sealed.data()), static_cast<int>(sealed.size()));
    read.PuffPalmRecord(true);
    EXPECT_EQ(read.GetName(), "Bank");
    EXPECT_EQ(read.GetCRC(), CrcOfPlain(clear));

    // Reading without deciphering takes the enciphered bytes as they are.
    CCategoryItem raw;
    raw.SetPalmRecord(reinterpret_cast<char*>(sealed.data()), static_cast<int>(sealed.size()));
    raw.PuffPalmRecord(false);
    EXPECT_NE(raw.GetName(), "Bank");
}

TEST_F(PackedRecord, EveryClassRoundTripsUnderTheCipher) {
    SetRecordCipherPassword("correct horse");
    CRecord record;
    FillTexts(record);
    record.SetCategoryID(CUID::FromBytes(kId));
    record.SetMaskBits(0x0204);
    record.SetIconIndex(301);
    record.SetViewCount(-17);
    record.SetAttachedFileName("scan.pdf");
    record.SetAttachedFileEncryptionKey("k3y");
    record.PackPalmRecord(true);

    CRecord copy;
    const Bytes r = record.PalmRecord();
    copy.SetPalmRecord(const_cast<char*>(reinterpret_cast<const char*>(r.data())),
                       static_cast<int>(r.size()));
    copy.PuffPalmRecord(true);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(copy.GetField(i, false), FieldValue(i));
    }
    EXPECT_EQ(copy.GetNote(), "line one\r\nline two");
    EXPECT_EQ(copy.GetCategoryID(), CUID::FromBytes(kId));
    EXPECT_EQ(copy.GetMaskBits(), 0x0204);
    EXPECT_EQ(copy.GetIconIndex(), 301);
    EXPECT_EQ(copy.GetViewCount(), -17);
    EXPECT_EQ(copy.GetAttachedFileName(), "scan.pdf");
    EXPECT_EQ(copy.GetAttachedFileEncryptionKey(), "k3y");
    EXPECT_EQ(copy.GetFieldLabelA(9), "Expires");
    EXPECT_EQ(copy.GetField(2, true), "****");
    EXPECT_EQ(copy.GetCRC(), StoredCrc(r));

    CTypeItem type;
    type.SetName("Web");
    type.SetUniqueID(CUID::FromBytes(kId));
    type.SetLabel(2, "User");
    type.SetMaskBits(0x4);
    type.SetIconIndex(7);
    type.PackPalmRecord(true);
    CTypeItem typeCopy;
    const Bytes t = type.PalmRecord();
    typeCopy.SetPalmRecord(const_cast<char*>(reinterpret_cast<const char*>(t.data())),
                           static_cast<int>(t.size()));
    typeCopy.PuffPalmRecord(true);
    EXPECT_EQ(typeCopy.GetName(), "Web");
    EXPECT_EQ(typeCopy.GetLabel(2), "User");
    EXPECT_EQ(typeCopy.GetLabel(0), "Field 1");
    EXPECT_EQ(typeCopy.GetUniqueID(), CUID::FromBytes(kId));
    // The original's labels were never unpacked, so GetLabel still answers the fallbacks there.
    EXPECT_EQ(type.GetLabel(2), "Field 3");
}

// A loaded record's unpacked copies read their bytes from its deciphered packed record. Every way
// that record's bytes or buffer can change or go must leave the copies, and the working values
// that follow them, as they were.
TEST_F(PackedRecord, UnpackedTextsOutliveEveryChangeOfTheRecordTheyWereReadFrom) {
    SetRecordCipherPassword("correct horse");
    CRecord source;
    FillTexts(source);
    source.PackPalmRecord(true);
    const Bytes sealed = source.PalmRecord();

    struct Case {
        const char* what;
        std::function<void(CRecord&)> change;
        bool workingValuesKept;
    };
    const Case cases[] = {
        {"repacked under the cipher, in the same buffer",
         [](CRecord& r) { r.PackPalmRecord(true); }, true},
        {"repacked plain", [](CRecord& r) { r.PackPalmRecord(false); }, true},
        {"exchanged, and the bytes given out overwritten and freed",
         [](CRecord& r) {
             std::vector<BYTE> out;
             bool present = false;
             r.SwapPalmRecord(out, present);
             std::fill(out.begin(), out.end(), BYTE{'Z'});
         },
         true},
        {"replaced by other bytes",
         [](CRecord& r) {
             char other[40] = {};
             r.SetPalmRecord(other, sizeof other);
         },
         true},
        // The first packing keeps the loaded bytes as its plain copy, which the texts go on
        // reading; each of these then changes or drops that copy.
        {"packed, then packed again unchanged",
         [](CRecord& r) {
             r.PackPalmRecord(true);
             r.PackPalmRecord(true);
         },
         true},
        {"packed, then packed again after an edit",
         [](CRecord& r) {
             r.PackPalmRecord(true);
             r.SetField(0, "edited");
             r.PackPalmRecord(true);
         },
         false},
        {"packed, then packed plain",
         [](CRecord& r) {
             r.PackPalmRecord(true);
             r.PackPalmRecord(false);
         },
         true},
        {"packed, then packed under another password",
         [](CRecord& r) {
             r.PackPalmRecord(true);
             SetRecordCipherPassword("battery staple");
             r.PackPalmRecord(true);
             SetRecordCipherPassword("correct horse");
         },
         true},
        {"packed, then exchanged, and the bytes given out freed",
         [](CRecord& r) {
             r.PackPalmRecord(true);
             std::vector<BYTE> out;
             bool present = false;
             r.SwapPalmRecord(out, present);
         },
         true},
        {"assigned another item",
         [](CRecord& r) {
             CRecord other;
             other.SetField(0, "from the other item");
             other.PackPalmRecord(true);
             r = other;
         },
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CRecord r;
        r.SetPalmRecord(const_cast<char*>(reinterpret_cast<const char*>(sealed.data())),
                        static_cast<int>(sealed.size()));
        r.PuffPalmRecord(true);
        const Bytes working = ExpectedPlain(r);
        c.change(r);
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(r.GetField(i, false), FieldValue(i)) << i;
        }
        EXPECT_EQ(r.GetFieldLabelA(9), "Expires");
        if (c.workingValuesKept) {
            EXPECT_EQ(r.GetNote(), "line one\r\nline two");
            Bytes now = ExpectedPlain(r);
            now[0] = working[0];  // the CRC field comes from the packed record
            now[1] = working[1];
            EXPECT_EQ(now, working);
        }
    }
}

// Repacking reuses the enciphered blocks of unchanged content and enciphers afresh only what the
// new tail reaches. Every tail position within a block is tried, and every way the content or
// the packed record can change between two packings must show in the deciphered bytes.
TEST_F(PackedRecord, RepackingUnderTheCipherAlwaysDeciphersToTheCurrentContent) {
    SetRecordCipherPassword("first");
    for (int extra = 0; extra < 8; ++extra) {
        SCOPED_TRACE(::testing::Message() << "field 0 of " << extra << " bytes");
        CRecord r;
        r.SetField(0, CString('x', extra));
        r.SetField(1, "alice");
        r.SetNote("a note long enough to span several blocks");
        r.PackPalmRecord(true);
        const Bytes first = Opened(r);
        EXPECT_EQ(Head(first), ExpectedPlain(r));

        r.PackPalmRecord(true);  // unchanged
        const Bytes second = Opened(r);
        EXPECT_EQ(Head(second), ExpectedPlain(r));
        EXPECT_NE(Tail(second), Tail(first));

        r.SetField(1, "alicf");  // same length, one byte different
        r.PackPalmRecord(true);
        EXPECT_EQ(Head(Opened(r)), ExpectedPlain(r));

        r.PuffPalmRecord(true);  // the record is now deciphered in place
        r.PackPalmRecord(true);
        EXPECT_EQ(Head(Opened(r)), ExpectedPlain(r));

        const Bytes plainCopy = Opened(r);  // a record installed from elsewhere
        r.SetPalmRecord(const_cast<char*>(reinterpret_cast<const char*>(plainCopy.data())),
                        static_cast<int>(plainCopy.size()));
        r.PackPalmRecord(true);
        EXPECT_EQ(Head(Opened(r)), ExpectedPlain(r));

        r.PackPalmRecord(false);  // a plain packing between two enciphered ones
        EXPECT_EQ(Head(r.PalmRecord()), ExpectedPlain(r));
        r.PackPalmRecord(true);
        EXPECT_EQ(Head(Opened(r)), ExpectedPlain(r));

        SetRecordCipherPassword("second");
        r.PackPalmRecord(true);
        EXPECT_EQ(Head(Opened(r)), ExpectedPlain(r));
        SetRecordCipherPassword("first");
        r.PackPalmRecord(true);
        EXPECT_EQ(Head(Opened(r)), ExpectedPlain(r));
    }
}

TEST_F(PackedRecord, NoteLineBreaksTravelAsBareLineFeeds) {
    CRecord record;
    record.SetNote("a\r\nb");
    EXPECT_EQ(record.GetNoteSize(), 4);
    record.PackPalmRecord(false);
    const Bytes& r = record.PalmRecord();
    // Ten empty fields follow the header, then the note.
    EXPECT_EQ(Bytes(r.begin() + 32, r.begin() + 36), Z("a\nb"));
}

TEST_F(PackedRecord, OldFormsReadIdentifierIconNameAndSixTexts) {
    ProcessStateGuard::SetLayoutVersion(2);
    const Bytes v1 = Cat({{0x00, 0x2A, 0x07, 0x00},
                          Z("Bank"),
                          Z("t0"),
                          Z("t1"),
                          Z("t2"),
                          Z("t3"),
                          Z("t4"),
                          Z("t5")});
    CCategoryItem item;
    item.SetCustom(7, "kept");
    item.SetPalmRecord(const_cast<char*>(reinterpret_cast<const char*>(v1.data())),
                       static_cast<int>(v1.size()));
    item.PuffPalmRecordV1();
    const BYTE expected[8] = {0, 0, 0, 0, 0, 0, 0, 0x2A};
    EXPECT_EQ(item.GetUniqueID(), CUID::FromBytes(expected));
    EXPECT_EQ(item.GetIconIndex(), 7);
    EXPECT_EQ(item.GetName(), "Bank");

    // The second old form carries a CRC word at bytes 4-5 and is enciphered from byte 6 on.
    SetRecordCipherPassword("pw");
    Bytes v2 = Cat({{0x01, 0x02, 0x09, 0x00, 0xAB, 0xCD},
                    Z("Web"),
                    Z("u"),
                    Z(""),
                    Z(""),
                    Z(""),
                    Z(""),
                    Z("")});
    BlowfishCryptBuffer(GetRecordCipher(), v2.data() + 6, static_cast<WORD>(v2.size() - 6), 1);
    CCategoryItem second;
    second.SetPalmRecord(reinterpret_cast<char*>(v2.data()), static_cast<int>(v2.size()));
    second.PuffPalmRecordV2();
    EXPECT_EQ(second.GetCRC(), 0xABCD);
    EXPECT_EQ(second.GetIconIndex(), 9);
    EXPECT_EQ(second.GetName(), "Web");
}

TEST_F(PackedRecord, ShortRecordsAreRefusedAndLeaveTheItemUnchanged) {
    struct Case {
        std::size_t length;
        void (*unpack)(CCategoryItem&);
    };
    const Case cases[] = {
        {21, [](CCategoryItem& c) { c.PuffPalmRecord(true); }},
        {5, [](CCategoryItem& c) { c.PuffPalmRecordV2(); }},
        {3, [](CCategoryItem& c) { c.PuffPalmRecordV1(); }},
    };
    for (const Case& c : cases) {
        CCategoryItem item;
        item.SetName("before");
        Bytes bytes(c.length, 0x41);
        item.SetPalmRecord(reinterpret_cast<char*>(bytes.data()), static_cast<int>(bytes.size()));
        EXPECT_THROW(c.unpack(item), CArchiveException) << c.length;
        EXPECT_EQ(item.GetName(), "before");
    }
}

TEST_F(PackedRecord, TextsThatRunOffTheRecordEndAtItsEnd) {
    // A record whose name has no terminator and whose labels are missing altogether.
    Bytes r(22, 0);
    r.insert(r.end(), {'N', 'a', 'm', 'e'});
    CTypeItem type;
    type.SetPalmRecord(reinterpret_cast<char*>(r.data()), static_cast<int>(r.size()));
    type.PuffPalmRecord(false);
    EXPECT_EQ(type.GetName(), "Name");
    EXPECT_EQ(type.GetLabel(0), "Field 1");

    // A view count of many digits is clamped, never overflowed; '12abc' reads as 12.
    Bytes rec(22, 0);
    for (int i = 0; i < 11; ++i)
        rec.push_back(0);  // ten fields and the note
    const std::string digits(400, '9');
    rec.insert(rec.end(), digits.begin(), digits.end());
    CRecord record;
    record.SetPalmRecord(reinterpret_cast<char*>(rec.data()), static_cast<int>(rec.size()));
    record.PuffPalmRecord(false);
    EXPECT_EQ(record.GetViewCount(), 2147483647);
    Bytes twelve = Cat({Bytes(22 + 11, 0), Z("12abc"), Z(""), Z(""), Bytes(7, 0)});
    record.SetPalmRecord(reinterpret_cast<char*>(twelve.data()), static_cast<int>(twelve.size()));
    record.PuffPalmRecord(false);
    EXPECT_EQ(record.GetViewCount(), 12);
}

TEST_F(PackedRecord, InstallAndCopyOut) {
    CCategoryItem item;
    char empty[4] = {};
    EXPECT_EQ(item.GetPalmRecord(empty), 0);
    Bytes r = {0x12, 0x34, 0x56};
    item.SetPalmRecord(reinterpret_cast<char*>(r.data()), 3);
    EXPECT_EQ(item.GetCRC(), 0x1234);
    char out[3];
    EXPECT_EQ(item.GetPalmRecord(out), 3);
    EXPECT_EQ(std::memcmp(out, r.data(), 3), 0);
    CBaseItem base;
    EXPECT_THROW(base.PackPalmRecord(false), CInvalidArgException);
}

// The checksum and cipher lengths are 16-bit: a longer record would be partly unchecked and partly
// in clear, so packing refuses it and keeps what the item held.
TEST_F(PackedRecord, RecordsLongerThanTheLimitAreRefusedAndKeepTheirOldForm) {
    CCategoryItem fits;
    // 22 header bytes, the name and its zero byte, 7 tail bytes.
    fits.SetName(CString(std::string(kMaxPackedRecordSize - 30, 'n')));
    fits.PackPalmRecord(false);
    EXPECT_EQ(fits.PalmRecord().size(), kMaxPackedRecordSize);

    CCategoryItem over;
    over.SetName("old");
    over.PackPalmRecord(false);
    const Bytes old = over.PalmRecord();
    over.SetName(CString(std::string(kMaxPackedRecordSize - 29, 'n')));
    try {
        over.PackPalmRecord(true);
        FAIL() << "packed a record over the limit";
    } catch (const CInvalidArgException& e) {
        EXPECT_NE(std::string(e.what()).find("65535"), std::string::npos) << e.what();
    }
    EXPECT_EQ(over.PalmRecord(), old);

    CRecord record;
    record.SetNote(CString(std::string(70000, 'x')));
    EXPECT_THROW(record.PackPalmRecord(false), CInvalidArgException);
    EXPECT_THROW(record.CheckPackedSize(), CInvalidArgException);
}

TEST_F(PackedRecord, LongRecordsFromElsewhereStillRead) {
    CCategoryItem source;
    source.SetUniqueID(CUID::FromBytes(kId));
    Bytes bytes(22, 0);
    std::memcpy(bytes.data() + 2, kId, 8);
    bytes.insert(bytes.end(), 70000, 'n');
    bytes.insert(bytes.end(), 8, 0);  // the name's zero byte and the tail
    CCategoryItem item;
    item.SetPalmRecord(reinterpret_cast<char*>(bytes.data()), static_cast<int>(bytes.size()));
    item.PuffPalmRecord(false);
    EXPECT_EQ(item.GetName().GetLength(), 70000);
    EXPECT_EQ(item.GetUniqueID(), source.GetUniqueID());
}

// Fields "f0" to "f9", a note, "3" views, an attachment and label overrides "L0" to "L9", as
// packed before the CRC (left zero) and the tail.
Bytes RecordWithNote(const Bytes& note) {
    Bytes fields;
    Bytes labels;
    for (char digit = '0'; digit <= '9'; ++digit) {
        fields = Cat({fields, Z(std::string("f") + digit)});
        labels = Cat({labels, Z(std::string("L") + digit)});
    }
    return Cat({{0, 0},
                Bytes(kId, kId + 8),
                Bytes(8, 0),
                {0, 24, 0, 1},
                fields,
                note,
                Z("3"),
                Z("file"),
                Z("key"),
                labels,
                Bytes(7, 0)});
}

// The note is held beside the unpacked copies but has none of its own: setting it leaves every
// field and label as the unpacking left it, and the next unpacking replaces it.
TEST_F(PackedRecord, NoteSetBetweenUnpackingsLeavesTheTextsAndIsReplacedByTheNext) {
    Bytes rec = RecordWithNote(Z("a\nb"));
    CRecord record;
    record.SetPalmRecord(reinterpret_cast<char*>(rec.data()), static_cast<int>(rec.size()));
    record.PuffPalmRecord(false);
    record.SetField(4, "edited");
    // Long enough to move past every text, and set twice so that the buffer is compacted.
    record.SetNote(CString(std::string(300, 'n')));
    record.SetNote(CString(std::string(400, 'm')));
    EXPECT_EQ(record.GetNote(), std::string(400, 'm'));
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(record.GetField(i, false), std::string("f").append(std::to_string(i))) << i;
        EXPECT_EQ(record.GetFieldLabelA(i), std::string("L").append(std::to_string(i))) << i;
    }
    EXPECT_EQ(record.GetLabelOverrides()[4], "L4");
    EXPECT_TRUE(record.HasFieldText(4));

    CRecord copy;
    copy = record;
    EXPECT_EQ(copy.GetNote(), std::string(400, 'm'));

    record.PuffPalmRecord(false);
    EXPECT_EQ(record.GetNote(), "a\r\nb");
    record.SetNote("");
    EXPECT_FALSE(record.HasNote());
    // The unpacking also put back the edited field, so the packing gives the loaded bytes.
    record.PackPalmRecord(false);
    const Bytes expected = RecordWithNote(Z(""));
    EXPECT_EQ(Bytes(record.PalmRecord().begin() + 2, record.PalmRecord().end() - 7),
              Bytes(expected.begin() + 2, expected.end() - 7));
}

// A note of line feeds reads back twice as long: past 64 KiB, beside texts that the unpacking
// placed first, and it packs to the same bytes.
TEST_F(PackedRecord, NoteThatUnpacksPastSixtyFourKiBKeepsTheOtherTexts) {
    Bytes rec = RecordWithNote(Z(std::string("x").append(40000, '\n').append("y")));
    CRecord record;
    record.SetPalmRecord(reinterpret_cast<char*>(rec.data()), static_cast<int>(rec.size()));
    record.PuffPalmRecord(false);
    std::string expanded = "x";
    for (int i = 0; i < 40000; ++i) {
        expanded += "\r\n";
    }
    expanded += "y";
    EXPECT_EQ(record.GetNote(), expanded);
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(record.GetField(i, false), std::string("f").append(std::to_string(i))) << i;
        EXPECT_EQ(record.GetFieldLabelA(i), std::string("L").append(std::to_string(i))) << i;
    }
    record.PackPalmRecord(false);
    EXPECT_EQ(Bytes(record.PalmRecord().begin() + 2, record.PalmRecord().end() - 7),
              Bytes(rec.begin() + 2, rec.end() - 7));
}

// The sync layer's one-argument reader follows the layout: on a fresh item (no packed record of
// its own) it reads every text to its zero byte, and the item's own length decides only whether
// a record's label block is read.
TEST_F(PackedRecord, OneArgumentReaderFollowsTheLayout) {
    Bytes cat = Cat({{0, 0}, Bytes(kId, kId + 8), Bytes(12, 0), Z("Bank"), Bytes(7, 0xEE)});
    CCategoryItem category;
    const char* end = category.ReadPalmRecord(reinterpret_cast<char*>(cat.data()));
    EXPECT_EQ(end, reinterpret_cast<char*>(cat.data()) + 27);
    EXPECT_EQ(category.GetName(), "Bank");
    EXPECT_EQ(category.GetUniqueID(), CUID::FromBytes(kId));

    Bytes type = Cat({{0, 0},
                      Bytes(kId, kId + 8),
                      {0, 5, 0, 3},
                      Bytes(8, 0),
                      Z("Web"),
                      Z("User"),
                      Bytes(9, 0),
                      Bytes(7, 0xEE)});
    CTypeItem t;
    EXPECT_EQ(t.ReadPalmRecord(reinterpret_cast<char*>(type.data())),
              reinterpret_cast<char*>(type.data()) + type.size() - 7);
    EXPECT_EQ(t.GetName(), "Web");
    EXPECT_EQ(t.GetLabel(0), "User");
    EXPECT_EQ(t.GetIconIndex(), 5);

    Bytes fields;
    for (char digit = '0'; digit <= '9'; ++digit)
        fields = Cat({fields, {'f', static_cast<BYTE>(digit), 0}});
    Bytes labels;
    for (int i = 0; i < 10; ++i)
        labels = Cat({labels, Z(i == 2 ? "PIN" : "")});
    Bytes rec = Cat({{0, 0},
                     Bytes(kId, kId + 8),
                     Bytes(8, 0),
                     {0, 24, 0, 1},
                     fields,
                     Z("a\nb"),
                     Z("3"),
                     Z("file"),
                     Z("key"),
                     labels,
                     Bytes(7, 0xEE)});
    CRecord fresh;
    char* const start = reinterpret_cast<char*>(rec.data());
    EXPECT_EQ(fresh.ReadPalmRecord(start), start + rec.size() - 7 - labels.size());
    EXPECT_EQ(fresh.GetField(9, false), "f9");
    EXPECT_EQ(fresh.GetNote(), "a\r\nb");
    EXPECT_EQ(fresh.GetViewCount(), 3);
    EXPECT_EQ(fresh.GetAttachedFileName(), "file");
    EXPECT_EQ(fresh.GetFieldLabelA(2), "");  // no packed length of its own: no label block

    CRecord installed;
    installed.SetPalmRecord(start, static_cast<int>(rec.size()));
    EXPECT_EQ(installed.ReadPalmRecord(start), start + rec.size() - 7);
    EXPECT_EQ(installed.GetFieldLabelA(2), "PIN");
}

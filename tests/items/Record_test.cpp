// Records: working values against unpacked copies, the layouts of versions 5 to 7, labels,
// search, view filter and attachments.
#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "lkmdb7/foundation/PathUtils.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/platform/Exceptions.h"
#include "lkmdb7/platform/internal/PathSeparator.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_test;

namespace {

class RecordTest : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
};

void Unpack(CRecord& record, Bytes bytes) {
    record.SetPalmRecord(reinterpret_cast<char*>(bytes.data()), static_cast<int>(bytes.size()));
    record.PuffPalmRecord(false);
}

Bytes TenFields(const char* prefix) {
    Bytes out;
    for (int i = 0; i < 10; ++i) {
        const Bytes f = Z(std::string(prefix) + std::to_string(i));
        out.insert(out.end(), f.begin(), f.end());
    }
    return out;
}

// The working values as packing writes them: the texts after the header, the tail cut off (ten
// fields, the note, the view count, the attachment name and key, then any labels).
std::vector<std::string> PackedTexts(CRecord& record) {
    record.PackPalmRecord(false);
    const std::vector<BYTE>& bytes = record.PalmRecord();
    std::vector<std::string> texts;
    std::string text;
    for (std::size_t i = 22; i + 7 < bytes.size(); ++i) {
        if (bytes[i] == 0) {
            texts.push_back(text);
            text.clear();
        } else {
            text += static_cast<char>(bytes[i]);
        }
    }
    return texts;
}

const Bytes kHeader(22, 0);
const Bytes kTail(7, 0xEE);

}  // namespace

TEST_F(RecordTest, GettersReadTheLastUnpackingNotTheWorkingValues) {
    CRecord record;
    record.SetField(2, "typed");
    EXPECT_EQ(record.GetField(2, false), "");
    EXPECT_TRUE(record.HasFieldText(2));
    record.PackPalmRecord(false);
    record.PuffPalmRecord(false);
    EXPECT_EQ(record.GetField(2, false), "typed");
    record.SetField(2, "changed");
    EXPECT_EQ(record.GetField(2, false), "typed");
    // What a host set, and the next save writes, reads back through the working value.
    EXPECT_EQ(record.GetWorkingField(2), "changed");
    EXPECT_THROW(record.GetWorkingField(10), CInvalidArgException);
}

TEST_F(RecordTest, LayoutVersionsFiveToSeven) {
    const Bytes header(22, 0);
    const Bytes tail(7, 0xEE);
    // Version 5: six fields, no extended strings; field 9 and label 9 get their fixed texts.
    ProcessStateGuard::SetLayoutVersion(5);
    CRecord v5;
    v5.SetField(7, "kept");
    Unpack(v5,
           Cat({header, Z("f0"), Z("f1"), Z("f2"), Z("f3"), Z("f4"), Z("f5"), Z("note"), tail}));
    EXPECT_EQ(v5.GetField(5, false), "f5");
    EXPECT_EQ(v5.GetNote(), "note");
    EXPECT_EQ(v5.GetCustom(9), "");  // the unpacked copy of field 9 is not touched
    EXPECT_EQ(v5.GetFieldLabelA(9), "Date Mod");
    EXPECT_EQ(v5.GetFieldLabel(9, nullptr, false), "Date Mod");
    EXPECT_TRUE(v5.HasFieldText(7));  // fields 6 to 8 keep their working values
    ProcessStateGuard::SetLayoutVersion(9);
    v5.PackPalmRecord(false);
    v5.PuffPalmRecord(false);
    EXPECT_EQ(v5.GetField(7, false), "kept");
    EXPECT_EQ(v5.GetField(9, false), "Unknown");

    // Version 6: ten fields and no extended strings; what follows the note is labels.
    ProcessStateGuard::SetLayoutVersion(6);
    CRecord v6;
    Unpack(v6, Cat({header, TenFields("f"), Z("n"), TenFields("L"), tail}));
    EXPECT_EQ(v6.GetField(9, false), "f9");
    EXPECT_EQ(v6.GetFieldLabelA(0), "L0");
    EXPECT_EQ(v6.GetViewCount(), 0);

    // Version 7: view count, attachment name and key, then labels only when bytes remain.
    ProcessStateGuard::SetLayoutVersion(7);
    CRecord v7;
    v7.SetFieldLabels(CStringArray());
    Unpack(v7, Cat({header, TenFields("f"), Z("n"), Z("3"), Z("a.txt"), Z("key"), tail}));
    EXPECT_EQ(v7.GetViewCount(), 3);
    EXPECT_EQ(v7.GetAttachedFileName(), "a.txt");
    EXPECT_EQ(v7.GetFieldLabelA(0), "");
    EXPECT_FALSE(v7.AttachmentPresent());  // reading leaves the has-attachment flag alone
}

TEST_F(RecordTest, LabelsResolveAgainstOverridesTypeAndFallback) {
    CRecord record;
    EXPECT_EQ(record.GetFieldLabel(3, nullptr, true), "Field 4:");
    record.SetFieldLabel(3, nullptr, "PIN:");
    EXPECT_EQ(record.GetFieldLabel(3, nullptr, true), "PIN:");
    EXPECT_THROW(record.GetFieldLabel(10, nullptr, false), CInvalidArgException);

    CTypeItem type;
    type.SetLabel(1, "User");
    type.PackPalmRecord(false);
    type.PuffPalmRecord(false);
    record.SetFieldLabel(1, &type, "User");  // same as the type's: no override kept
    EXPECT_EQ(record.GetNumFieldLabelsWithText(), 1);
    EXPECT_EQ(record.GetFieldLabel(1, &type, false), "User");

    CStringArray three;
    three.Add("a");
    three.Add("b");
    three.Add("c");
    record.SetFieldLabels(three);
    EXPECT_EQ(record.GetLabelOverrides().GetSize(), 10);
    EXPECT_EQ(record.GetLabelOverrides()[9], "");
}

TEST_F(RecordTest, ContainsTextUsesWholeWordsAndAlwaysTheNote) {
    struct Case {
        const char* field;
        bool expected;
    };
    const Case cases[] = {{"x abc", true}, {"abc,", false}, {"abcd abc", true}, {"xABCx", false}};
    for (const Case& c : cases) {
        CRecord record;
        record.SetField(0, c.field);
        record.PackPalmRecord(false);
        record.PuffPalmRecord(false);
        EXPECT_EQ(record.ContainsText("abc", false, true, 1), c.expected) << c.field;
    }
    // Accented capitals fold too: "BÜCHEREI" finds "Bücherei".
    CRecord library;
    library.SetField(0,
                     "Stadtb\xFC"
                     "cherei");
    library.PackPalmRecord(false);
    library.PuffPalmRecord(false);
    EXPECT_TRUE(
        library.ContainsText("B\xDC"
                             "CHEREI",
                             false, false, 1));
    EXPECT_FALSE(
        library.ContainsText("B\xDC"
                             "CHEREI",
                             true, false, 1));
    CRecord noted;
    noted.SetNote("abc");
    noted.PackPalmRecord(false);
    noted.PuffPalmRecord(false);
    EXPECT_TRUE(noted.ContainsText("ABC", false, true, 0));
    EXPECT_FALSE(noted.ContainsText("ABC", true, false, 0));
}

TEST_F(RecordTest, ViewFilterAndDeletion) {
    const BYTE t[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    CRecord record;
    record.SetTypeID(CUID::FromBytes(t));
    EXPECT_TRUE(record.IsInView(CUID::FromBytes(t), CUID()));
    EXPECT_TRUE(record.IsInView(CUID_ALL, CUID_ALL));
    EXPECT_FALSE(record.IsInView(CUID(), CUID_ALL));
    record.SetDeleted(true);
    EXPECT_FALSE(record.IsInView(CUID_ALL, CUID_ALL));
}

TEST_F(RecordTest, AttachmentFileIsNamedAndRemoved) {
    TempDir dir;
    CRecord record;
    record.SetRecordID(0xa1b2c3);
    EXPECT_EQ(record.GetEncryptedAttachedFileName(), "a1b2c3.lfa");
    record.SetAttachedFileName("scan.pdf");
    record.SetAttachedFileEncryptionKey("");
    EXPECT_EQ(record.HasAttachment(), 1);
    EXPECT_FALSE(record.AttachmentPresent());
    EXPECT_EQ(record.RemoveAttachment(""), 0);
    EXPECT_EQ(record.GetAttachedFileName(), "scan.pdf");

    std::filesystem::create_directory(dir.path() / "Files");
    std::ofstream(dir.path() / "Files" / "a1b2c3.lfa") << "x";
    const CString dbPath = JoinPath(CString(dir.str()), "LockmeraDatabase.lkb");
    EXPECT_NE(record.RemoveAttachment(dbPath), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "Files" / "a1b2c3.lfa"));
    EXPECT_EQ(record.HasAttachment(), 0);
}

TEST_F(RecordTest, AssignmentCopiesContentButKeepsIdentity) {
    CRecord source;
    source.SetNote("n");
    source.SetViewCount(4);
    source.SetReminderDate("tomorrow");
    source.setTimeStamp(0);
    source.SetLocalOnly(true);
    source.PackPalmRecord(false);
    CRecord target;
    target.setTimeStamp(1234);
    const CUID pk = target.GetPKID();
    target = source;
    EXPECT_EQ(target.GetNote(), "n");
    EXPECT_EQ(target.GetViewCount(), 4);
    EXPECT_EQ(target.GetReminderDate(), "tomorrow");
    EXPECT_EQ(target.GetPKID(), pk);
    EXPECT_EQ(target.getTimeStamp(), 1234);
    EXPECT_FALSE(target.IsLocalOnly());
    EXPECT_TRUE(target.CompareRecord(&source));
    CRecord unpacked;
    EXPECT_FALSE(unpacked.CompareRecord(&target));
}

// The unpacked copies of fields and labels share one buffer: unpacking records whose texts grow,
// shrink and vanish in turn, with and without a label block, must leave every copy as the last
// unpacking that reached it left it.
TEST_F(RecordTest, UnpackedCopiesFollowEveryUnpackingThatReachesThem) {
    const Bytes header(22, 0);
    const Bytes tail(7, 0xEE);
    CRecord record;
    std::array<std::string, 10> fields;
    std::array<std::string, 10> labels;
    for (int round = 0; round < 40; ++round) {
        // Lengths 0 to 39 in a different order each round; labels only every third round.
        Bytes body = header;
        for (int i = 0; i < 10; ++i) {
            fields[static_cast<std::size_t>(i)] =
                std::string(static_cast<std::size_t>((round * 7 + i * 13) % 40), char('a' + i));
            const Bytes f = Z(fields[static_cast<std::size_t>(i)]);
            body.insert(body.end(), f.begin(), f.end());
        }
        body = Cat({body, Z("note"), Z("0"), Z(""), Z("")});
        if (round % 3 == 0) {
            for (int i = 0; i < 10; ++i) {
                labels[static_cast<std::size_t>(i)] =
                    std::string(static_cast<std::size_t>((round + i * 5) % 25), char('K' + i));
                const Bytes l = Z(labels[static_cast<std::size_t>(i)]);
                body.insert(body.end(), l.begin(), l.end());
            }
        }
        Unpack(record, Cat({body, tail}));
        for (int i = 0; i < 10; ++i) {
            ASSERT_EQ(record.GetField(i, false).str(), fields[static_cast<std::size_t>(i)])
                << "round " << round << ", field " << i;
            ASSERT_EQ(record.GetFieldLabelA(i).str(), labels[static_cast<std::size_t>(i)])
                << "round " << round << ", label " << i;
        }
    }
}

// Working values read from the unpacked copies until set; re-unpacking replaces those it reads
// and only those, in either order of setting and unpacking.
TEST_F(RecordTest, WorkingValuesSetAroundUnpackings) {
    const Bytes loaded = Cat({kHeader, TenFields("f"), Z("n"), Z("0"), Z(""), Z(""), kTail});
    CRecord record;
    record.SetField(4, "before");  // set, then unpacked over
    Unpack(record, loaded);
    EXPECT_EQ(PackedTexts(record)[4], "f4");
    EXPECT_EQ(PackedTexts(record),
              (std::vector<std::string>{"f0", "f1", "f2", "f3", "f4", "f5", "f6", "f7", "f8", "f9",
                                        "n", "0", "", ""}));
    record.SetField(4, "after");  // unpacked, then set
    record.SetField(5, "");
    EXPECT_EQ(record.GetField(4, false), "f4");
    EXPECT_TRUE(record.HasFieldText(4));
    EXPECT_FALSE(record.HasFieldText(5));
    EXPECT_FALSE(record.IsEmpty());
    EXPECT_EQ(PackedTexts(record)[4], "after");
    EXPECT_EQ(PackedTexts(record)[5], "");

    Unpack(record, loaded);
    EXPECT_EQ(PackedTexts(record)[4], "f4");
    EXPECT_EQ(PackedTexts(record)[5], "f5");

    // Emptiness is the working values', not the copies'.
    CRecord blank;
    Unpack(blank, Cat({kHeader, TenFields(""), Z(""), Z("0"), Z(""), Z(""), kTail}));
    EXPECT_FALSE(blank.IsEmpty());  // TenFields("") holds the digits 0 to 9
    blank.SetFields(CStringArray());
    EXPECT_TRUE(blank.IsEmpty());
    EXPECT_EQ(blank.GetField(3, false), "3");
}

// The six-field form has no field 9: its working value becomes "Unknown" while its unpacked copy
// and fields 6 to 8 keep what an earlier unpacking left, working and unpacked alike.
TEST_F(RecordTest, SixFieldFormLeavesOlderValuesWhereTheyWere) {
    CRecord record;
    Unpack(record, Cat({kHeader, TenFields("f"), Z("n"), Z("0"), Z(""), Z(""), kTail}));
    record.SetField(7, "edited");
    ProcessStateGuard::SetLayoutVersion(5);
    Unpack(record,
           Cat({kHeader, Z("o0"), Z("o1"), Z("o2"), Z("o3"), Z("o4"), Z("o5"), Z("on"), kTail}));
    ProcessStateGuard::SetLayoutVersion(9);
    EXPECT_EQ(record.GetField(5, false), "o5");
    EXPECT_EQ(record.GetField(6, false), "f6");
    EXPECT_EQ(record.GetField(7, false), "f7");
    EXPECT_EQ(record.GetField(9, false), "f9");
    const std::vector<std::string> working = PackedTexts(record);
    EXPECT_EQ(working[6], "f6");
    EXPECT_EQ(working[7], "edited");
    EXPECT_EQ(working[9], "Unknown");
    EXPECT_EQ(record.GetFieldLabelA(9), "Date Mod");

    // Set back to its copy's text, field 9 stays apart from later unpackings of the copy alone.
    record.SetField(9, "f9");
    EXPECT_EQ(PackedTexts(record)[9], "f9");
}

// Assignment and Duplicate copy working values and label overrides between items whatever each
// holds them as, and never the unpacked copies.
TEST_F(RecordTest, CopiesBetweenLoadedAndEditedRecords) {
    CRecord loaded;
    Unpack(loaded,
           Cat({kHeader, TenFields("a"), Z("n"), Z("0"), Z(""), Z(""), TenFields("L"), kTail}));
    CRecord other;
    Unpack(other, Cat({kHeader, TenFields("b"), Z("n"), Z("0"), Z(""), Z(""), kTail}));
    other.SetField(0, "b-edited");

    other = loaded;
    EXPECT_EQ(other.GetField(0, false), "b0");
    EXPECT_EQ(other.GetFieldLabelA(1), "");
    std::vector<std::string> texts = PackedTexts(other);
    ASSERT_EQ(texts.size(), 24U);
    EXPECT_EQ(texts[0], "a0");
    EXPECT_EQ(texts[23], "L9");

    // Back: the loaded record takes values equal to its own copies except one.
    CRecord edited;
    edited = loaded;
    edited.SetField(2, "x");
    edited.ClearFieldLabel(3);
    loaded = edited;
    texts = PackedTexts(loaded);
    EXPECT_EQ(texts[1], "a1");
    EXPECT_EQ(texts[2], "x");
    EXPECT_EQ(texts[14 + 3], "");
    EXPECT_EQ(texts[14 + 4], "L4");
    EXPECT_EQ(loaded.GetFieldLabelA(3), "L3");

    CRecord duplicate;
    duplicate.Duplicate(&loaded);
    EXPECT_EQ(duplicate.GetLabelOverrides()[4], "L4");
    EXPECT_EQ(duplicate.GetLabelOverrides()[3], "");
    duplicate.InitFromType(nullptr);
    EXPECT_EQ(duplicate.GetNumFieldLabelsWithText(), 0);
}

// Label overrides set to their unpacked copies' texts, cleared, and set again.
TEST_F(RecordTest, LabelOverridesAgainstTheirUnpackedCopies) {
    const Bytes withLabels =
        Cat({kHeader, TenFields("f"), Z("n"), Z("0"), Z(""), Z(""), TenFields("L"), kTail});
    CRecord record;
    Unpack(record, withLabels);
    EXPECT_EQ(record.GetNumFieldLabelsWithText(), 10);
    EXPECT_EQ(record.GetFieldLabel(2, nullptr, false), "L2");
    const Bytes body(record.PalmRecord().begin() + 2, record.PalmRecord().end() - 7);
    record.PackPalmRecord(false);
    EXPECT_EQ(Bytes(record.PalmRecord().begin() + 2, record.PalmRecord().end() - 7), body);

    record.ClearFieldLabels();
    EXPECT_EQ(record.GetNumFieldLabelsWithText(), 0);
    EXPECT_EQ(record.GetFieldLabelA(2), "L2");
    EXPECT_EQ(PackedTexts(record).size(), 14U);  // no label block without an override

    CStringArray same;
    for (int i = 0; i < 10; ++i) {
        same.Add(CString(std::string("L").append(std::to_string(i))));
    }
    record.SetFieldLabels(same);
    record.SetFieldLabel(5, nullptr, "other");
    EXPECT_EQ(record.GetNumFieldLabelsWithText(), 10);
    const std::vector<std::string> texts = PackedTexts(record);
    EXPECT_EQ(texts[14 + 4], "L4");
    EXPECT_EQ(texts[14 + 5], "other");

    // Unpacking a record without a label block leaves the overrides as they were.
    Unpack(record, Cat({kHeader, TenFields("g"), Z("n"), Z("0"), Z(""), Z(""), kTail}));
    EXPECT_EQ(record.GetFieldLabel(5, nullptr, false), "other");
    EXPECT_EQ(record.GetFieldLabelA(5), "L5");
}

TEST_F(RecordTest, FieldNumbersOutsideZeroToNineAreRefused) {
    CRecord record;
    for (int i : {-1, 10}) {
        EXPECT_THROW(record.SetField(i, "x"), CInvalidArgException) << i;
        EXPECT_THROW((void)record.HasFieldText(i), CInvalidArgException) << i;
        EXPECT_THROW(record.ClearFieldLabel(i), CInvalidArgException) << i;
        EXPECT_THROW(record.SetFieldLabel(i, nullptr, "x"), CInvalidArgException) << i;
        EXPECT_THROW((void)record.GetFieldLabel(i, nullptr, false), CInvalidArgException) << i;
    }
    EXPECT_TRUE(record.IsEmpty());
    EXPECT_EQ(record.GetNumFieldLabelsWithText(), 0);
}

// Records from elsewhere may be longer than packing makes them (over 64 KiB): their texts read
// whole, and working values set over them afterwards pack as usual.
TEST_F(RecordTest, TextsOfRecordsOverSixtyFourKiBRead) {
    const std::string huge(70000, 'h');
    CRecord record;
    Bytes rest;
    for (int i = 1; i < 10; ++i) {
        rest = Cat({rest, Z(std::string("f").append(std::to_string(i)))});
    }
    Unpack(record,
           Cat({kHeader, Z(huge), rest, Z("n"), Z("0"), Z(""), Z(""), TenFields("L"), kTail}));
    EXPECT_EQ(record.GetField(0, false).str(), huge);
    EXPECT_EQ(record.GetField(9, false), "f9");
    EXPECT_EQ(record.GetFieldLabelA(9), "L9");
    EXPECT_THROW(record.PackPalmRecord(false), CInvalidArgException);
    record.SetField(0, "short");
    EXPECT_EQ(PackedTexts(record)[9], "f9");
    EXPECT_EQ(record.GetField(0, false).GetLength(), 70000);
}

// What a caller may give as a mask: a bit for each of the ten fields. A mask read from elsewhere
// with other bits still packs and reads back as it was.
TEST_F(RecordTest, FieldMasksHaveABitForEachFieldOnly) {
    for (const unsigned long long accepted : {0ULL, 1ULL, 0x200ULL, 0x3FFULL}) {
        EXPECT_EQ(CheckFieldMask(accepted), accepted);
    }
    const std::pair<unsigned long long, const char*> refused[] = {
        {0x400, "mask 0x400 "},
        {0x8000, "mask 0x8000 "},
        {0xFFFF, "mask 0xFFFF "},
        {0x10000, "mask 0x10000 "},
        {0xFFFFFFFFFFFFFFFFULL, "mask 0xFFFFFFFFFFFFFFFF "}};
    for (const auto& [value, says] : refused) {
        try {
            (void)CheckFieldMask(value);
            ADD_FAILURE() << "accepted " << value;
        } catch (const CInvalidArgException& e) {
            EXPECT_NE(std::string(e.what()).find(says), std::string::npos) << e.what();
        }
    }
    CRecord record;
    record.SetMaskBits(0x8001);
    record.PackPalmRecord(false);
    record.PuffPalmRecord(false);
    EXPECT_EQ(record.GetMaskBits(), 0x8001);
}

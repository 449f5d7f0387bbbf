// Salvage and verification as library calls, on damaged copies of a small database: what comes
// back, what the report says, and that a result installed into a new database saves and reads.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "lkmdb7/database/internal/RangeCrc.h"
#include "lkmdb7/foundation/internal/Crc16.h"
#include "lkmdb7/lkmdb7.h"
#include "tests/support/FileBytes.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_test;
namespace fs = std::filesystem;

namespace {

std::size_t Find(const Bytes& bytes, const std::string& text) {
    const auto at = std::search(bytes.begin(), bytes.end(), text.begin(), text.end());
    if (at == bytes.end()) {
        ADD_FAILURE() << "no \"" << text << "\" in the file";
        return 0;
    }
    return static_cast<std::size_t>(at - bytes.begin());
}

std::set<std::string> FirstFields(const std::vector<std::unique_ptr<CBaseItem>>& records) {
    std::set<std::string> fields;
    for (const auto& item : records) {
        fields.insert(static_cast<const CRecord&>(*item).GetField(0, false).str());
    }
    return fields;
}

// By list: the records' first fields, the types' and categories' names.
std::array<std::set<std::string>, kListCount> Names(const SalvageResult& result) {
    std::array<std::set<std::string>, kListCount> names;
    names[kRecordListIndex] = FirstFields(result.items[kRecordListIndex]);
    for (const std::size_t list : {kTypesListIndex, kCategoryListIndex}) {
        for (const auto& item : result.items[list]) {
            names[list].insert(item->GetName().str());
        }
    }
    return names;
}

class Salvage : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
    TempDir dir;

    // Records alpha, bravo and charlie of two types and two categories, saved in `folder`.
    Bytes MakeDatabase(const std::string& folder = "db") {
        CDatabaseObj7 db;
        EXPECT_EQ(db.Load("", CString(dir.File(folder))), 0);
        const char* rows[][3] = {{"Web Login", "Work", "alpha"},
                                 {"Bank Card", "Home", "bravo"},
                                 {"Web Login", "Home", "charlie"}};
        for (const auto& row : rows) {
            CStringArray texts;
            texts.Add(row[0]);
            texts.Add(row[2]);
            CStringArray labels;
            db.AddRecordWithoutWaiting(texts, 0, labels, row[1], 255, false);
        }
        EXPECT_EQ(db.Save(true), 0);
        return ReadFileBytes(fs::path(dir.File(folder)) / kDatabaseFileName);
    }
};

TEST_F(Salvage, GetsBackEveryUndamagedItem) {
    const Bytes original = MakeDatabase();
    const struct {
        const char* what;
        void (*apply)(Bytes&);
        std::set<std::string> records;
        std::array<std::size_t, kListCount> counts;
        const char* reason;  // of the first skipped range; null when nothing is skipped
    } cases[] = {
        {"nothing", [](Bytes&) {}, {"alpha", "bravo", "charlie"}, {3, 2, 2}, nullptr},
        {"a record's text",
         [](Bytes& b) { b[Find(b, "bravo") + 1] ^= 0x20; },
         {"alpha", "charlie"},
         {2, 2, 2},
         "bad packed record: checksum"},
        // The later records refer to the lost description by its index.
        {"the record class description",
         [](Bytes& b) { b[Find(b, "CRecord") + 2] = 'x'; },
         {"bravo", "charlie"},
         {2, 2, 2},
         "no item class is named \"CRxcord\""},
        {"the end of the file",
         [](Bytes& b) { b.resize(b.size() - 40); },
         {"alpha", "bravo", "charlie"},
         {3, 2, 1},
         "unexpected end of data"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = original;
        c.apply(bytes);
        SalvageResult result = SalvageDatabase(bytes, "damaged");
        EXPECT_EQ(FirstFields(result.items[kRecordListIndex]), c.records);
        EXPECT_EQ(result.recovered, c.counts);
        EXPECT_EQ(result.header.version, kCurrentVersion);
        EXPECT_FALSE(result.headerTrimmed);
        EXPECT_EQ(result.Complete(), c.reason == nullptr);
        if (c.reason != nullptr) {
            ASSERT_FALSE(result.skipped.empty());
            EXPECT_NE(result.skipped[0].reason.find(c.reason), std::string::npos)
                << result.skipped[0].reason;
            EXPECT_EQ(result.skipped[0].reason.rfind("damaged: ", 0), 0u);
        }
        EXPECT_EQ(result.declared[kRecordListIndex], DWORD{3});

        // Installed into a new database, it saves and reads back.
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load("", CString(dir.File(std::string("out-") + c.what))), 0);
        result.InstallInto(db);
        EXPECT_EQ(result.Recovered(), c.counts[0] + c.counts[1] + c.counts[2]);
        ASSERT_EQ(db.Save(true), 0);
        CDatabaseObj7 back;
        ASSERT_EQ(back.LoadReadOnly(db.GetPathName()), 0);
        EXPECT_EQ(static_cast<std::size_t>(back.GetRecordList().GetCount()), c.counts[0]);
        EXPECT_EQ(static_cast<std::size_t>(back.GetCategoryList().GetCount()), c.counts[2]);
        EXPECT_EQ(CountChecksumFaults(back, kCurrentVersion), 0u);
    }
}

// A class tag overwritten with a class index that is never declared, or with one that the lists
// give another class: the item behind it is lost and nothing else. Its bytes pass their checksum
// whatever class they are read as, so only the class whose layout they fit may take them; made
// into a type, a record would carry its type's unique ID and push the real type out.
TEST_F(Salvage, TakesAnItemOnlyAsTheClassItsBytesFit) {
    const Bytes original = MakeDatabase();
    // Every item here but the first of its class has a two-byte class reference, and its first
    // text 28 bytes on: after the packed record's length, CRC and 20-byte header.
    const auto tagOf = [](const Bytes& b, const std::string& text) {
        const std::size_t at = Find(b, text) - 28;
        EXPECT_EQ(b[at + 1] & 0x80, 0x80) << text << " has no class reference";
        return at;
    };
    const std::set<std::string> records = {"alpha", "bravo", "charlie"};
    const std::set<std::string> types = {"Bank Card", "Web Login"};
    const std::set<std::string> categories = {"Home", "Work"};
    const struct {
        const char* what;
        const char* item;  // the first text of the item whose tag is overwritten
        WORD tag;
        std::array<std::set<std::string>, kListCount> back;
    } cases[] = {
        {"a record's, never declared",
         "bravo",
         0x8014,
         {{{"alpha", "charlie"}, types, categories}}},
        {"a record's, the types' class",
         "bravo",
         0x8005,
         {{{"alpha", "charlie"}, types, categories}}},
        {"a record's, the categories' class",
         "charlie",
         0x8008,
         {{{"alpha", "bravo"}, types, categories}}},
        {"a type's, never declared", "Web Login", 0x8014, {{records, {"Bank Card"}, categories}}},
        {"a category's, never declared", "Work", 0x8014, {{records, types, {"Home"}}}},
        // Classes read before, of another list.
        {"a type's, the records' class",
         "Web Login",
         0x8001,
         {{records, {"Bank Card"}, categories}}},
        {"a category's, the types' class", "Work", 0x8005, {{records, types, {"Home"}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = original;
        const std::size_t at = tagOf(bytes, c.item);
        bytes[at] = static_cast<BYTE>(c.tag & 0xFF);
        bytes[at + 1] = static_cast<BYTE>(c.tag >> 8);
        const SalvageResult result = SalvageDatabase(bytes, "damaged");
        for (std::size_t list = 0; list < kListCount; ++list) {
            EXPECT_TRUE(result.dropped[list].empty()) << result.dropped[list][0].name.str();
        }
        EXPECT_EQ(Names(result), c.back);
        EXPECT_EQ(result.skipped.size(), 1u);
        EXPECT_TRUE(!result.skipped.empty() && result.skipped[0].begin == at);
        EXPECT_EQ(result.declared, (std::array<std::optional<DWORD>, kListCount>{3, 2, 2}));
    }
}

// A class description whose schema word is overwritten. Every class of a file takes the file's
// version as its schema: the items of the class still read as they were written, the described
// one too, and none is made of their bytes in an old form, which has no checksum to refuse it.
TEST_F(Salvage, ReadsAClassWhoseDescriptionNamesAnotherSchema) {
    const Bytes original = MakeDatabase();
    const auto whole = Names(SalvageDatabase(original, "whole"));
    for (const char* cls : {"CRecord", "CTypeItem", "CCategoryItem"}) {
        for (const BYTE schema : {BYTE{1}, BYTE{4}, BYTE{5}, BYTE{8}}) {
            SCOPED_TRACE(std::string(cls) + " described with schema " + std::to_string(schema));
            Bytes bytes = original;
            const std::size_t at = Find(bytes, cls) - 4;  // after FF FF: schema, name length
            ASSERT_EQ(bytes[at], kCurrentVersion);
            bytes[at] = schema;
            const SalvageResult result = SalvageDatabase(bytes, "damaged");
            EXPECT_EQ(Names(result), whole);
            EXPECT_EQ(result.Recovered(), 7u);
        }
    }
}

// Before version 7 a record holds as many texts as a record type, and a record without category,
// icon or mask has as many zero header bytes: only a type's column block tells their bytes apart.
// Whatever damaged bytes are taken for, they never push out an item read where its list puts it.
TEST_F(Salvage, NoItemReadFromDamagedBytesPushesOutARealOne) {
    const Bytes typeID = {0x11, 0x11, 0x00, 0x01, 0xDC, 0x3A, 0x1B, 0x20};
    // A packed record of that identifier, no category, icon or mask, and eleven texts: a record's
    // fields and note, or a type's name and labels.
    const auto packed = [&typeID](const std::string& first) {
        Bytes r = Cat({{0, 0}, typeID, Bytes(12, 0), Z(first), Bytes(10, 0), Bytes(7, 0)});
        const WORD crc = PackedRecordCrc(r.data(), r.size() - kPackedTailSize);
        r[0] = static_cast<BYTE>(crc >> 8);
        r[1] = static_cast<BYTE>(crc & 0xFF);
        return r;
    };
    const Bytes columns = Cat({U32(CShowColumns::kEntryCount), Bytes(92, 0)});
    const auto file = [&](const Bytes& second) {
        return Cat({Header(6), U16(3), NewClass(6, "CRecord"), Body(6, packed("alpha"), 1), second,
                    U16(0x8001), Body(6, packed("charlie"), 3), U16(1), NewClass(6, "CTypeItem"),
                    Body(6, packed("Web"), 4), columns, U16(0)});
    };
    ASSERT_TRUE(
        SalvageDatabase(file(Cat({U16(0x8001), Body(6, packed("bravo"), 2)})), "v6").Complete());

    const struct {
        const char* what;
        Bytes second;  // the record list's second item
        std::vector<std::string> dropped;
    } cases[] = {
        {"a record's class tag, to an index never declared",
         Cat({U16(0x8009), Body(6, packed("bravo"), 2)}),
         {}},
        // The index names no class: the bytes read as the type they are, of Web's identifier.
        {"a type's bytes, under such a tag",
         Cat({U16(0x8009), Body(6, packed("Stray"), 2), columns}),
         {"Stray"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const SalvageResult result = SalvageDatabase(file(c.second), "v6");
        EXPECT_EQ(FirstFields(result.items[kRecordListIndex]),
                  (std::set<std::string>{"alpha", "charlie"}));
        ASSERT_EQ(result.items[kTypesListIndex].size(), 1u);
        EXPECT_EQ(result.items[kTypesListIndex][0]->GetName().str(), "Web");
        std::vector<std::string> dropped;
        for (const DroppedItem& item : result.dropped[kTypesListIndex]) {
            dropped.push_back(item.name.str());
        }
        EXPECT_EQ(dropped, c.dropped);
    }
}

TEST_F(Salvage, ReadsAFileAndNamesItInReasons) {
    MakeDatabase();
    const CString path(dir.File("db") + "/" + kDatabaseFileName);
    const SalvageResult whole = SalvageDatabaseFile(path);
    EXPECT_TRUE(whole.Complete());
    EXPECT_EQ(whole.Recovered(), 7u);
    EXPECT_THROW(SalvageDatabaseFile(CString(dir.File("missing"))), CFileException);

    Bytes bytes = ReadFileBytes(path.str());
    bytes.resize(kHeaderFixedSize - 1);
    const SalvageResult none = SalvageDatabase(bytes, "short");
    EXPECT_EQ(none.headerSize, 0u);
    EXPECT_NE(none.headerProblem.find("short: unexpected end of data"), std::string::npos)
        << none.headerProblem;
    EXPECT_EQ(none.Recovered(), 0u);
}

// Bytes crafted so that at every 16th offset a record of a known class claims a 4 KiB packed
// record followed by plausible flags: each candidate's checksum fails, and must be found to fail
// without reading the 4 KiB.
TEST_F(Salvage, CraftedCandidatesCostNoReadEach) {
    Bytes bytes = MakeDatabase();
    bytes.resize(Find(bytes, "CRecord") + 7 + 100);  // the record class is known, then a fault
    const Bytes period = {0x01, 0x80, 0x00, 0x10, 0x00, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 0; i < 16 * 1024; ++i) {
        bytes.insert(bytes.end(), period.begin(), period.end());
    }
    const SalvageResult result = SalvageDatabase(bytes, "crafted");
    EXPECT_GT(result.failedChecksums, 16000u);
    // Reading each candidate's record would be about 16 * 1024 * 4096 bytes.
    EXPECT_LT(result.triedBytes, bytes.size());
    EXPECT_FALSE(result.Complete());
}

// Any range's CRC from the prefix sums is the CRC of its bytes, whatever the start value.
TEST(RangeCrc, AgreesWithTheDirectSum) {
    Bytes bytes(5000);
    std::uint32_t seed = 12345;
    for (BYTE& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = static_cast<BYTE>(seed >> 16);
    }
    const RangeCrc crc(bytes.data(), bytes.size());
    const std::pair<std::size_t, std::size_t> ranges[] = {
        {0, 0}, {0, 1}, {7, 8}, {0, 5000}, {22, 4993}, {1234, 4321}, {4999, 5000}};
    for (const auto& [begin, end] : ranges) {
        for (WORD initial : {WORD{0}, kPackedCrcInitial, WORD{0xFFFF}}) {
            EXPECT_EQ(crc.Of(begin, end, initial),
                      Crc16Bytes(bytes.data() + begin, end - begin, initial))
                << begin << "-" << end << " from " << initial;
        }
    }
}

// An object whose class was described in bytes before reads from where it starts once the class
// is declared at its index, and not otherwise.
TEST(ArchiveDeclareClass, ReadsAReferenceToAClassDescribedElsewhere) {
    ProcessStateGuard guard;
    CRecord first;
    first.SetField(0, "one");
    CRecord second;
    second.SetField(0, "two");
    CMemFile out;
    ULONGLONG secondAt = 0;
    {
        CArchive ar(&out, CArchive::store);
        ar.WriteObject(&first);
        secondAt = ar.GetPosition();
        ar.WriteObject(&second);
        ar.Close();
    }
    const Bytes bytes(out.Data().begin() + static_cast<std::ptrdiff_t>(secondAt), out.Data().end());
    ASSERT_EQ(bytes[0] | (bytes[1] << 8), 0x8001);  // a reference to class index 1

    for (const bool declared : {true, false}) {
        CMemFile in(bytes);
        CArchive ar(&in, CArchive::load);
        if (declared) {
            ar.DeclareClass(1, LKMDB7_RUNTIME_CLASS(CRecord),
                            LKMDB7_RUNTIME_CLASS(CRecord)->m_wSchema & 0xFFFFu);
            const auto read = ar.ReadObjectOf<CRecord>("record");
            EXPECT_EQ(read->GetField(0, false), "two");
        } else {
            EXPECT_THROW(ar.ReadObject(LKMDB7_RUNTIME_CLASS(CRecord), "record"), CArchiveException);
        }
    }
    CMemFile in(bytes);
    CArchive ar(&in, CArchive::load);
    EXPECT_THROW(ar.DeclareClass(0, LKMDB7_RUNTIME_CLASS(CRecord), 9), CInvalidArgException);
    EXPECT_THROW(ar.DeclareClass(1, nullptr, 9), CInvalidArgException);
}

// A damaged packed record, two types of one unique ID and a record naming a category that is not
// there: each a fault of its own kind, on the item it concerns.
TEST_F(Salvage, VerifyReportsChecksumsAndReferences) {
    MakeDatabase();
    const CString path(dir.File("db") + "/" + kDatabaseFileName);
    {
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(path), 0);
        CTypesList& types = db.GetTypesList();
        types.GetType(types.GetTypeIDByIndex(1))->SetUniqueID(types.GetTypeIDByIndex(0));
        CUID stray;
        stray.Generate();
        for (CRecord& record : Items(db.GetRecordList())) {
            if (record.GetField(0, false) == "charlie") {
                record.SetCategoryID(stray);
            }
        }
        ASSERT_EQ(db.Save(true), 0);
    }
    Bytes bytes = ReadFileBytes(path.str());
    bytes[Find(bytes, "alpha") + 1] ^= 0x20;
    WriteFileBytes(path.str(), bytes);

    CDatabaseObj7 db;
    ASSERT_EQ(db.LoadReadOnly(path), 0);
    std::size_t visited = 0;
    const VerifyReport report = VerifyDatabase(db, kCurrentVersion, [&visited] { ++visited; });
    EXPECT_EQ(visited, 7u);
    EXPECT_TRUE(report.checksumsChecked);
    // The records of the type whose ID was overwritten name one that is gone.
    const std::vector<std::pair<VerifyFault::Kind, std::string>> expected = {
        {VerifyFault::kChecksum, "aLpha"},  // as the damaged bytes read
        {VerifyFault::kMissingType, "aLpha"},
        {VerifyFault::kMissingType, "charlie"},
        {VerifyFault::kMissingCategory, "charlie"},
        {VerifyFault::kDuplicateID, ""}};
    ASSERT_EQ(report.faults.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const VerifyFault& fault = report.faults[i];
        EXPECT_EQ(fault.kind, expected[i].first) << i;
        if (fault.item->GetListType() == 0) {
            EXPECT_EQ(static_cast<const CRecord*>(fault.item)->GetField(0, false).str(),
                      expected[i].second)
                << i;
        }
    }
    EXPECT_NE(report.faults[0].detail.find(" stored, "), std::string::npos);
    EXPECT_EQ(report.faults[4].first->GetUniqueID(), report.faults[4].item->GetUniqueID());
    EXPECT_NE(report.faults[4].first, report.faults[4].item);
    EXPECT_EQ(CountChecksumFaults(db, kCurrentVersion), 1u);

    // The old packed forms carry no CRC: only references are checked.
    const VerifyReport old = VerifyDatabase(db, 4);
    EXPECT_FALSE(old.checksumsChecked);
    EXPECT_EQ(old.faults.size(), expected.size() - 1);
    EXPECT_EQ(CountChecksumFaults(db, 4), 0u);
}

}  // namespace

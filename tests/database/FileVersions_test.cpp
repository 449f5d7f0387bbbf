// Database files of every version, built byte by byte: what loads from them, the upgrade to
// version 9 on load, and the exact bytes of the files this library writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/database/Verify.h"
#include "lkmdb7/foundation/PathUtils.h"
#include "lkmdb7/items/PackedFormat.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/platform/Exceptions.h"
#include "lkmdb7/platform/internal/ByteOrder.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/OlderFiles.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_test;

namespace {

// Everything that a host reads from the three lists, one line per item.
std::string Shown(CDatabaseObj7& db) {
    std::ostringstream out;
    for (POSITION pos = db.GetRecordList().GetHeadPosition(); pos != nullptr;) {
        auto* r = static_cast<CRecord*>(db.GetRecordList().GetNext(pos));
        out << "record " << r->GetRecordID() << ' ' << r->GetTypeID().ToHex().str() << ' '
            << r->GetCategoryID().ToHex().str() << ' ' << r->GetIconIndex() << ' '
            << r->GetMaskBits() << ' ' << r->GetViewCount() << ": ";
        for (int i = 0; i < kFieldCount; ++i) {
            out << r->GetField(i, false).str() << '|' << r->GetFieldLabelA(i).str() << '|';
        }
        out << r->GetNote().str() << '|' << r->GetAttachedFileName().str() << '\n';
    }
    for (POSITION pos = db.GetTypesList().GetHeadPosition(); pos != nullptr;) {
        auto* t = static_cast<CTypeItem*>(db.GetTypesList().GetNext(pos));
        out << "type " << t->GetUniqueID().ToHex().str() << ' ' << t->GetIconIndex() << ' '
            << t->GetMaskBits() << ": " << t->GetName().str() << '|';
        for (int i = 0; i < kFieldCount; ++i) {
            out << t->GetLabel(i).str() << '|';
        }
        out << '\n';
    }
    for (POSITION pos = db.GetCategoryList().GetHeadPosition(); pos != nullptr;) {
        auto* c = static_cast<CCategoryItem*>(db.GetCategoryList().GetNext(pos));
        out << "category " << c->GetUniqueID().ToHex().str() << ": " << c->GetName().str() << '\n';
    }
    return out.str();
}

class FileVersions : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
    TempDir dir;
    std::filesystem::path file() const { return dir.path() / "LockmeraDatabase.lkb"; }
};

}  // namespace

TEST_F(FileVersions, NewDatabaseSavesAsSixtyThreeBytes) {
    CDatabaseObj7 db;
    EXPECT_EQ(db.Load("", CString(dir.str())), 0);
    EXPECT_FALSE(std::filesystem::exists(file()));
    EXPECT_EQ(db.Save(true), 0);
    const Bytes expected =
        Cat({Bytes(40, 0), Bytes(4, 0), {0x09, 0x00}, {0x00}, Bytes(10, 0), Bytes(6, 0)});
    EXPECT_EQ(ReadFileBytes(file()), expected);
    EXPECT_EQ(CDatabaseObj7::GetVersion(file().string().c_str()), 9);
}

TEST_F(FileVersions, EachVersionLoads) {
    for (const WORD v : std::initializer_list<WORD>{5, 8, 9, 10}) {
        WriteFileBytes(file(), FileV(v));
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(CString(file().string())), 0) << v;
        EXPECT_EQ(db.GetIconFileName(), "icon.ico") << v;
        EXPECT_EQ(db.GetPalmCreateDate(), 0x01020304u);
        CRecord* record = db.GetRecordList().GetRecordByID(11);
        ASSERT_NE(record, nullptr) << v;
        EXPECT_EQ(record->GetField(0, false), "alice") << v;
        EXPECT_EQ(record->GetNote(), "note");
        EXPECT_EQ(record->GetViewCount(), v >= 7 ? 2 : 0) << v;
        EXPECT_EQ(db.GetTypesList().GetTypeName(CUID::FromBytes(kTypeId.data())), "Web");
        EXPECT_EQ(db.GetTypesList().GetLabel(CUID::FromBytes(kTypeId.data()), 0), "Login");
        EXPECT_EQ(db.GetCategoryList().GetCategoryName(CUID::FromBytes(kCatId.data())), "Home");
        if (v == 5) {
            EXPECT_EQ(record->GetFieldLabelA(9), "Date Mod");
            EXPECT_EQ(db.GetTypesList().GetType(CUID::FromBytes(kTypeId.data()))->GetColumnInfo(),
                      CShowColumns());
        }
        // Older files are rewritten at version 9 at once, keeping the old file beside them; a
        // newer file keeps its number.
        const WORD expected = v < 9 ? WORD{9} : v;
        EXPECT_EQ(db.GetVersion(), expected);
        EXPECT_EQ(CDatabaseObj7::GetVersion(file().string().c_str()), expected) << v;
        EXPECT_EQ(std::filesystem::exists(file().string() + ".v" + std::to_string(v)), v < 9) << v;
        std::filesystem::remove(file().string() + ".v" + std::to_string(v));
    }
}

TEST_F(FileVersions, VersionFourHasNoCategoriesAndPlainCategoryTypes) {
    WriteFileBytes(file(), FileV4());
    CDatabaseObj7 db;
    db.SetIconFileName("unchanged");
    ASSERT_EQ(db.Load(CString(file().string())), 0);
    EXPECT_EQ(db.GetCategoryList().GetCount(), 0);
    EXPECT_EQ(db.GetIconFileName(), "unchanged");
    const BYTE typeId[8] = {0, 0, 0, 0, 0, 0, 0, 7};
    CTypeItem* type = db.GetTypesList().GetType(CUID::FromBytes(typeId));
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->GetName(), "Card");
    EXPECT_EQ(db.GetRecordList().GetCount(), 1);
    EXPECT_EQ(CDatabaseObj7::GetVersion(file().string().c_str()), 9);
    EXPECT_EQ(ReadFileBytes(file().string() + ".v4"), FileV4());

    // And the rewritten file reads back the same database.
    CDatabaseObj7 again;
    ASSERT_EQ(again.Load(CString(file().string())), 0);
    EXPECT_EQ(again.GetTypesList().GetType(CUID::FromBytes(typeId))->GetName(), "Card");
}

TEST_F(FileVersions, VersionTwoLoadsItsTypes) {
    WriteFileBytes(file(), FileV2());
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(CString(file().string())), 0);
    const BYTE typeId[8] = {0, 0, 0, 0, 0, 0, 0, 7};
    CTypeItem* type = db.GetTypesList().GetType(CUID::FromBytes(typeId));
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->GetName(), "Card");
    EXPECT_EQ(type->GetIconIndex(), 3);
    EXPECT_EQ(type->GetLabel(1), "Expiry");
    ASSERT_NE(db.GetRecordList().GetRecordByID(31), nullptr);
    EXPECT_EQ(CDatabaseObj7::GetVersion(file().string().c_str()), 9);
}

// What every load of an older file shows must be what its upgrade shows when read back, also when
// the file is not rewritten: a read-only look (lkmdb, an export before upgrading), a load under
// the lock flag, a single item read back under it. None of those writes, and the look keeps the
// file's version.
TEST_F(FileVersions, OlderFilesShowWhatTheirUpgradeShows) {
    const CString path(file().string());
    for (WORD v = 0; v < kCurrentVersion; ++v) {
        SCOPED_TRACE("version " + std::to_string(v));
        std::filesystem::remove_all(dir.path());
        std::filesystem::create_directories(dir.path());
        const Bytes bytes = OlderFile(v);
        WriteFileBytes(file(), bytes);

        CDatabaseObj7 look;
        ASSERT_EQ(look.LoadReadOnly(path), 0);
        EXPECT_EQ(look.GetVersion(), v);
        CDatabaseObj7 locked;
        locked.Lock();
        ASSERT_EQ(locked.Load(path), 0);
        ASSERT_GT(locked.GetRecordList().GetCount(), 0);
        POSITION head = locked.GetRecordList().GetHeadPosition();
        const DWORD recordID = locked.GetRecordList().GetNextItem(head)->GetRecordID();
        std::unique_ptr<CBaseItem> single(locked.LoadRecord(0, recordID));
        ASSERT_NE(single, nullptr);
        EXPECT_EQ(ReadFileBytes(file()), bytes);

        CDatabaseObj7 upgrade;
        ASSERT_EQ(upgrade.Load(path), 0);
        ASSERT_EQ(CDatabaseObj7::GetVersion(file().string().c_str()), kCurrentVersion);
        CDatabaseObj7 upgraded;
        ASSERT_EQ(upgraded.Load(path), 0);
        const std::string shown = Shown(upgraded);
        EXPECT_EQ(Shown(upgrade), shown);
        EXPECT_EQ(Shown(look), shown);
        EXPECT_EQ(Shown(locked), shown);
        CRecord* again = upgraded.GetRecordList().GetRecordByID(recordID);
        ASSERT_NE(again, nullptr);
        auto* record = static_cast<CRecord*>(single.get());
        for (int i = 0; i < kFieldCount; ++i) {
            EXPECT_EQ(record->GetField(i, false), again->GetField(i, false)) << i;
        }
        EXPECT_EQ(record->GetNote(), again->GetNote());

        // A save of what the look read writes what the upgrade wrote.
        ASSERT_EQ(look.Save(true), 0);
        CDatabaseObj7 saved;
        ASSERT_EQ(saved.Load(path), 0);
        EXPECT_EQ(Shown(saved), shown);
    }
    // The upgrade itself shows the old texts.
    WriteFileBytes(file(), FileV4());
    CDatabaseObj7 db;
    ASSERT_EQ(db.LoadReadOnly(CString(file().string())), 0);
    CRecord* record = db.GetRecordList().GetRecordByID(21);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->GetField(0, false), "bob");
    EXPECT_EQ(record->GetNote(), "n");
    const BYTE typeId[8] = {0, 0, 0, 0, 0, 0, 0, 7};
    EXPECT_EQ(db.GetTypesList().GetLabel(CUID::FromBytes(typeId), 0), "Number");
    // Six fields in the current form: field 9 reads "Unknown".
    WriteFileBytes(file(), FileV3());
    ASSERT_EQ(db.LoadReadOnly(CString(file().string())), 0);
    record = db.GetRecordList().GetRecordByID(11);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->GetField(0, false), "alice");
    EXPECT_EQ(record->GetField(9, false), "Unknown");
}

// A look keeps each packed record and its CRC as the file holds them, for checksum checks and
// dumps: a packing afresh would give a new tail and a new CRC.
TEST_F(FileVersions, ReadOnlyLookKeepsThePackedRecordsAsRead) {
    WriteFileBytes(file(), FileV(8));
    CDatabaseObj7 look;
    ASSERT_EQ(look.LoadReadOnly(CString(file().string())), 0);
    CRecord* record = look.GetRecordList().GetRecordByID(11);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->GetField(0, false), "alice");
    const Bytes asStored = RecordV(8, "alice");
    EXPECT_EQ(record->PalmRecord(), asStored);
    EXPECT_EQ(record->GetCRC(), GetBE16(asStored.data()));
    EXPECT_TRUE(VerifyDatabase(look, 8).Ok());
}

TEST_F(FileVersions, VersionTenIsWrittenBackAsTen) {
    WriteFileBytes(file(), FileV(10));
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(CString(file().string())), 0);
    ASSERT_EQ(db.Save(true), 0);
    const Bytes saved = ReadFileBytes(file());
    EXPECT_EQ(GetLE16(saved.data() + 44), 10);
    // The first class description carries schema 10.
    const std::size_t firstTag = 40 + 4 + 2 + 9 + 10 + 2;
    EXPECT_EQ(Bytes(saved.begin() + firstTag, saved.begin() + firstTag + 4),
              Bytes({0xFF, 0xFF, 10, 0}));
}

TEST_F(FileVersions, RefusedUpgradeLeavesTheOldFileReadable) {
    WriteFileBytes(file(), FileV(8));
    CDatabaseObj7 db;
    db.Lock();
    ASSERT_EQ(db.Load(CString(file().string())), 0);
    EXPECT_EQ(ReadFileBytes(file()), FileV(8));
    EXPECT_EQ(db.GetRecordList().GetCount(), 1);
}

TEST_F(FileVersions, RoundTripWithAndWithoutTheRecordCipher) {
    for (const char* password : {"", "hunter2"}) {
        std::filesystem::remove(file());
        SetRecordCipherPassword(password);
        {
            CDatabaseObj7 db;
            ASSERT_EQ(db.Load("", CString(dir.str())), 0);
            CRecord* record = new CRecord;
            record->SetField(0, "user@example.com");
            record->SetField(1, "p4ssw0rd");
            record->SetNote("two\r\nlines");
            record->SetRecordID(77);
            db.GetRecordList().AddItem(record);
            auto* type = new CTypeItem;
            type->SetName("Email");
            type->SetLabel(0, "Address");
            db.GetTypesList().AddItemSorted(type);
            auto* category = new CCategoryItem;
            category->SetName("Personal");
            db.GetCategoryList().AddItemSorted(category);
            unsigned char crib[40] = {};
            crib[39] = 1;
            db.SetCrib(crib);
            ASSERT_EQ(db.Save(true), 0);
        }
        const Bytes onDisk = ReadFileBytes(file());
        const std::string text(onDisk.begin(), onDisk.end());
        EXPECT_EQ(text.find("p4ssw0rd") == std::string::npos, password[0] != '\0') << password;

        CDatabaseObj7 db;
        ASSERT_EQ(db.Load("", CString(dir.str())), 0);
        CRecord* record = db.GetRecordList().GetRecordByID(77);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->GetField(1, false), "p4ssw0rd");
        EXPECT_EQ(record->GetNote(), "two\r\nlines");
        EXPECT_EQ(db.GetTypesList().GetTypeByName("email")->GetLabel(0), "Address");
        EXPECT_NE(db.GetCategoryList().GetCategoryByName("PERSONAL"), nullptr);
        EXPECT_TRUE(db.IsEncrypted());
        EXPECT_TRUE(CDatabaseObj7::HasPasswordDB(CString(file().string())));
    }
}

TEST_F(FileVersions, TruncationAtEveryOffsetRaisesTheArchiveException) {
    const Bytes whole = FileV(9);
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        WriteFileBytes(file(),
                       Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)));
        CDatabaseObj7 db;
        try {
            db.Load(CString(file().string()));
            ADD_FAILURE() << "loaded a file cut at " << cut;
        } catch (const CArchiveException& e) {
            EXPECT_NE(std::string(e.what()).find("LockmeraDatabase.lkb"), std::string::npos)
                << e.what();
        }
    }
    // Bytes after the category list are ignored and not written back.
    WriteFileBytes(file(), Cat({whole, Ascii("trailing")}));
    CDatabaseObj7 db;
    EXPECT_EQ(db.Load(CString(file().string())), 0);
    EXPECT_EQ(db.Save(true), 0);
    EXPECT_LT(ReadFileBytes(file()).size(), whole.size() + 8);
}

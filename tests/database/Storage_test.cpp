// Open, save, backup, move and single-item reads against real files, and the save path's
// promise: a failed save leaves the old file as it was.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/foundation/PathUtils.h"
#include "lkmdb7/platform/SystemError.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_test;
namespace fs = std::filesystem;

namespace {

class Storage : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
    TempDir dir;
    CString folder() const { return CString(dir.str()); }
    fs::path file() const { return dir.path() / "LockmeraDatabase.lkb"; }

    // A saved database holding one record with record ID 5 and field 0 "one".
    void SaveOneRecord(CDatabaseObj7& db) {
        ASSERT_EQ(db.Load("", folder()), 0);
        auto* record = new CRecord;
        record->SetRecordID(5);
        record->SetField(0, "one");
        db.GetRecordList().AddItem(record);
        ASSERT_EQ(db.Save(true), 0);
    }
};

}  // namespace

TEST_F(Storage, LoadCreatesMissingFoldersAndReloadDoesNotDouble) {
    CDatabaseObj7 db;
    const CString nested = JoinPath(JoinPath(folder(), "a"), "b");
    EXPECT_EQ(db.Load("", nested), 0);
    EXPECT_TRUE(fs::is_directory(dir.path() / "a" / "b"));
    EXPECT_EQ(db.GetVersion(), 9);
    EXPECT_EQ(db.GetName(), "LockmeraDatabase.lkb");

    SaveOneRecord(db);
    ASSERT_EQ(db.Load("", folder()), 0);
    ASSERT_EQ(db.Load("", folder()), 0);
    EXPECT_EQ(db.GetRecordList().GetCount(), 1);
    EXPECT_TRUE(CDatabaseObj7::DatabaseExists(folder()));
    // A folder that cannot be made is said at once, not at the first Save.
    std::ofstream(dir.path() / "plain-file") << "x";
    const CString blocked = CString((dir.path() / "plain-file" / "sub").string());
    EXPECT_NE(db.Load("", blocked), 0);
    EXPECT_NE(std::string(db.GetLastErrorMessage()).find("the folder cannot be created"),
              std::string::npos)
        << db.GetLastErrorMessage();
    EXPECT_EQ(db.GetRecordList().GetCount(), 0);
}

TEST_F(Storage, SaveResults) {
    CDatabaseObj7 db;
    SaveOneRecord(db);
    db.Lock();
    EXPECT_EQ(db.Save(true), -1);
    db.Unlock();
    EXPECT_EQ(db.Save(true), 0);

    CDatabaseObj7 nowhere;
    ASSERT_EQ(nowhere.Load(JoinPath(JoinPath(folder(), "missing"), "LockmeraDatabase.lkb")), 0);
    fs::remove_all(dir.path() / "missing");
    EXPECT_EQ(nowhere.Save(true), static_cast<LONG>(ERROR_PATH_NOT_FOUND));
}

// An item edited past the packed-record limit makes the save fail and leaves the file whole.
TEST_F(Storage, ASaveThatCannotPackAnItemLeavesTheFileAsItWas) {
    CDatabaseObj7 db;
    SaveOneRecord(db);
    std::ifstream in(file(), std::ios::binary);
    const std::string before(std::istreambuf_iterator<char>(in), {});
    in.close();
    auto* record = static_cast<CRecord*>(db.GetRecordList().GetHead());
    record->SetNote(CString(std::string(70000, 'x')));
    EXPECT_EQ(db.Save(true), -1);
    std::ifstream again(file(), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(again), {}), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
}

TEST_F(Storage, ReadOnlyFileIsRefusedAndPermissionsAreKept) {
    CDatabaseObj7 db;
    SaveOneRecord(db);
    const auto readWrite = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(file(), readWrite);
    const fs::perms kept = fs::status(file()).permissions();  // Windows keeps fewer bits
    ASSERT_EQ(db.Save(true), 0);
    EXPECT_EQ(fs::status(file()).permissions(), kept);

    const Bytes before = ReadFileBytes(file());
    fs::permissions(file(), fs::perms::owner_read);
    // A privileged user writes through permission bits; the refusal needs an ordinary one.
    const bool privileged = std::ofstream(file(), std::ios::app).good();
    if (!privileged) {
        EXPECT_EQ(db.Save(true), static_cast<LONG>(ERROR_ACCESS_DENIED));
        EXPECT_EQ(ReadFileBytes(file()), before);
    }
    fs::permissions(file(), readWrite);
}

TEST_F(Storage, BackupAndRestore) {
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load("", folder()), 0);
    EXPECT_EQ(db.TakeTempBackup(), 0);     // no database file yet
    EXPECT_EQ(db.RestoreTempBackup(), 0);  // no backup yet
    SaveOneRecord(db);
    const Bytes saved = ReadFileBytes(file());
    EXPECT_NE(db.TakeTempBackup(), 0);
    EXPECT_EQ(ReadFileBytes(file().string() + ".bak"), saved);
    db.GetRecordList().Reset();
    ASSERT_EQ(db.Save(true), 0);
    EXPECT_NE(ReadFileBytes(file()), saved);
    EXPECT_NE(db.RestoreTempBackup(), 0);
    EXPECT_EQ(ReadFileBytes(file()), saved);
    EXPECT_TRUE(fs::exists(file().string() + ".bak"));
    EXPECT_TRUE(Temporaries(file().parent_path()).empty());
}

TEST_F(Storage, MoveToPath) {
    CDatabaseObj7 db;
    SaveOneRecord(db);
    const CString target = JoinPath(folder(), "moved");
    EXPECT_EQ(db.MoveToPath(target), 0);
    EXPECT_TRUE(fs::exists(dir.path() / "moved" / "LockmeraDatabase.lkb"));
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_EQ(db.GetPathName(), JoinPath(target, "LockmeraDatabase.lkb"));

    // A target that already holds a database is not replaced.
    CDatabaseObj7 other;
    SaveOneRecord(other);
    EXPECT_EQ(other.MoveToPath(target), static_cast<LONG>(ERROR_ALREADY_EXISTS));
    EXPECT_EQ(other.GetPathName(), JoinPath(folder(), "LockmeraDatabase.lkb"));
    other.Lock();
    EXPECT_EQ(other.MoveToPath(JoinPath(folder(), "elsewhere")), -1);
}

TEST_F(Storage, LoadRecordAndReloadRecord) {
    CDatabaseObj7 db;
    SaveOneRecord(db);
    EXPECT_EQ(db.LoadRecord(-1, 5), nullptr);
    std::unique_ptr<CBaseItem> copy(db.LoadRecord(0, 5));
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(static_cast<CRecord*>(copy.get())->GetField(0, false), "one");

    CBaseItem* inMemory = db.GetItemByRecordID(0, 5);
    static_cast<CRecord*>(inMemory)->SetNote("edited, not saved");
    EXPECT_EQ(db.ReloadRecord(0, 5), inMemory);
    EXPECT_EQ(static_cast<CRecord*>(inMemory)->GetNote(), "");
    EXPECT_EQ(db.ReloadRecord(0, 6), nullptr);

    // An item on disk but not in memory: null, nothing added.
    delete db.RemoveItemByRecordID(0, 5);
    EXPECT_EQ(db.ReloadRecord(0, 5), nullptr);
    EXPECT_EQ(db.GetRecordList().GetCount(), 0);
}

// The version probe says why a file has no version: it cannot be opened (with the system's code),
// or it ends before the version number (with the bytes it has and the bytes needed).
TEST_F(Storage, VersionProbeKeepsItsCause) {
    struct Case {
        std::size_t size;  // bytes of the file; 0 for none
        CDatabaseStatus::Kind kind;
        WORD version;
        const char* says;
    };
    const Case cases[] = {
        {0, CDatabaseStatus::kIo, 0xFFFF, "cannot be opened"},
        {10, CDatabaseStatus::kFormat, 0xFFFF, "10 bytes"},
        {45, CDatabaseStatus::kFormat, 0xFF05, "45 bytes"},
        {46, CDatabaseStatus::kOk, 0x0105, ""},
        {63, CDatabaseStatus::kOk, 0x0105, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        fs::remove(file());
        if (c.size > 0) {
            Bytes bytes(c.size, 0);
            const Bytes versionWord = {0x05, 0x01};
            for (std::size_t i = 44; i < std::min<std::size_t>(c.size, 46); ++i) {
                bytes[i] = versionWord[i - 44];
            }
            WriteFileBytes(file(), bytes);
        }
        WORD version = 0;
        const CDatabaseStatus status =
            CDatabaseObj7::ProbeVersion(file().string().c_str(), version);
        EXPECT_EQ(status.GetKind(), c.kind);
        EXPECT_EQ(version, c.version);
        EXPECT_EQ(CDatabaseObj7::GetVersion(file().string().c_str()), c.version);
        const std::string message = status.GetMessage();
        EXPECT_NE(message.find(c.says), std::string::npos) << message;
        if (c.kind != CDatabaseStatus::kOk) {
            EXPECT_EQ(message.rfind(file().string() + ": ", 0), 0u) << message;
        }
        if (c.kind == CDatabaseStatus::kFormat) {
            EXPECT_NE(message.find("46"), std::string::npos) << message;
        }
        if (c.kind == CDatabaseStatus::kIo) {
            EXPECT_EQ(status.GetCode(), ERROR_FILE_NOT_FOUND);
            EXPECT_NE(message.find(DescribeError(ERROR_FILE_NOT_FOUND)), std::string::npos)
                << message;
        }
    }
}

TEST_F(Storage, CribReaders) {
    unsigned char crib[40];
    // A missing file is an error, never "no password".
    try {
        CDatabaseObj7::ReadCrib(CString(file().string()), crib);
        ADD_FAILURE() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_lOsError, LONG{ERROR_FILE_NOT_FOUND});
        EXPECT_NE(std::string(e.what()).find(file().string()), std::string::npos) << e.what();
    }
    EXPECT_FALSE(CDatabaseObj7::HasPasswordDB(CString(file().string())));
    EXPECT_EQ(CDatabaseObj7::GetVersion(file().string().c_str()), 0xFFFF);
    {
        std::ofstream out(file(), std::ios::binary);
        const Bytes b = Cat({Bytes(39, 0), {0x01}, Bytes(4, 0), {0x05}});
        out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
    }
    EXPECT_TRUE(CDatabaseObj7::HasPasswordDB(CString(file().string())));
    EXPECT_EQ(CDatabaseObj7::GetVersion(file().string().c_str()), 0xFF05);

    CDatabaseObj7 db;
    EXPECT_THROW(db.ReadCrib("", JoinPath(folder(), "none"), crib), CFileException);
    EXPECT_EQ(db.GetPathName(), JoinPath(JoinPath(folder(), "none"), "LockmeraDatabase.lkb"));
    unsigned char mine[40] = {};
    mine[7] = 9;
    db.SetCrib(mine);
    db.GetCrib(crib);
    EXPECT_TRUE(db.DoesCribMatch(crib));
    crib[0] ^= 1;
    EXPECT_FALSE(db.DoesCribMatch(crib));
}

TEST_F(Storage, ItemsByListNumber) {
    CDatabaseObj7 db;
    auto* type = new CTypeItem;
    type->SetRecordID(7);
    auto* record = new CRecord;
    record->SetRecordID(7);
    db.GetTypesList().AddItem(type);
    db.GetRecordList().AddItem(record);
    EXPECT_EQ(db.GetItemByRecordID(-1, 7), type);
    EXPECT_EQ(db.GetItemByRecordID(0, 7), record);
    EXPECT_EQ(db.GetItemByRecordID(3, 7), nullptr);
    EXPECT_EQ(db.RemoveItemByRecordID(-2, 7), nullptr);
    db.SetSyncType(kSyncIPhone);
    EXPECT_EQ(db.GetCategoryList().GetSyncType(), kSyncIPhone);
    unsigned char crib[40] = {1};
    db.SetCrib(crib);
    db.Reset(false);
    EXPECT_TRUE(db.IsEncrypted());
    EXPECT_EQ(db.GetRecordList().GetCount(), 0);
    db.Reset(true);
    EXPECT_FALSE(db.IsEncrypted());
}

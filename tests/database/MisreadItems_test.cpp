// Items whose packed record failed its checksum when the file was read (a wrong key, damage) are
// never saved again from their misread texts: a mistake must not become lost data.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "lkmdb7/lkmdb7.h"
#include "tests/support/ArchiveBytes.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_test;

namespace {

class MisreadItems : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
    TempDir dir;
    CStringArray noLabels;

    CString Path() const { return CString((dir.path() / kDatabaseFileName).string()); }

    // A database of two records (and their type) saved under key, or plain.
    void MakeDatabase(const char* key) {
        SetRecordCipherPassword(key);
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(Path()), 0);
        for (const char* first : {"Alpha", "Quebec"}) {
            CStringArray row;
            row.Add("Web");
            row.Add(first);
            db.AddRecordWithoutWaiting(row, 0, noLabels, "", 24, false);
        }
        ASSERT_EQ(db.Save(true), 0);
    }

    Bytes File() const { return ReadFileBytes(Path().str()); }
};

}  // namespace

TEST_F(MisreadItems, AWrongKeyLoadsButNothingIsSavedUnderIt) {
    MakeDatabase("right");
    const Bytes before = File();
    SetRecordCipherPassword("wrong");
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(Path()), 0);
    std::size_t misread = 0;
    for (const CRecord& record : Items(db.GetRecordList())) {
        misread += record.FailedChecksumAtLoad() ? 1U : 0U;
    }
    EXPECT_EQ(misread, 2U);
    CStringArray row;
    row.Add("Web");
    row.Add("new");
    db.AddRecordWithoutWaiting(row, 0, noLabels, "", 24, false);
    EXPECT_EQ(db.Save(true), -1);
    EXPECT_EQ(db.GetLastStatus().GetKind(), CDatabaseStatus::kFormat);
    EXPECT_NE(std::string(db.GetLastErrorMessage()).find("3 items failed their checksum"),
              std::string::npos)
        << db.GetLastErrorMessage();
    EXPECT_EQ(db.MoveToPath(CString((dir.path() / "elsewhere").string())), -1);
    EXPECT_EQ(File(), before);

    // Under the right key the same file saves, with the record added.
    SetRecordCipherPassword("right");
    ASSERT_EQ(db.Load(Path()), 0);
    EXPECT_EQ(db.Save(true), 0);
}

TEST_F(MisreadItems, ADamagedItemBlocksSavesUntilItIsReplacedOrDeleted) {
    MakeDatabase(nullptr);
    Bytes bytes = File();
    const std::string name = "Quebec";
    const auto at = std::search(bytes.begin(), bytes.end(), name.begin(), name.end());
    ASSERT_NE(at, bytes.end());
    *at = 'X';
    WriteFileBytes(Path().str(), bytes);

    for (const bool replace : {false, true}) {
        SCOPED_TRACE(replace ? "replaced" : "deleted");
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(Path()), 0);
        CRecord* damaged = nullptr;
        CRecord* good = nullptr;
        for (CRecord& record : Items(db.GetRecordList())) {
            (record.FailedChecksumAtLoad() ? damaged : good) = &record;
        }
        ASSERT_NE(damaged, nullptr);
        ASSERT_NE(good, nullptr);
        // An edit of a misread record leaves its other texts misread.
        damaged->SetField(0, "fixed");
        EXPECT_EQ(db.Save(true), -1);
        EXPECT_EQ(File(), bytes);
        if (replace) {
            const DWORD id = damaged->GetRecordID();
            *static_cast<CBaseItem*>(damaged) = *good;
            EXPECT_FALSE(damaged->FailedChecksumAtLoad());
            damaged->SetRecordID(id);
        } else {
            db.GetRecordList().DeleteItem(damaged);
        }
        EXPECT_EQ(db.Save(true), 0) << db.GetLastErrorMessage();
        WriteFileBytes(Path().str(), bytes);
    }
}

// Finding the current user's database through the host's preferences file, under a password.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/foundation/PathUtils.h"
#include "lkmdb7/items/RecordCipher.h"
#include "tests/support/Env.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_test;
namespace fs = std::filesystem;

namespace {

class Import : public ::testing::Test {
protected:
    void SetUp() override {
        if (kWindows) {
            GTEST_SKIP() << "the documents folder comes from the shell on Windows";
        }
        documents_ = std::make_unique<ScopedEnv>("XDG_DOCUMENTS_DIR", home.str().c_str());
    }

    fs::path Lockmera() const { return home.path() / "Marrowleaf" / "Lockmera"; }

    void WritePreferences(const std::string& text) const {
        fs::create_directories(Lockmera() / "Preferences");
        std::ofstream(Lockmera() / "Preferences" / "Preferences.ini") << text;
    }

    // Saves a database with one record, field 0 `marker`, under `password`, in folder.
    static void SaveDatabase(const fs::path& folder, const char* marker, const char* password) {
        SetRecordCipherPassword(password);
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load("", CString(folder.string())), 0);
        auto* record = new CRecord;
        record->SetField(0, marker);
        db.GetRecordList().AddItem(record);
        ASSERT_EQ(db.Save(true), 0);
        SetRecordCipherPassword(nullptr);
    }

    ProcessStateGuard guard;
    TempDir home;
    std::unique_ptr<ScopedEnv> documents_;
};

}  // namespace

TEST_F(Import, NothingThereGivesAnEmptyDatabase) {
    CDatabaseObj7 db;
    CRecordList* records = nullptr;
    CTypesList* types = nullptr;
    CCategoryList* categories = nullptr;
    char password[] = "";
    ASSERT_TRUE(db.ReadVersion7Data(password, &records, &types, &categories));
    EXPECT_EQ(records, &db.GetRecordList());
    EXPECT_EQ(types, &db.GetTypesList());
    EXPECT_EQ(categories, &db.GetCategoryList());
    EXPECT_EQ(records->GetCount(), 0);
    EXPECT_EQ(db.GetPathName(), CString((Lockmera() / "LockmeraDatabase.lkb").string()));
}

TEST_F(Import, CurrentUserFolderAndUserDirectory) {
    SaveDatabase(Lockmera() / "alice", "alice's", "pw");
    WritePreferences("[Preferences iPhone]\nCurrent User = alice\n");
    CDatabaseObj7 db;
    CRecordList* records = nullptr;
    char password[] = "pw";
    ASSERT_TRUE(db.ReadVersion7Data(password, &records, nullptr, nullptr));
    ASSERT_EQ(records->GetCount(), 1);
    POSITION pos = records->GetHeadPosition();
    EXPECT_EQ(static_cast<CRecord*>(records->GetNext(pos))->GetField(0, false), "alice's");
    EXPECT_NE(GetRecordCipher(), nullptr);

    // A "User Directory" wins over the user's name; a folder that does not exist is an empty
    // database, not an error.
    const fs::path elsewhere = home.path() / "elsewhere";
    SaveDatabase(elsewhere, "moved", "pw");
    WritePreferences("[preferences IPHONE]\ncurrent user=alice\n[User-iPhone-alice-alice]\nUser Directory=" +
                     elsewhere.string() + "\n");
    ASSERT_TRUE(db.ReadVersion7Data(password, &records, nullptr, nullptr));
    pos = records->GetHeadPosition();
    EXPECT_EQ(static_cast<CRecord*>(records->GetNext(pos))->GetField(0, false), "moved");

    WritePreferences("[User-iPhone--]\nUser Directory=" + (home.path() / "nowhere").string() + "\n");
    ASSERT_TRUE(db.ReadVersion7Data(password, &records, nullptr, nullptr));
    EXPECT_EQ(records->GetCount(), 0);
}

TEST_F(Import, EmptyPasswordClearsTheCipher) {
    char password[] = "pw";
    CDatabaseObj7 db;
    ASSERT_TRUE(db.ReadVersion7Data(password, nullptr, nullptr, nullptr));
    EXPECT_NE(GetRecordCipher(), nullptr);
    ASSERT_TRUE(db.ReadVersion7Data(nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(GetRecordCipher(), nullptr);
    EXPECT_FALSE(CDatabaseObj7::IsLegacyDB("anything"));
}

// Where a save writes and what it reports: through symbolic links to the real file, keeping the
// file's owner and bits, in place when the folder refuses new files, in the order that keeps the
// old file until the new one is whole; and the status behind every result.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/database/internal/SafeFile.h"
#include "lkmdb7/platform/SystemError.h"
#include "tests/support/DatabaseGenerations.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"
#include "tests/support/platform/ChildProcess.h"
#include "tests/support/platform/Env.h"
#include "tests/support/platform/MutexChild.h"
#include "tests/support/platform/Users.h"

using namespace LKMDB7;
using namespace lkmdb7_test;
namespace fs = std::filesystem;

namespace {

// Arguments: database file, lock folder, the folder for a copy before a write in place ("" for
// none). Becomes nobody, loads, saves generation 2; exits with the save's result (255 when it
// could not start).
const ChildMode kSaveAsNobody("save-as-nobody", [](const ChildArgs& args) {
    if (!BecomeNobody()) {
        return 255;
    }
    const ScopedEnv lockFolder("LKMDB7_LOCK_DIR", args[1].c_str());
    CDatabaseObj7 db;
    db.SetInPlaceCopyFolder(CString(args[2]));
    if (db.Load(CString(args[0])) != 0) {
        return 254;
    }
    FillGeneration(db, 2);
    return static_cast<int>(db.Save(true));
});

fs::perms Mode(const fs::path& p) {
    return fs::status(p).permissions() & fs::perms::mask;
}

class SaveTargets : public ::testing::Test {
  protected:
    fs::path file() const { return dir_.path() / "LockmeraDatabase.lkb"; }
    CString path() const { return CString(file().string()); }

    // Saves generation g through a fresh object loaded from `at`.
    void SaveGeneration(const fs::path& at, int generation) {
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(CString(at.string())), 0);
        FillGeneration(db, generation);
        ASSERT_EQ(db.Save(true), 0) << db.GetLastErrorMessage();
    }

    ProcessStateGuard guard_;
    TempDir dir_;
};

}  // namespace

TEST_F(SaveTargets, LinkToTheDatabaseStaysALinkAndItsTargetIsSaved) {
    if (kWindows) {
        GTEST_SKIP() << "symbolic links of POSIX systems";
    }
    TempDir real;
    const fs::path target = real.path() / "LockmeraDatabase.lkb";
    SaveGeneration(target, 1);
    fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    fs::create_symlink(target, file());

    SaveGeneration(file(), 2);
    EXPECT_TRUE(fs::is_symlink(file()));
    EXPECT_EQ(fs::read_symlink(file()), target);
    EXPECT_EQ(GenerationOnDisk(target.string()), 2);
    EXPECT_EQ(Mode(target), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_TRUE(Temporaries(real.path()).empty());
    EXPECT_TRUE(Temporaries(dir_.path()).empty());

    // A restore writes through the link as well; the backup copy sits beside the link.
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(path()), 0);
    ASSERT_NE(db.TakeTempBackup(), 0);
    SaveGeneration(file(), 3);
    ASSERT_NE(db.RestoreTempBackup(), 0);
    EXPECT_TRUE(fs::is_symlink(file()));
    EXPECT_EQ(GenerationOnDisk(target.string()), 2);

    // A link that leads nowhere is not saved through.
    fs::remove(target);
    FillGeneration(db, 4);
    EXPECT_EQ(db.Save(true), static_cast<LONG>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(fs::exists(target));
}

TEST_F(SaveTargets, SavedFileKeepsItsOwnerAndGroup) {
    if (kWindows || EffectiveUserId() != 0) {
        GTEST_SKIP() << "only root saves a file of another user and can give it back";
    }
    SaveGeneration(file(), 1);
    ASSERT_TRUE(GiveToNobody(file()));
    fs::permissions(file(), fs::perms::owner_read | fs::perms::owner_write);
    SaveGeneration(file(), 2);
    EXPECT_EQ(OwnerOf(file()), 65534u);
    EXPECT_EQ(GroupOf(file()), 65534u);
    EXPECT_EQ(Mode(file()), fs::perms::owner_read | fs::perms::owner_write);
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(path()), 0);
    ASSERT_NE(db.TakeTempBackup(), 0);
    EXPECT_EQ(OwnerOf(file().string() + ".bak"), 65534u);
}

// A real folder that refuses new files: root's, 0755, with a database file of nobody in it.
// Nobody's save is refused there unless a copy may be kept first in a folder of nobody's.
TEST_F(SaveTargets, NobodySavesInAFolderOfRootOnlyInPlaceAfterACopy) {
    if (kWindows || EffectiveUserId() != 0 || !ChildProcessesSupported()) {
        GTEST_SKIP() << "needs root, to play another user";
    }
    SaveGeneration(file(), 1);
    ASSERT_TRUE(GiveFileInRootsFolderToNobody(dir_.path(), file()));
    TempDir nobodys;
    const fs::path lockFolder = nobodys.path() / "locks";
    const fs::path copies = nobodys.path() / "copies";
    ASSERT_TRUE(MakeNobodysFolders(nobodys.path(), {lockFolder, copies}));
    const Bytes before = ReadFileBytes(file());

    ChildProcess refused("save-as-nobody", {file().string(), lockFolder.string(), ""});
    EXPECT_EQ(refused.Wait(), static_cast<int>(ERROR_ACCESS_DENIED));
    EXPECT_TRUE(ReadFileBytes(file()) == before);

    ChildProcess inPlace("save-as-nobody", {file().string(), lockFolder.string(), copies.string()});
    EXPECT_EQ(inPlace.Wait(), 0);
    EXPECT_EQ(GenerationOnDisk(file().string()), 2);
    EXPECT_EQ(OwnerOf(file()), 65534u);
    EXPECT_TRUE(Temporaries(dir_.path()).empty());
    EXPECT_TRUE(fs::is_empty(copies));
}

// A folder that refuses new files while its files stay writable (a 0555 folder of another user):
// no operation writes the database or its copies in place there unasked, since a crash between
// cutting a file to length 0 and writing it would lose it. Each refuses with the code of the
// refused create and a message that names the folder, and leaves every file as it was.
TEST_F(SaveTargets, FolderThatRefusesNewFilesIsNotWrittenInPlaceUnasked) {
    SaveGeneration(file(), 1);
    {
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(path()), 0);
        ASSERT_NE(db.TakeTempBackup(), 0);
    }
    SaveGeneration(file(), 2);
    const fs::path bak = file().string() + ".bak";
    const fs::path v8 = file().string() + ".v8";
    WriteFileBytes(v8, Bytes(10, 0x88));  // a copy kept by an earlier upgrade
    const Bytes database = ReadFileBytes(file());
    const Bytes backup = ReadFileBytes(bak);
    FaultyFileSystem refusing;
    refusing.RefuseNewFilesIn(dir_.path().string());
    ScopedFileSystem inPlace(refusing);

    struct Case {
        const char* what;
        std::function<LONG(CDatabaseObj7&)> run;
        Bytes onDisk;  // the file when the operation begins
    };
    const TempDir elsewhere;
    const Case cases[] = {
        {"Save", [](CDatabaseObj7& db) { return db.Save(true); }, database},
        {"MoveToPath",
         [&](CDatabaseObj7& db) { return db.MoveToPath(CString(elsewhere.path().string())); },
         database},
        {"TakeTempBackup", [](CDatabaseObj7& db) { return LONG{db.TakeTempBackup()}; }, database},
        {"RestoreTempBackup", [](CDatabaseObj7& db) { return LONG{db.RestoreTempBackup()}; },
         database},
        {"a save that keeps the older file first", [](CDatabaseObj7& db) { return db.Save(true); },
         VersionEightFile()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteFileBytes(file(), database);
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(path()), 0);
        FillGeneration(db, 3);
        WriteFileBytes(file(), c.onDisk);
        const LONG result = c.run(db);
        // The backup pair answers 0 for a failure; the rest the refused create's code.
        EXPECT_TRUE(result == 0 || result == static_cast<LONG>(ERROR_ACCESS_DENIED)) << result;
        EXPECT_EQ(db.GetLastStatus().GetKind(), CDatabaseStatus::kIo);
        EXPECT_EQ(db.GetLastStatus().GetCode(), ERROR_ACCESS_DENIED);
        const std::string message = db.GetLastErrorMessage();
        EXPECT_EQ(message.rfind(dir_.str() + ": ", 0), 0u) << message;
        EXPECT_NE(message.find("in place"), std::string::npos) << message;
        EXPECT_EQ(ReadFileBytes(file()), c.onDisk);
        EXPECT_EQ(ReadFileBytes(bak), backup);
        EXPECT_EQ(ReadFileBytes(v8), Bytes(10, 0x88));
        EXPECT_TRUE(fs::is_empty(elsewhere.path()));
    }
}

// The save's order, read from the log of the file system: the temporary is written, flushed
// and closed before it takes the database's name, and the folder is flushed after that.
TEST_F(SaveTargets, TemporaryIsFlushedBeforeTheRenameAndTheFolderAfter) {
    SaveGeneration(file(), 1);
    FaultyFileSystem logging;
    {
        ScopedFileSystem inPlace(logging);
        SaveGeneration(file(), 2);
    }
    std::vector<std::string> save = logging.Log();
    // From the open of the temporary on; the load comes first.
    const auto open = std::find_if(save.begin(), save.end(), [](const std::string& e) {
        return e.rfind("open LockmeraDatabase.lkb.", 0) == 0 && e.ends_with(kSavingSuffix);
    });
    ASSERT_NE(open, save.end());
    const std::string temporary = open->substr(5);
    save.erase(save.begin(), open);
    const auto at = [&](const std::string& entry) {
        return std::find(save.begin(), save.end(), entry) - save.begin();
    };
    const auto lastWrite =
        save.rend() - std::find(save.rbegin(), save.rend(), "write " + temporary) - 1;
    const auto flush = at("flush " + temporary);
    const auto close = at("close " + temporary);
    const auto rename = at("rename to LockmeraDatabase.lkb");
    const auto last = static_cast<std::ptrdiff_t>(save.size()) - 1;
    EXPECT_GT(lastWrite, 0);
    EXPECT_LT(lastWrite, flush);
    EXPECT_LT(flush, close);
    EXPECT_LT(close, rename);
    if (kWindows) {
        // The rename writes through; there is no folder to flush.
        EXPECT_EQ(rename, last) << ::testing::PrintToString(save);
    } else {
        EXPECT_EQ(rename + 1, last) << ::testing::PrintToString(save);
        EXPECT_EQ(save.back().rfind("flush folder ", 0), 0u);
    }
}

// Every failure of a save: the public result of its kind and a status that names the file.
TEST_F(SaveTargets, EveryFailureHasItsResultAndAStatusThatNamesTheFile) {
    SaveGeneration(file(), 1);
    struct Case {
        const char* what;
        std::function<LONG(CDatabaseObj7&)> save;
        LONG result;
        CDatabaseStatus::Kind kind;
        DWORD code;
        const char* mentions;
    };
    const Case cases[] = {
        {"the disk fills part-way",
         [](CDatabaseObj7& db) {
             FaultyFileSystem faulty;
             ScopedFileSystem inPlace(faulty);
             faulty.Disarm();
             if (db.Save(true) != 0) {
                 return LONG{0};
             }
             const auto& log = faulty.Log();
             const auto write = std::find_if(log.begin(), log.end(), [](const std::string& e) {
                 return e.rfind("write ", 0) == 0;
             });
             faulty.Arm(static_cast<std::size_t>(write - log.begin()) + 1, Fault::diskFull, false);
             return db.Save(true);
         },
         -1, CDatabaseStatus::kIo, ERROR_DISK_FULL, ".saving"},
        {"saving is switched off",
         [](CDatabaseObj7& db) {
             db.Lock();
             return db.Save(true);
         },
         -1, CDatabaseStatus::kLockFlag, 0, "LockmeraDatabase.lkb"},
        {"the folder is gone",
         [&](CDatabaseObj7& db) {
             const fs::path gone = dir_.path() / "gone";
             EXPECT_EQ(db.Load(CString((gone / "LockmeraDatabase.lkb").string())), 0);
             fs::remove_all(gone);
             return db.Save(true);
         },
         static_cast<LONG>(ERROR_PATH_NOT_FOUND), CDatabaseStatus::kIo, ERROR_PATH_NOT_FOUND,
         "gone"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(path()), 0);
        FillGeneration(db, 2);
        EXPECT_EQ(c.save(db), c.result);
        EXPECT_EQ(db.GetLastStatus().GetKind(), c.kind);
        EXPECT_EQ(db.GetLastStatus().GetCode(), c.code);
        EXPECT_NE(std::string(db.GetLastErrorMessage()).find(c.mentions), std::string::npos)
            << db.GetLastErrorMessage();
    }
    EXPECT_EQ(GenerationOnDisk(file().string()), 2);
}

// The lock cannot be had (a lock folder that others may change): Load and Save refuse rather
// than go on unguarded, and say why.
TEST_F(SaveTargets, UnusableLockFailsLoadAndSave) {
    if (kWindows) {
        GTEST_SKIP() << "the lock folder of POSIX systems";
    }
    SaveGeneration(file(), 1);
    const Bytes before = ReadFileBytes(file());
    TempDir scratch;
    fs::permissions(scratch.path(), fs::perms::owner_all | fs::perms::group_all);
    const ScopedEnv lockDir("LKMDB7_LOCK_DIR", scratch.str().c_str());
    CDatabaseObj7 db;
    EXPECT_EQ(db.Load(path()), -1);
    EXPECT_EQ(db.GetLastStatus().GetKind(), CDatabaseStatus::kLockUnavailable);
    EXPECT_NE(std::string(db.GetLastErrorMessage()).find(scratch.str()), std::string::npos)
        << db.GetLastErrorMessage();
    EXPECT_EQ(db.GetRecordList().GetCount(), 0);
    EXPECT_EQ(db.AcquireLock(), -1);
    FillGeneration(db, 2);
    EXPECT_EQ(db.Save(true), -1);
    EXPECT_EQ(db.GetLastStatus().GetKind(), CDatabaseStatus::kLockUnavailable);
    EXPECT_EQ(ReadFileBytes(file()), before);
}

// A host holds the lock across its load and save; Load and Save inside take it again, and it is
// given back once per AcquireLock.
TEST_F(SaveTargets, HeldLockNestsLoadAndSave) {
    CDatabaseObj7 db;
    ASSERT_EQ(db.AcquireLock(), 0);
    {
        const CDatabaseLock again(db);
        ASSERT_TRUE(again.Held());
        ASSERT_EQ(db.Load(path()), 0);
        FillGeneration(db, 2);
        ASSERT_EQ(db.Save(true), 0);
        if (ChildProcessesSupported()) {
            EXPECT_EQ(ChildTakesMutex(kDatabaseMutexName, 0), 1);
        }
    }
    EXPECT_TRUE(db.ReleaseLock());
    EXPECT_FALSE(db.ReleaseLock());
    if (ChildProcessesSupported()) {
        EXPECT_EQ(ChildTakesMutex(kDatabaseMutexName, 0), 0);
    }
    EXPECT_EQ(GenerationOnDisk(file().string()), 2);
}

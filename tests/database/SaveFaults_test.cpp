// Saving, backup, restore, move and the upgrade of an older file with a fault injected at every
// file operation they make in turn: an I/O error, a full disk, a short write and an interrupted
// call, each once and from then on. The promise: the operation reports failure and the file on
// disk is the old one, byte for byte; once the fault is gone the next attempt succeeds and the
// file loads as the new database.
//
// One fault cannot keep the old file: a failed flush of the folder after the rename. The new file
// is then complete under the database's name and the operation still reports failure, because a
// power cut could bring the old name back; either file is whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <iterator>
#include <memory>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/database/internal/SafeFile.h"
#include "lkmdb7/foundation/PathUtils.h"
#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/internal/ByteOrder.h"
#include "tests/support/DatabaseGenerations.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"
#include "tests/support/platform/Env.h"

using namespace LKMDB7;
using namespace lkmdb7_test;
namespace fs = std::filesystem;

namespace {

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

constexpr Fault kFaults[] = {Fault::ioError, Fault::diskFull, Fault::shortWrite,
                             Fault::interrupted};

struct Injection {
    std::size_t call;
    Fault fault;
    bool sticky;
};

// Runs body for every fault at every call of a fault-free run whose log is given; a short write
// only where the call is a write. Returns the number of injections.
std::size_t ForEachInjection(const std::vector<std::string>& log,
                             const std::function<void(const Injection&)>& body) {
    std::size_t count = 0;
    for (std::size_t call = 1; call <= log.size(); ++call) {
        for (const Fault fault : kFaults) {
            if (fault == Fault::shortWrite && !StartsWith(log[call - 1], "write ")) {
                continue;
            }
            for (const bool sticky : {false, true}) {
                SCOPED_TRACE("call " + std::to_string(call) + " of " + std::to_string(log.size()) +
                             " (" + log[call - 1] + "): " + FaultName(fault) +
                             (sticky ? ", from then on" : ", once"));
                body({call, fault, sticky});
                ++count;
            }
        }
    }
    return count;
}

void Report(const char* operation, const std::vector<std::string>& log, std::size_t injections) {
    std::cout << "[ faults   ] " << operation << ": " << log.size() << " file operations, "
              << injections << " injections:";
    for (const std::string& entry : log) {
        std::cout << " [" << entry << "]";
    }
    std::cout << "\n";
}

class SaveFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        // Generation 1 is the old file of every case; generation 3 an older backup.
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(CString(file().string())), 0);
        FillGeneration(db, 3);
        ASSERT_EQ(db.Save(true), 0);
        older_ = ReadFileBytes(file());
        FillGeneration(db, 1);
        ASSERT_EQ(db.Save(true), 0);
        old_ = ReadFileBytes(file());
    }

    fs::path file() const { return dir_.path() / "LockmeraDatabase.lkb"; }
    fs::path sibling(const char* suffix) const { return file().string() + suffix; }
    std::string path() const { return file().string(); }

    // The database file holds the old bytes again; no other file is in the folder.
    void ResetFolder() {
        for (const auto& entry : fs::directory_iterator(dir_.path())) {
            fs::remove_all(entry.path());
        }
        WriteFileBytes(file(), old_);
    }

    // Files that the library leaves behind it only when even its cleaning up failed.
    void ExpectNoTemporaries(const Injection& at) const {
        if (!at.sticky) {
            EXPECT_TRUE(Temporaries(dir_.path()).empty());
        }
    }

    ProcessStateGuard guard_;
    TempDir dir_;
    FaultyFileSystem faulty_;
    ScopedFileSystem inPlace_{faulty_};
    Bytes old_;
    Bytes older_;
};

}  // namespace

TEST_F(SaveFaults, SaveKeepsTheOldFileUntilTheNewOneIsWhole) {
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(CString(path())), 0);
    FillGeneration(db, 2);
    faulty_.Disarm();
    ASSERT_EQ(db.Save(true), 0);
    const std::vector<std::string> log = faulty_.Log();

    const std::size_t n = ForEachInjection(log, [&](const Injection& at) {
        ResetFolder();
        faulty_.Arm(at.call, at.fault, at.sticky);
        const LONG result = db.Save(true);
        const std::string failed = faulty_.FirstFailure();
        faulty_.Disarm();
        EXPECT_NE(result, 0);
        if (StartsWith(failed, "flush folder")) {
            EXPECT_EQ(GenerationOnDisk(path()), 2);
        } else {
            EXPECT_EQ(ReadFileBytes(file()), old_);
        }
        ExpectNoTemporaries(at);

        // A temporary left behind by the failed save does not stand in the way.
        ASSERT_EQ(db.Save(true), 0);
        EXPECT_EQ(GenerationOnDisk(path()), 2);
        ExpectNoTemporaries({0, Fault::none, false});
    });
    Report("Save", log, n);
}

TEST_F(SaveFaults, BackupAndRestoreReplaceTheirTargetWholeOrNotAtAll) {
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(CString(path())), 0);
    struct Case {
        const char* name;
        std::function<int()> run;
        fs::path target;
        const Bytes& before;  // the target before the copy
        const Bytes& after;   // the target after it
        fs::path untouched;   // the source, which never changes
        const Bytes& source;
    };
    const Case cases[] = {
        {"TakeTempBackup", [&] { return db.TakeTempBackup(); }, sibling(".bak"), older_, old_,
         file(), old_},
        {"RestoreTempBackup", [&] { return db.RestoreTempBackup(); }, file(), old_, older_,
         sibling(".bak"), older_},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto prepare = [&] {
            ResetFolder();
            WriteFileBytes(sibling(".bak"), older_);
        };
        prepare();
        faulty_.Disarm();
        ASSERT_NE(c.run(), 0);
        const std::vector<std::string> log = faulty_.Log();

        const std::size_t n = ForEachInjection(log, [&](const Injection& at) {
            prepare();
            faulty_.Arm(at.call, at.fault, at.sticky);
            const int result = c.run();
            const std::string failed = faulty_.FirstFailure();
            faulty_.Disarm();
            EXPECT_EQ(result, 0);
            EXPECT_EQ(ReadFileBytes(c.target),
                      StartsWith(failed, "flush folder") ? c.after : c.before);
            EXPECT_EQ(ReadFileBytes(c.untouched), c.source);
            ExpectNoTemporaries(at);

            ASSERT_NE(c.run(), 0);
            EXPECT_EQ(ReadFileBytes(c.target), c.after);
        });
        Report(c.name, log, n);
    }
}

// A failure while saving leaves the old file where it was; a failure after the save leaves the
// new one there. A failed move never leaves the database at both places or at neither, and the
// object's path always names the place where the file is.
TEST_F(SaveFaults, MoveToPathLeavesOneWholeFileWhereThePathSays) {
    const fs::path target = dir_.path() / "moved";
    const std::string moved = (target / "LockmeraDatabase.lkb").string();
    std::unique_ptr<CDatabaseObj7> db;
    auto prepare = [&] {
        ResetFolder();
        faulty_.Disarm();
        db = std::make_unique<CDatabaseObj7>();
        ASSERT_EQ(db->Load(CString(path())), 0);
        FillGeneration(*db, 2);
    };
    prepare();
    faulty_.Disarm();
    ASSERT_EQ(db->MoveToPath(CString(target.string())), 0);
    const std::vector<std::string> log = faulty_.Log();

    const std::size_t n = ForEachInjection(log, [&](const Injection& at) {
        prepare();
        faulty_.Arm(at.call, at.fault, at.sticky);
        const LONG result = db->MoveToPath(CString(target.string()));
        const std::string failed = faulty_.FirstFailure();
        faulty_.Disarm();
        EXPECT_NE(result, 0);
        if (db->GetPathName() == CString(path())) {
            EXPECT_FALSE(fs::exists(moved));
            const int generation = GenerationOnDisk(path());
            EXPECT_TRUE(generation == 1 || generation == 2) << generation;
            if (generation == 1) {
                EXPECT_EQ(ReadFileBytes(file()), old_);
            }
        } else {
            EXPECT_TRUE(StartsWith(failed, "flush folder")) << failed;
            EXPECT_EQ(db->GetPathName(), CString(moved));
            EXPECT_FALSE(fs::exists(file()));
            EXPECT_EQ(GenerationOnDisk(moved), 2);
        }
        ExpectNoTemporaries(at);

        const CString again = CString((dir_.path() / "again").string());
        ASSERT_EQ(db->MoveToPath(again), 0);
        EXPECT_EQ(GenerationOnDisk(db->GetPathName().str()), 2);
    });
    Report("MoveToPath", log, n);
}

// Load rewrites an older file in the current layout and keeps the older one beside it as
// "<file>.v8". Load does not report a failed rewrite, so the check is on disk: the old file is
// there byte for byte, or the rewrite is complete and the kept copy is exact. The next save,
// fault-free, completes the upgrade.
TEST_F(SaveFaults, UpgradeAtLoadNeverGivesUpTheOlderFile) {
    const Bytes eight = VersionEightFile();
    const fs::path kept = sibling(".v8");
    auto prepare = [&] {
        ResetFolder();
        WriteFileBytes(file(), eight);
    };
    auto expectUpgraded = [&] {
        EXPECT_EQ(ReadFileBytes(kept), eight);
        const Bytes now = ReadFileBytes(file());
        ASSERT_GT(now.size(), 46u);
        EXPECT_EQ(GetLE16(now.data() + 44), kCurrentVersion);
        EXPECT_EQ(Bytes(now.begin(), now.begin() + 44), Bytes(eight.begin(), eight.begin() + 44));
    };
    prepare();
    faulty_.Disarm();
    {
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(CString(path())), 0);
    }
    expectUpgraded();
    const std::vector<std::string> log = faulty_.Log();

    const std::size_t n = ForEachInjection(log, [&](const Injection& at) {
        prepare();
        CDatabaseObj7 db;
        faulty_.Arm(at.call, at.fault, at.sticky);
        bool loaded = false;
        try {
            loaded = db.Load(CString(path())) == 0;
        } catch (const CException&) {
        }
        faulty_.Disarm();
        if (ReadFileBytes(file()) != eight) {
            expectUpgraded();
        } else if (fs::exists(kept)) {
            EXPECT_EQ(ReadFileBytes(kept), eight);
        }
        ExpectNoTemporaries(at);

        if (loaded) {
            EXPECT_EQ(db.GetVersion(), kCurrentVersion);
            ASSERT_EQ(db.Save(true), 0);
        } else {
            CDatabaseObj7 again;
            ASSERT_EQ(again.Load(CString(path())), 0);
        }
        expectUpgraded();
    });
    Report("upgrade at load", log, n);
}

// Every file the library creates is the owner's alone; a database file that had other bits
// keeps them through saves and restores.
TEST_F(SaveFaults, CreatedFilesAreTheOwnersAlone) {
    if (kWindows) {
        GTEST_SKIP() << "Windows files carry no permission bits";
    }
    // Sees the temporary file just before it takes the database's name.
    class Spy : public FileSystem {
      public:
        BOOL MoveFileReplace(const char* from, const char* to) override {
            seen.push_back(fs::status(from).permissions());
            return FileSystem::MoveFileReplace(from, to);
        }
        std::vector<fs::perms> seen;
    } spy;
    ScopedFileSystem inPlace(spy);
    const fs::perms owner = fs::perms::owner_read | fs::perms::owner_write;
    const fs::perms shared = owner | fs::perms::group_read;
    auto mode = [](const fs::path& p) { return fs::status(p).permissions() & fs::perms::mask; };

    fs::remove(file());
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(CString(path())), 0);
    FillGeneration(db, 2);
    ASSERT_EQ(db.Save(true), 0);
    EXPECT_EQ(mode(file()), owner);
    ASSERT_NE(db.TakeTempBackup(), 0);
    EXPECT_EQ(mode(sibling(".bak")), owner);
    ASSERT_EQ(spy.seen.size(), 2u);
    for (const fs::perms seen : spy.seen) {
        EXPECT_EQ(seen & fs::perms::mask, owner);
    }
    // Copies take the database's bits, never those of a stale copy at their name.
    WriteFileBytes(file(), VersionEightFile());
    fs::permissions(file(), fs::perms::owner_all | fs::perms::group_read);
    WriteFileBytes(sibling(".v8"), Bytes(3, 0));
    fs::permissions(sibling(".v8"), fs::perms::all);
    ASSERT_EQ(db.Load(CString(path())), 0);
    EXPECT_EQ(mode(sibling(".v8")), fs::perms::owner_all | fs::perms::group_read);
    fs::permissions(sibling(".bak"), fs::perms::all);
    ASSERT_NE(db.TakeTempBackup(), 0);
    EXPECT_EQ(mode(sibling(".bak")), mode(file()));

    // The user's own choice of bits stays.
    fs::permissions(file(), shared);
    spy.seen.clear();
    ASSERT_EQ(db.Save(true), 0);
    EXPECT_EQ(mode(file()), shared);
    ASSERT_NE(db.RestoreTempBackup(), 0);
    EXPECT_EQ(mode(file()), shared);
    ASSERT_EQ(spy.seen.size(), 2u);
    EXPECT_EQ(spy.seen[0] & fs::perms::mask, shared);
}

// Names a save might be expected to use are planted beforehand, as a hostile user of a shared
// folder could: a file, and links that lead nowhere or to a file of someone else. The save
// follows none of them, changes none of them, and gives the new file its own bits.
TEST_F(SaveFaults, PlantedTemporariesAreNeitherFollowedNorUsed) {
    fs::remove(file());
    TempDir elsewhere;
    const fs::path victim = elsewhere.path() / "victim";
    WriteFileBytes(victim, Bytes(7, 0x11));
    WriteFileBytes(sibling(".saving"), Bytes(5000, 0xEE));
    WriteFileBytes(sibling(".0123abcd.saving"), Bytes(5000, 0xEE));  // a killed save's, removed
    if (!kWindows) {
        fs::permissions(sibling(".saving"), fs::perms::owner_read | fs::perms::group_read);
        fs::create_symlink(elsewhere.path() / "nothing", sibling(".tmp"));
        fs::create_symlink(victim, sibling(".new"));
    }
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(CString(path())), 0);
    FillGeneration(db, 2);
    ASSERT_EQ(db.Save(true), 0);
    EXPECT_EQ(GenerationOnDisk(path()), 2);
    EXPECT_EQ(ReadFileBytes(sibling(".saving")), Bytes(5000, 0xEE));
    EXPECT_FALSE(fs::exists(sibling(".0123abcd.saving")));
    EXPECT_EQ(ReadFileBytes(victim), Bytes(7, 0x11));
    EXPECT_FALSE(fs::exists(elsewhere.path() / "nothing"));
    EXPECT_EQ(std::distance(fs::directory_iterator(elsewhere.path()), fs::directory_iterator()), 1);
    if (!kWindows) {
        EXPECT_EQ(fs::status(file()).permissions() & fs::perms::mask,
                  fs::perms::owner_read | fs::perms::owner_write);
    }
}

// A folder that refuses new files (its files stay writable), with a fault at every call of a
// save there in turn. Unasked, the save is refused and touches nothing. Allowed in place, the
// file is afterwards the old one or the new one, whole, and no copy is left; or, when putting the
// file back failed too, the status names the copy kept before, which holds the old file.
TEST_F(SaveFaults, FolderThatRefusesNewFilesNeverLosesTheFile) {
    faulty_.RefuseNewFilesIn(dir_.str());
    TempDir copies;
    // What the copy folder holds: its copies, and the temporaries of copies being made.
    const auto inCopies = [&](bool temporaries) {
        std::vector<fs::path> found;
        for (const auto& entry : fs::directory_iterator(copies.path())) {
            const bool copy = entry.path().string().ends_with(kBeforeSaveSuffix);
            if (copy != temporaries) {
                found.push_back(entry.path());
            }
        }
        return found;
    };
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(CString(path())), 0);
    FillGeneration(db, 2);

    // A copy that cannot be made: nothing is written.
    db.SetInPlaceCopyFolder(CString((copies.path() / "missing").string()));
    EXPECT_EQ(db.Save(true), static_cast<LONG>(ERROR_PATH_NOT_FOUND));
    EXPECT_NE(std::string(db.GetLastErrorMessage()).find("missing"), std::string::npos);
    EXPECT_TRUE(ReadFileBytes(file()) == old_);

    // A killed save's half-made copy goes; a whole one, perhaps all that is left of a file, stays.
    const fs::path halfMade =
        copies.path() / "LockmeraDatabase.lkb.0123abcd.before-save.89abcdef.saving";
    const fs::path whole = copies.path() / "LockmeraDatabase.lkb.0123abcd.before-save";
    WriteFileBytes(halfMade, Bytes(3, 1));
    WriteFileBytes(whole, older_);
    db.SetInPlaceCopyFolder(CString(copies.str()));
    ASSERT_EQ(db.Save(true), 0) << db.GetLastErrorMessage();
    EXPECT_FALSE(fs::exists(halfMade));
    EXPECT_TRUE(ReadFileBytes(whole) == older_);
    fs::remove(whole);

    for (const bool allowed : {false, true}) {
        SCOPED_TRACE(allowed ? "allowed in place" : "unasked");
        ResetFolder();
        db.SetInPlaceCopyFolder(allowed ? CString(copies.str()) : CString());
        faulty_.Disarm();
        if (allowed) {
            ASSERT_EQ(db.Save(true), 0) << db.GetLastErrorMessage();
        } else {
            ASSERT_EQ(db.Save(true), static_cast<LONG>(ERROR_ACCESS_DENIED));
        }
        const std::vector<std::string> log = faulty_.Log();
        if (allowed) {
            EXPECT_EQ(GenerationOnDisk(path()), 2);
            EXPECT_TRUE(fs::is_empty(copies.path()));
            // The copy is on disk, folder flushed, before the file is cut; the file is flushed
            // before the copy goes. On Windows the copy's rename writes through: no folder to
            // flush.
            const auto flushed = std::find_if(log.begin(), log.end(), [](const std::string& e) {
                return kWindows ? StartsWith(e, "rename to ") && e.ends_with(kBeforeSaveSuffix)
                                : StartsWith(e, "flush folder ");
            });
            ASSERT_NE(flushed, log.end());
            std::vector<std::string> after(flushed + 1, log.end());
            after.erase(std::unique(after.begin(), after.end()), after.end());
            ASSERT_EQ(after.size(), 5u) << ::testing::PrintToString(after);
            EXPECT_EQ(after[0], "open LockmeraDatabase.lkb");
            EXPECT_EQ(after[1], "write LockmeraDatabase.lkb");
            EXPECT_EQ(after[2], "flush LockmeraDatabase.lkb");
            EXPECT_EQ(after[3], "close LockmeraDatabase.lkb");
            EXPECT_TRUE(StartsWith(after[4], "delete LockmeraDatabase.lkb.") &&
                        after[4].ends_with(kBeforeSaveSuffix))
                << after[4];
        } else {
            EXPECT_TRUE(ReadFileBytes(file()) == old_);
        }

        const std::size_t n = ForEachInjection(log, [&](const Injection& at) {
            ResetFolder();
            for (const auto& entry : fs::directory_iterator(copies.path())) {
                fs::remove(entry.path());
            }
            faulty_.Arm(at.call, at.fault, at.sticky);
            const LONG result = db.Save(true);
            const std::string failed = faulty_.FirstFailure();
            faulty_.Disarm();
            const std::string message = db.GetLastErrorMessage();
            const std::vector<fs::path> kept = inCopies(false);
            // Only a failed clean-up leaves a copy behind the file it kept, and then the old file.
            for (const fs::path& copy : kept) {
                EXPECT_TRUE(ReadFileBytes(copy) == old_) << copy;
            }
            const bool cleanUpFailed = at.sticky || StartsWith(failed, "delete ");
            if (ReadFileBytes(file()) == old_) {
                EXPECT_NE(result, 0);
                EXPECT_TRUE(cleanUpFailed || fs::is_empty(copies.path()));
            } else if (result == 0) {
                EXPECT_EQ(GenerationOnDisk(path()), 2);
                EXPECT_TRUE(cleanUpFailed || kept.empty());
            } else {
                ASSERT_EQ(kept.size(), 1u) << message;
                EXPECT_TRUE(ReadFileBytes(kept[0]) == old_);
                EXPECT_NE(message.find(kept[0].string()), std::string::npos) << message;
            }
            if (!at.sticky) {
                EXPECT_TRUE(inCopies(true).empty());
            }
        });
        Report(allowed ? "Save in place after a copy" : "Save in a folder that refuses new files",
               log, n);
    }
}

// A process that saves in a loop, killed with SIGKILL at random moments: afterwards the file
// loads as the database of the last save that began or of the last one that completed, never as
// anything in between, and no temporary file left behind stands in the way of the next save. In
// a folder that refuses new files, where saves write in place after a copy, a kill may leave the
// file damaged, but then the copy is the database of the last save that completed.
//
// LKMDB7_KILLS sets the number of kills (1000 by default). A longer run:
//   LKMDB7_KILLS=20000 build/debug/tests/database_tests --gtest_filter='SaveKills.*'
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/database/internal/SafeFile.h"
#include "tests/support/DatabaseGenerations.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"
#include "tests/support/platform/ChildProcess.h"
#include "tests/support/platform/Env.h"
#include "tests/support/platform/Users.h"

using namespace LKMDB7;
using namespace lkmdb7_test;
namespace fs = std::filesystem;

namespace {

// The saver: loads args[0], then for generation args[2], the next one, and so on, appends the
// generation to the log args[1] and saves it, until it is killed. Exits with 3 when the load
// fails and with 4 when a save fails. With args[3] (a lock folder) and args[4] (the folder for
// copies before a write in place) it first becomes nobody and saves in place where it must.
const ChildMode kSaver("saver", [](const ChildArgs& args) {
    const bool asNobody = args.size() > 4;
    if (asNobody && !BecomeNobody()) {
        return 5;
    }
    std::optional<ScopedEnv> lockFolder;
    if (asNobody) {
        lockFolder.emplace("LKMDB7_LOCK_DIR", args[3].c_str());
    }
    int generation = std::stoi(args.at(2));
    std::ofstream log(args.at(1), std::ios::app);
    CDatabaseObj7 db;
    if (asNobody) {
        db.SetInPlaceCopyFolder(CString(args[4]));
    }
    if (db.Load(CString(args.at(0))) != 0) {
        return 3;
    }
    for (;; ++generation) {
        FillGeneration(db, generation);
        log << generation << '\n' << std::flush;
        if (db.Save(true) != 0) {
            return 4;
        }
    }
});

// The last generation the saver logged, or `otherwise` when it logged none.
int LastLogged(const fs::path& log, int otherwise) {
    std::ifstream in(log);
    int last = otherwise;
    for (int g = 0; in >> g;) {
        last = g;
    }
    return last;
}

int KillCount() {
    const char* text = std::getenv("LKMDB7_KILLS");
    return text != nullptr ? std::atoi(text) : 1000;
}

}  // namespace

TEST(SaveKills, FileIsTheLastSaveBegunOrTheLastCompleted) {
    if (!ChildProcessesSupported()) {
        GTEST_SKIP() << "needs child processes";
    }
    ProcessStateGuard guard;
    TempDir dir;
    const std::string file = dir.File("LockmeraDatabase.lkb");
    const fs::path log = dir.path() / "saves.log";
    {
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(CString(file)), 0);
        FillGeneration(db, 1);
        ASSERT_EQ(db.Save(true), 0);
    }
    std::mt19937 random(std::random_device{}());
    // Up to a few saves after the saver has started: kills land before, during and between them.
    std::uniform_int_distribution<int> delayUs(0, 40000);
    const int kills = KillCount();
    int onDisk = 1;
    int completedSaves = 0;
    int cutShort = 0;  // kills that stopped a save that had begun
    const auto began = std::chrono::steady_clock::now();
    for (int kill = 0; kill < kills; ++kill) {
        const int from = LastLogged(log, 1) + 1;
        ChildProcess saver("saver", {file, log.string(), std::to_string(from)});
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        saver.Kill();
        const int result = saver.Wait();
        ASSERT_EQ(result, ChildProcess::kKilled)
            << "the saver stopped by itself with exit code " << result << " at kill " << kill;

        const int last = LastLogged(log, onDisk);
        const int found = GenerationOnDisk(file);
        if (last < from) {
            ASSERT_EQ(found, onDisk) << "killed before its first save, kill " << kill;
        } else {
            // Every save before the last one the saver began had completed; before its first,
            // the file held what the previous saver left.
            const int before = last > from ? last - 1 : onDisk;
            ASSERT_TRUE(found == last || found == before)
                << "kill " << kill << ": the file holds " << found << ", the saver began " << last
                << ", the save before it left " << before;
            completedSaves += found >= from ? found - from + 1 : 0;
            cutShort += found != last ? 1 : 0;
        }
        onDisk = found;
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began);

    // Whatever the last kill left behind, a save goes through and cleans up.
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(CString(file)), 0);
    FillGeneration(db, onDisk + 1);
    ASSERT_EQ(db.Save(true), 0);
    EXPECT_EQ(GenerationOnDisk(file), onDisk + 1);
    EXPECT_TRUE(Temporaries(fs::path(file).parent_path()).empty());
    std::cout << "[ kills    ] " << kills << " kills survived (" << cutShort
              << " of them during a save), " << completedSaves << " saves completed, "
              << seconds.count() << " s\n";
}

// The generation of the file at path; -1 for a file that does not load as one.
int LoadsAs(const fs::path& path) {
    try {
        return GenerationOnDisk(path.string());
    } catch (const CException&) {
        return -1;
    }
}

TEST(SaveKills, InPlaceTheFileOrItsCopyIsTheLastSaveBegunOrCompleted) {
    if (kWindows || EffectiveUserId() != 0 || !ChildProcessesSupported()) {
        GTEST_SKIP() << "needs root, to play another user in a folder of root";
    }
    ProcessStateGuard guard;
    TempDir dir;
    const fs::path file = dir.path() / "LockmeraDatabase.lkb";
    {
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(CString(file.string())), 0);
        FillGeneration(db, 1);
        ASSERT_EQ(db.Save(true), 0);
    }
    ASSERT_TRUE(GiveFileInRootsFolderToNobody(dir.path(), file));
    TempDir nobodys;
    const fs::path own = nobodys.path() / "own";
    const fs::path copies = nobodys.path() / "copies";
    ASSERT_TRUE(MakeNobodysFolders(nobodys.path(), {own, copies}));
    const fs::path log = own / "saves.log";

    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> delayUs(0, 40000);
    const int kills = std::max(1, KillCount() / 5);
    int onDisk = 1;
    int damaged = 0;  // kills that left the file to its copy
    for (int kill = 0; kill < kills; ++kill) {
        const int from = LastLogged(log, 1) + 1;
        ChildProcess saver("saver", {file.string(), log.string(), std::to_string(from),
                                     (own / "locks").string(), copies.string()});
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        saver.Kill();
        ASSERT_EQ(saver.Wait(), ChildProcess::kKilled) << "at kill " << kill;

        const int last = LastLogged(log, onDisk);
        const int before = last > from ? last - 1 : onDisk;
        std::vector<fs::path> kept;
        for (const auto& entry : fs::directory_iterator(copies)) {
            if (entry.path().string().ends_with(kBeforeSaveSuffix)) {
                kept.push_back(entry.path());
            }
        }
        int found = LoadsAs(file);
        if (found == -1) {
            // Cut short while written in place: its copy is the one whole file.
            ASSERT_EQ(kept.size(), 1u) << "kill " << kill;
            ASSERT_EQ(LoadsAs(kept[0]), before) << "kill " << kill;
            WriteFileBytes(file, ReadFileBytes(kept[0]));
            found = before;
            ++damaged;
        } else {
            ASSERT_TRUE(found == last || found == before)
                << "kill " << kill << ": the file holds " << found << ", the saver began " << last;
        }
        for (const auto& entry : fs::directory_iterator(copies)) {
            fs::remove(entry.path());
        }
        onDisk = found;
    }
    std::cout << "[ kills    ] " << kills << " kills of saves in place, " << damaged
              << " of them put back from the copy\n";
}

// A process that saves in a loop, killed with SIGKILL at random moments: afterwards the file
// loads as the database of the last save that began or of the last one that completed, never as
// anything in between, and no temporary file left behind stands in the way of the next save.
//
// LKMDB7_KILLS sets the number of kills (1000 by default). A longer run:
//   LKMDB7_KILLS=20000 build/debug/tests/database_tests --gtest_filter='SaveKills.*'
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <thread>

#include "lkmdb7/database/DatabaseObj7.h"
#include "tests/support/DatabaseGenerations.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"
#include "tests/support/platform/ChildProcess.h"

using namespace LKMDB7;
using namespace lkmdb7_test;
namespace fs = std::filesystem;

namespace {

// The saver: loads args[0], then for generation args[2], the next one, and so on, appends the
// generation to the log args[1] and saves it, until it is killed. Exits with 3 when the load
// fails and with 4 when a save fails.
const ChildMode kSaver("saver", [](const ChildArgs& args) {
    int generation = std::stoi(args.at(2));
    std::ofstream log(args.at(1), std::ios::app);
    CDatabaseObj7 db;
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

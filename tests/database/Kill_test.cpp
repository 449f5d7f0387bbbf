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

// Killing needs processes.
#if __has_include(<spawn.h>)

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

extern char** environ;

using namespace LKMDB7;
using namespace lkmdb7_test;
namespace fs = std::filesystem;

namespace {

// This program doubles as the saver: started with LKMDB7_SAVER_FILE set, it never reaches the
// tests. It loads that file, then for generation LKMDB7_SAVER_FROM, the next one, and so on,
// appends the generation to LKMDB7_SAVER_LOG and saves it, until it is killed. It exits with 3
// when the load fails and with 4 when a save fails.
[[maybe_unused]] const bool kIsSaver = [] {
    const char* file = std::getenv("LKMDB7_SAVER_FILE");
    if (file == nullptr) {
        return false;
    }
    int generation = std::atoi(std::getenv("LKMDB7_SAVER_FROM"));
    std::ofstream log(std::getenv("LKMDB7_SAVER_LOG"), std::ios::app);
    CDatabaseObj7 db;
    if (db.Load(CString(file)) != 0) {
        std::_Exit(3);
    }
    for (;; ++generation) {
        FillGeneration(db, generation);
        log << generation << '\n' << std::flush;
        if (db.Save(true) != 0) {
            std::_Exit(4);
        }
    }
}();

pid_t StartSaver(const std::string& file, const std::string& log, int from) {
    ::setenv("LKMDB7_SAVER_FILE", file.c_str(), 1);
    ::setenv("LKMDB7_SAVER_LOG", log.c_str(), 1);
    ::setenv("LKMDB7_SAVER_FROM", std::to_string(from).c_str(), 1);
    char path[] = "/proc/self/exe";
    char filter[] = "--gtest_filter=-*";
    char* argv[] = {path, filter, nullptr};
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, path, nullptr, nullptr, argv, environ);
    ::unsetenv("LKMDB7_SAVER_FILE");
    return rc == 0 ? pid : -1;
}

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
        const pid_t pid = StartSaver(file, log.string(), from);
        ASSERT_GT(pid, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ASSERT_EQ(::kill(pid, SIGKILL), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status))
            << "the saver stopped by itself with exit code "
            << (WIFEXITED(status) ? WEXITSTATUS(status) : -1) << " at kill " << kill;

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
    EXPECT_FALSE(fs::exists(file + ".saving"));
    std::cout << "[ kills    ] " << kills << " kills survived (" << cutShort
              << " of them during a save), " << completedSaves << " saves completed, "
              << seconds.count() << " s\n";
}

#else

TEST(SaveKills, FileIsTheLastSaveBegunOrTheLastCompleted) {
    GTEST_SKIP() << "needs POSIX processes";
}

#endif

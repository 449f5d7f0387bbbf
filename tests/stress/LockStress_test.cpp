// Three processes loop over lock, load, add a record, save, while a fourth that holds the lock is
// killed at random moments. At the end the database holds exactly the records whose saves
// reported success, and no wait for the lock reached its 10 s limit.
//
// LKMDB7_STRESS_SECONDS sets the length of the run: 120 s by default under CI, 15 s otherwise.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "lkmdb7/database/DatabaseObj7.h"
#include "tests/stress/Children.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_stress;
using Clock = std::chrono::steady_clock;

namespace {

int StressSeconds() {
    if (const char* s = std::getenv("LKMDB7_STRESS_SECONDS")) {
        return std::max(1, std::atoi(s));
    }
    return std::getenv("CI") != nullptr ? 120 : 15;
}

struct Log {
    std::set<std::string> saved;
    int failed = 0;
    int timeouts = 0;
    long long longestWait = 0;
};

void ReadLog(const std::string& path, Log& log) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::string what;
        std::string tag;
        long long ms = 0;
        words >> what;
        if (what == "saved") {
            words >> tag >> ms;
            log.saved.insert(tag);
        } else if (what == "failed") {
            ++log.failed;
        } else if (what == "timeout") {
            words >> ms;
            ++log.timeouts;
        }
        log.longestWait = std::max(log.longestWait, ms);
    }
}

}  // namespace

TEST(LockStress, SavesThatReportSuccessAreExactlyWhatTheFileHolds) {
    lkmdb7_test::ProcessStateGuard guard;
    lkmdb7_test::TempDir dir;
    const int seconds = StressSeconds();

    std::vector<pid_t> workers;
    for (int i = 0; i < 3; ++i) {
        workers.push_back(
            Spawn("worker", {{"LKMDB7_STRESS_FOLDER", dir.str()},
                             {"LKMDB7_STRESS_ID", "p" + std::to_string(i)},
                             {"LKMDB7_STRESS_SECONDS", std::to_string(seconds)},
                             {"LKMDB7_STRESS_LOG", dir.File("log" + std::to_string(i))}}));
        ASSERT_GT(workers.back(), 0);
    }

    // The fourth process takes the lock, holds it for up to 2 s and is killed, again and again.
    std::mt19937 random(std::random_device{}());
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    int kills = 0;
    while (Clock::now() < end) {
        const std::string ready = dir.File("ready" + std::to_string(kills));
        const pid_t holder = Spawn("hold", {{"LKMDB7_STRESS_READY", ready}});
        ASSERT_GT(holder, 0);
        const bool held = WaitForFile(ready, 15000);
        if (held) {
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 2000));
        }
        ::kill(holder, SIGKILL);
        ExitCodeOf(holder);
        ASSERT_TRUE(held) << "the holder waited more than 15 s for the lock";
        ++kills;
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 500));
    }
    for (const pid_t w : workers) {
        EXPECT_EQ(ExitCodeOf(w), 0);
    }

    Log log;
    for (int i = 0; i < 3; ++i) {
        ReadLog(dir.File("log" + std::to_string(i)), log);
    }
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load("", CString(dir.str())), 0);
    std::set<std::string> stored;
    CRecordList& records = db.GetRecordList();
    for (POSITION pos = records.GetHeadPosition(); pos != nullptr;) {
        stored.insert(static_cast<CRecord*>(records.GetNext(pos))->GetField(0, false).str());
    }
    EXPECT_EQ(stored.size(), static_cast<std::size_t>(records.GetCount())) << "a record twice";
    EXPECT_EQ(stored, log.saved);
    EXPECT_EQ(log.timeouts, 0);
    EXPECT_LT(log.longestWait, 10000);
    EXPECT_GT(log.saved.size(), 0u);
    std::cout << seconds << " s: " << log.saved.size() << " saves, " << log.failed
              << " failed saves, " << kills << " lock holders killed, longest wait "
              << log.longestWait << " ms\n";
}

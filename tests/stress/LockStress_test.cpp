// Three processes loop over lock, load, add a record, save, while a fourth that holds the lock is
// killed at random moments. At the end the database holds exactly the records whose saves
// reported success, and no wait for the lock reached its 10 s limit.
//
// LKMDB7_STRESS_SECONDS sets the length of the run: 120 s by default under CI, 15 s otherwise.
#include <gtest/gtest.h>

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
#include "lkmdb7/platform/internal/NamedMutex.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"
#include "tests/support/platform/ChildProcess.h"
#include "tests/support/platform/MutexChild.h"

using namespace LKMDB7;
using lkmdb7_test::ChildArgs;
using lkmdb7_test::ChildMode;
using lkmdb7_test::ChildProcess;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Arguments: database folder, id, seconds to run, log file. Until the time is up: takes the
// database mutex (at most its usual 10 s), loads, adds a record whose first field is
// "<id>-<count>", saves and releases. Appends one line per round to the log: "saved <tag> <wait
// ms>", "failed <tag> <result>" or "timeout <wait ms>". Exits 0, or 2 when it could not start.
const ChildMode kWorker("stress-worker", [](const ChildArgs& args) {
    if (args.size() != 4) {
        return 2;
    }
    HANDLE h = CreateMutexA(nullptr, false, kDatabaseMutexName);
    std::ofstream log(args[3], std::ios::app);
    if (h == nullptr || !log) {
        return 2;
    }
    const CString folder(args[0]);
    const std::string& id = args[1];
    const auto until = Clock::now() + std::chrono::seconds(std::stoll(args[2]));
    for (int count = 0; Clock::now() < until; ++count) {
        const auto asked = Clock::now();
        const DWORD waited = WaitForSingleObject(h, kMutexWaitMs);
        const long long ms = MsSince(asked);
        if (!WaitObtained(waited)) {
            log << "timeout " << ms << std::endl;
            continue;
        }
        const std::string tag = id + "-" + std::to_string(count);
        LONG result = -2;
        try {
            CDatabaseObj7 db;
            if (db.Load("", folder) == 0) {
                CStringArray texts;
                texts.Add("Unfiled");
                texts.Add(tag.c_str());
                CStringArray labels;
                db.AddRecordWithoutWaiting(texts, 0, labels, "", 24, true);
                result = db.Save(true);
            }
        } catch (const std::exception&) {
            result = -3;
        }
        ReleaseMutex(h);
        if (result == 0) {
            log << "saved " << tag << " " << ms << std::endl;
        } else {
            log << "failed " << tag << " " << result << std::endl;
        }
    }
    CloseHandle(h);
    return 0;
});

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

    std::vector<ChildProcess> workers;
    workers.reserve(3);
    for (int i = 0; i < 3; ++i) {
        workers.emplace_back("stress-worker",
                             ChildArgs{dir.str(), "p" + std::to_string(i), std::to_string(seconds),
                                       dir.File("log" + std::to_string(i))});
    }

    // The fourth process takes the lock, holds it for up to 2 s and is killed, again and again.
    std::mt19937 random(std::random_device{}());
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    int kills = 0;
    while (Clock::now() < end) {
        const std::string ready = dir.File("ready" + std::to_string(kills));
        ChildProcess holder =
            lkmdb7_test::StartMutexHolder(kDatabaseMutexName, ready, std::nullopt, INFINITE);
        const bool held = holder.AwaitFile(ready, std::chrono::milliseconds(15000));
        if (held) {
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 2000));
        }
        holder.Kill();
        ASSERT_TRUE(held) << "the holder waited more than 15 s for the lock";
        ++kills;
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 500));
    }
    for (ChildProcess& w : workers) {
        EXPECT_EQ(w.Wait(), 0);
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

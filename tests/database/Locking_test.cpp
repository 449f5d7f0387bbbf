// The database lock against a real second process: Load and Save give up after their wait while
// another process holds it, touch nothing, and go ahead as soon as that process lets go or dies;
// and a wait that lasts tells the host's observer once.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <stdexcept>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/platform/Exceptions.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/LockHolder.h"
#include "tests/support/TestPaths.h"
#include "tests/support/platform/MutexChild.h"

using namespace LKMDB7;
using namespace lkmdb7_test;
namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

namespace {

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

constexpr milliseconds kChildStart{20000};

struct Timed {
    LONG result;
    long long ms;
};

// Runs an operation on its own thread, so that a Load and a Save wait for the lock side by side.
template <typename F>
std::future<Timed> Start(F operation) {
    return std::async(std::launch::async, [operation]() mutable {
        const auto start = Clock::now();
        const LONG result = operation();
        return Timed{result, MsSince(start)};
    });
}

class Locking : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ChildProcessesSupported()) {
            GTEST_SKIP() << "no child processes here";
        }
    }

    CString path() const { return CString(file().string()); }
    fs::path file() const { return dir.path() / "LockmeraDatabase.lkb"; }
    fs::path ready() const { return dir.path() / "ready"; }

    // A database on disk holding one record with record ID 5.
    void SaveOneRecord() {
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(path()), 0);
        auto* record = new CRecord;
        record->SetRecordID(5);
        record->SetField(0, "one");
        db.GetRecordList().AddItem(record);
        ASSERT_EQ(db.Save(true), 0);
    }

    ProcessStateGuard guard;
    TempDir dir;
};

}  // namespace

TEST_F(Locking, HeldLockFailsLoadAndSaveAfterTheWaitThenTheyWorkWhenTheHolderDies) {
    SaveOneRecord();
    const Bytes before = ReadFileBytes(file());
    CDatabaseObj7 loader;
    ASSERT_EQ(loader.Load(path()), 0);
    unsigned char crib[40] = {};
    crib[0] = 7;
    loader.SetCrib(crib);
    CDatabaseObj7 saver;
    ASSERT_EQ(saver.Load(path()), 0);
    saver.GetRecordList().AddItem(new CRecord);

    ChildProcess child = StartMutexHolder(kDatabaseMutexName, ready());
    ASSERT_TRUE(child.AwaitFile(ready(), kChildStart)) << "the child did not take the lock";
    auto load = Start([&] { return loader.Load(path()); });
    auto save = Start([&] { return saver.Save(true); });
    const Timed loaded = load.get();
    const Timed saved = save.get();

    EXPECT_EQ(loaded.result, -1);
    EXPECT_GE(loaded.ms, 9500);
    EXPECT_LT(loaded.ms, 30000);
    EXPECT_EQ(loader.GetRecordList().GetCount(), 0);
    EXPECT_FALSE(loader.IsEncrypted());
    EXPECT_EQ(loader.GetVersion(), 9);

    EXPECT_EQ(saved.result, -1);
    EXPECT_GE(saved.ms, 9500);
    EXPECT_LT(saved.ms, 30000);
    EXPECT_EQ(ReadFileBytes(file()), before);
    EXPECT_TRUE(Temporaries(dir.path()).empty());

    child.Kill();
    EXPECT_EQ(child.Wait(), ChildProcess::kKilled);
    const auto start = Clock::now();
    EXPECT_EQ(loader.Load(path()), 0);
    EXPECT_EQ(loader.GetRecordList().GetCount(), 1);
    EXPECT_EQ(saver.Save(true), 0);
    EXPECT_LT(MsSince(start), 2000);
    EXPECT_NE(ReadFileBytes(file()), before);
}

TEST_F(Locking, WaitingLoadAndSaveGoAheadWhenTheHolderReleases) {
    SaveOneRecord();
    CDatabaseObj7 loader;
    CDatabaseObj7 saver;
    ASSERT_EQ(saver.Load(path()), 0);

    // The holder lives on after releasing: the release itself must free the lock.
    ChildProcess child = StartMutexHolder(kDatabaseMutexName, ready(), milliseconds(1000));
    ASSERT_TRUE(child.AwaitFile(ready(), kChildStart)) << "the child did not take the lock";
    auto load = Start([&] { return loader.Load(path()); });
    auto save = Start([&] { return saver.Save(true); });
    for (const Timed& t : {load.get(), save.get()}) {
        EXPECT_EQ(t.result, 0);
        EXPECT_GE(t.ms, 500);
        EXPECT_LT(t.ms, 5000);
    }
    EXPECT_EQ(loader.GetRecordList().GetCount(), 1);
}

TEST_F(Locking, LoadThatThrowsLeavesTheLockFree) {
    SaveOneRecord();
    const Bytes whole = ReadFileBytes(file());
    {
        std::ofstream out(file(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(whole.data()),
                  static_cast<std::streamsize>(whole.size() - 3));
    }
    CDatabaseObj7 db;
    EXPECT_THROW(db.Load(path()), CArchiveException);
    EXPECT_EQ(ChildTakesMutex(kDatabaseMutexName, 0), 0);
}

TEST(LockWaitObserver, ToldOnceAfterASecondOfWaitingAndNeverWhenTheLockIsFree) {
    ProcessStateGuard guard;
    TempDir dir;
    const CString path((dir.path() / kDatabaseFileName).string());
    CDatabaseObj7 db;
    int calls = 0;
    long long calledAfterMs = -1;
    auto start = Clock::now();
    db.SetLockWaitObserver([&] {
        ++calls;
        calledAfterMs = MsSince(start);
    });

    // A free lock: the load, the save and an explicit hold come at once and say nothing.
    ASSERT_EQ(db.Load(path), 0);
    ASSERT_EQ(db.Save(true), 0);
    ASSERT_EQ(db.AcquireLock(), 0);
    ASSERT_TRUE(db.ReleaseLock());
    EXPECT_EQ(calls, 0);

    {
        LockHolder holder(milliseconds(1500));
        ASSERT_TRUE(holder.Held());
        start = Clock::now();
        EXPECT_EQ(db.Load(path), 0) << db.GetLastErrorMessage();
        const long long waited = MsSince(start);
        EXPECT_EQ(calls, 1);
        EXPECT_GE(calledAfterMs, 900);
        EXPECT_GE(waited, 1300);
        EXPECT_LT(waited, 5000);
    }

    // An observer that throws does not fail the wait; an empty one is no observer.
    {
        LockHolder holder(milliseconds(1500));
        ASSERT_TRUE(holder.Held());
        db.SetLockWaitObserver([&] {
            ++calls;
            throw std::runtime_error("the host's notice failed");
        });
        EXPECT_EQ(db.Save(true), 0) << db.GetLastErrorMessage();
        EXPECT_EQ(calls, 2);
    }
    {
        LockHolder holder(milliseconds(1200));
        ASSERT_TRUE(holder.Held());
        db.SetLockWaitObserver({});
        EXPECT_EQ(db.AcquireLock(), 0);
        EXPECT_TRUE(db.ReleaseLock());
        EXPECT_EQ(calls, 2);
    }
}

#include "lkmdb7/platform/internal/NamedMutex.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <random>
#include <string>
#include <thread>

#include "lkmdb7/platform/SystemError.h"
#include "tests/support/TestPaths.h"
#include "tests/support/platform/Env.h"
#include "tests/support/platform/MutexChild.h"
#include "tests/support/platform/Users.h"

using namespace LKMDB7;
using lkmdb7_test::ChildProcess;
using lkmdb7_test::ChildProcessesSupported;
using lkmdb7_test::ChildTakesMutex;
using lkmdb7_test::EffectiveUserId;
using lkmdb7_test::ScopedEnv;
using lkmdb7_test::StartMutexHolder;
namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

namespace {

// Names differ per run so that test programs running side by side never meet.
std::string UniqueName(const std::string& tag) {
    static const auto salt = std::random_device{}();
    return "lkmdb7-test-" + tag + "-" + std::to_string(salt) + "-" +
           std::to_string(Clock::now().time_since_epoch().count());
}

// Waits on another thread and, when that thread got the mutex, releases it there again.
DWORD WaitOnOtherThread(HANDLE h, DWORD ms) {
    return std::async(std::launch::async,
                      [h, ms] {
                          const DWORD r = WaitForSingleObject(h, ms);
                          if (WaitObtained(r)) {
                              ReleaseMutex(h);
                          }
                          return r;
                      })
        .get();
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
}

}  // namespace

TEST(NamedMutex, OwningThreadReentersAndReleasesOnlyAtCountZero) {
    HANDLE h = CreateMutexA(nullptr, 0, UniqueName("reenter").c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);

    const BOOL foreign = std::async(std::launch::async, [h] { return ReleaseMutex(h); }).get();
    EXPECT_FALSE(foreign);

    EXPECT_TRUE(ReleaseMutex(h));
    EXPECT_EQ(WaitOnOtherThread(h, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(h));
    EXPECT_EQ(WaitOnOtherThread(h, 0), WAIT_OBJECT_0);

    SetLastError(0);
    EXPECT_FALSE(ReleaseMutex(h));
    EXPECT_EQ(GetLastError(), ERROR_NOT_OWNER);
    EXPECT_TRUE(CloseHandle(h));
}

TEST(NamedMutex, HandlesOfOneNameExcludeOtherThreads) {
    const std::string name = UniqueName("two");
    HANDLE first = CreateMutexA(nullptr, 0, name.c_str());
    HANDLE second = CreateMutexA(nullptr, 0, name.c_str());
    HANDLE other = CreateMutexA(nullptr, 0, UniqueName("other").c_str());
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    ASSERT_NE(other, nullptr);

    ASSERT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitOnOtherThread(second, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitOnOtherThread(other, 0), WAIT_OBJECT_0);
    // Both handles name one mutex, so its owner re-enters through either.
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(second));
    EXPECT_EQ(WaitOnOtherThread(second, 0), WAIT_TIMEOUT);
    EXPECT_TRUE(ReleaseMutex(first));
    EXPECT_EQ(WaitOnOtherThread(second, 0), WAIT_OBJECT_0);

    EXPECT_TRUE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
    EXPECT_TRUE(CloseHandle(other));
}

TEST(NamedMutex, TimedWaitEndsAfterTheTimeOrWhenReleased) {
    HANDLE h = CreateMutexA(nullptr, 0, UniqueName("timed").c_str());
    ASSERT_NE(h, nullptr);
    std::promise<void> taken;
    std::promise<void> letGo;
    std::thread holder([&] {
        WaitForSingleObject(h, INFINITE);
        taken.set_value();
        letGo.get_future().wait();
        std::this_thread::sleep_for(milliseconds(100));
        ReleaseMutex(h);
    });
    taken.get_future().wait();

    auto start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(h, 200), WAIT_TIMEOUT);
    EXPECT_GE(MsSince(start), 190);
    EXPECT_LT(MsSince(start), 5000);

    letGo.set_value();
    start = Clock::now();
    EXPECT_EQ(WaitForSingleObject(h, 10000), WAIT_OBJECT_0);
    EXPECT_LT(MsSince(start), 5000);
    EXPECT_TRUE(ReleaseMutex(h));
    holder.join();
    EXPECT_TRUE(CloseHandle(h));
}

TEST(NamedMutex, ThreadThatEndsOwningItAbandonsIt) {
    HANDLE h = CreateMutexA(nullptr, 0, UniqueName("abandon").c_str());
    ASSERT_NE(h, nullptr);
    std::thread([h] { WaitForSingleObject(h, 0); }).join();
    EXPECT_EQ(WaitForSingleObject(h, 1000), WAIT_ABANDONED);
    EXPECT_TRUE(ReleaseMutex(h));
    EXPECT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(h));
    EXPECT_TRUE(CloseHandle(h));
}

TEST(NamedMutex, InitialOwnerTakesOnlyANewMutex) {
    const std::string name = UniqueName("initial");
    HANDLE h = CreateMutexA(nullptr, 1, name.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    EXPECT_EQ(WaitOnOtherThread(h, 0), WAIT_TIMEOUT);

    auto late = std::async(std::launch::async, [&name] {
        HANDLE mine = CreateMutexA(nullptr, 1, name.c_str());
        const DWORD err = GetLastError();
        const DWORD wait = WaitForSingleObject(mine, 0);
        CloseHandle(mine);
        return std::make_pair(err, wait);
    });
    const auto [err, wait] = late.get();
    EXPECT_EQ(err, ERROR_ALREADY_EXISTS);
    EXPECT_EQ(wait, WAIT_TIMEOUT);

    EXPECT_TRUE(ReleaseMutex(h));
    EXPECT_TRUE(CloseHandle(h));
}

TEST(NamedMutex, NullHandleIsRefused) {
    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(ReleaseMutex(nullptr));
    EXPECT_FALSE(CloseHandle(nullptr));
}

TEST(NamedMutexProcesses, OtherProcessesGetItOnlyAtCountZero) {
    if (!ChildProcessesSupported()) {
        GTEST_SKIP() << "no child processes here";
    }
    const std::string name = UniqueName("proc");
    HANDLE h = CreateMutexA(nullptr, 0, name.c_str());
    ASSERT_NE(h, nullptr);
    ASSERT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(ReleaseMutex(h));
    EXPECT_EQ(ChildTakesMutex(name, 200), 1);
    EXPECT_TRUE(ReleaseMutex(h));
    EXPECT_EQ(ChildTakesMutex(name, 5000), 0);
    EXPECT_TRUE(CloseHandle(h));
}

TEST(NamedMutexProcesses, KilledHolderFreesItForAWaiter) {
    if (!ChildProcessesSupported()) {
        GTEST_SKIP() << "no child processes here";
    }
    const std::string name = UniqueName("kill");
    lkmdb7_test::TempDir scratch;
    const std::string ready = scratch.File("ready");
    ChildProcess child = StartMutexHolder(name, ready);
    ASSERT_TRUE(child.AwaitFile(ready, milliseconds(20000))) << "the child did not take the mutex";

    HANDLE h = CreateMutexA(nullptr, 0, name.c_str());
    ASSERT_NE(h, nullptr);
    EXPECT_EQ(WaitForSingleObject(h, 200), WAIT_TIMEOUT);

    std::thread killer([&child] {
        std::this_thread::sleep_for(milliseconds(200));
        child.Kill();
    });
    const auto start = Clock::now();
    EXPECT_TRUE(WaitObtained(WaitForSingleObject(h, 10000)));
    EXPECT_LT(MsSince(start), 5000);
    killer.join();
    EXPECT_EQ(child.Wait(), ChildProcess::kKilled);
    EXPECT_TRUE(ReleaseMutex(h));
    EXPECT_TRUE(CloseHandle(h));
}

// What follows needs POSIX lock files.
class NamedMutexPosix : public ::testing::Test {
  protected:
    void SetUp() override {
        if (lkmdb7_test::kWindows) {
            GTEST_SKIP() << "the lock files of POSIX systems";
        }
    }
};

TEST_F(NamedMutexPosix, ClosingAnOwningHandleFreesTheLock) {
    const std::string name = UniqueName("close");
    HANDLE first = CreateMutexA(nullptr, 0, name.c_str());
    HANDLE second = CreateMutexA(nullptr, 0, name.c_str());
    ASSERT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    ASSERT_EQ(WaitForSingleObject(first, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(CloseHandle(first));
    EXPECT_EQ(WaitOnOtherThread(second, 0), WAIT_ABANDONED);
    EXPECT_EQ(ChildTakesMutex(name, 5000), 0);

    SetLastError(0);
    EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    EXPECT_FALSE(CloseHandle(first));
    EXPECT_TRUE(CloseHandle(second));
}

TEST_F(NamedMutexPosix, LockFolderMustBePrivate) {
    lkmdb7_test::TempDir scratch;
    fs::permissions(scratch.path(), fs::perms::owner_all);
    const fs::path good = scratch.path() / "good";
    fs::create_directory(good);
    fs::permissions(good, fs::perms::owner_all);

    struct Case {
        const char* what;
        std::function<fs::path()> make;
        DWORD error;  // 0: accepted
    };
    const Case cases[] = {
        {"missing, so created", [&] { return scratch.path() / "new"; }, 0},
        {"private", [&] { return good; }, 0},
        {"group-writable",
         [&] {
             fs::create_directory(scratch.path() / "group");
             fs::permissions(scratch.path() / "group", fs::perms::owner_all | fs::perms::group_all);
             return scratch.path() / "group";
         },
         ERROR_ACCESS_DENIED},
        {"writable by others",
         [&] {
             fs::create_directory(scratch.path() / "others");
             fs::permissions(scratch.path() / "others", fs::perms::owner_all |
                                                            fs::perms::others_write |
                                                            fs::perms::others_exec);
             return scratch.path() / "others";
         },
         ERROR_ACCESS_DENIED},
        {"a symbolic link to a private folder",
         [&] {
             fs::create_directory_symlink(good, scratch.path() / "link");
             return scratch.path() / "link";
         },
         ERROR_ACCESS_DENIED},
        {"a file",
         [&] {
             std::ofstream(scratch.path() / "file").put('x');
             return scratch.path() / "file";
         },
         ERROR_ACCESS_DENIED},
        {"owned by someone else",
         [&] {
             fs::create_directory(scratch.path() / "foreign");
             fs::permissions(scratch.path() / "foreign", fs::perms::owner_all);
             if (EffectiveUserId() == 0) {
                 EXPECT_TRUE(lkmdb7_test::GiveToNobody(scratch.path() / "foreign"));
             }
             return scratch.path() / "foreign";
         },
         // Only root can give it away.
         EffectiveUserId() == 0 ? DWORD{ERROR_ACCESS_DENIED} : DWORD{0}},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path folder = c.make();
        const ScopedEnv lockDir("LKMDB7_LOCK_DIR", folder.string().c_str());
        const std::string name = UniqueName("folder");
        SetLastError(0);
        HANDLE h = CreateMutexA(nullptr, 0, name.c_str());
        if (c.error != 0) {
            EXPECT_EQ(h, nullptr);
            EXPECT_EQ(GetLastError(), c.error);
            EXPECT_FALSE(fs::exists(folder / (name + ".lock")));
            continue;
        }
        ASSERT_NE(h, nullptr);
        EXPECT_EQ(fs::status(folder).permissions() & fs::perms::all, fs::perms::owner_all);
        EXPECT_EQ(fs::status(folder / (name + ".lock")).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
        EXPECT_TRUE(CloseHandle(h));
    }
}

// Without LKMDB7_LOCK_DIR the lock goes to "lkmdb7" in the user's runtime folder, but only when
// no one else may enter that folder; otherwise somewhere else of the user's.
TEST_F(NamedMutexPosix, DefaultFolderIsOnlyTheUsersOwn) {
    lkmdb7_test::TempDir scratch;
    const fs::path runtime = scratch.path() / "runtime";
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    const ScopedEnv noLockDir("LKMDB7_LOCK_DIR", nullptr);
    const ScopedEnv runtimeDir("XDG_RUNTIME_DIR", runtime.string().c_str());
    // Fixed names: lock files are never deleted, so runs must not pile them up.
    HANDLE h = CreateMutexA(nullptr, 0, "lkmdb7-test-default");
    ASSERT_NE(h, nullptr) << GetLastMutexDetail();
    EXPECT_TRUE(fs::is_regular_file(runtime / "lkmdb7" / "lkmdb7-test-default.lock"));
    EXPECT_EQ(fs::status(runtime / "lkmdb7").permissions() & fs::perms::all, fs::perms::owner_all);
    EXPECT_TRUE(CloseHandle(h));

    fs::permissions(runtime,
                    fs::perms::owner_all | fs::perms::others_read | fs::perms::others_exec);
    h = CreateMutexA(nullptr, 0, "lkmdb7-test-fallback");
    ASSERT_NE(h, nullptr) << GetLastMutexDetail();
    EXPECT_FALSE(fs::exists(runtime / "lkmdb7" / "lkmdb7-test-fallback.lock"));
    EXPECT_TRUE(CloseHandle(h));
}

TEST_F(NamedMutexPosix, LockFileMustNotBeALink) {
    const fs::path folder = std::getenv("LKMDB7_LOCK_DIR");
    const std::string name = UniqueName("link");
    HANDLE probe = CreateMutexA(nullptr, 0, UniqueName("probe").c_str());
    ASSERT_NE(probe, nullptr);  // creates the folder
    lkmdb7_test::TempDir elsewhere;
    fs::create_symlink(elsewhere.path() / "target", folder / (name + ".lock"));
    SetLastError(0);
    EXPECT_EQ(CreateMutexA(nullptr, 0, name.c_str()), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_FALSE(fs::exists(elsewhere.path() / "target"));
    EXPECT_TRUE(CloseHandle(probe));
}

TEST_F(NamedMutexPosix, NamesWithSeparatorsAreRefused) {
    for (const char* name : {"a/b", "..\\x", "/etc/passwd"}) {
        SCOPED_TRACE(name);
        SetLastError(0);
        EXPECT_EQ(CreateMutexA(nullptr, 0, name), nullptr);
        EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
    }
}

TEST_F(NamedMutexPosix, RemovedLockFileIsReplacedNotTrusted) {
    // A cleaner of temporary folders may delete the file while a process keeps it open; the
    // lock must then move to the file that others find at the path.
    const fs::path folder = std::getenv("LKMDB7_LOCK_DIR");
    const std::string name = UniqueName("removed");
    HANDLE h = CreateMutexA(nullptr, 0, name.c_str());
    ASSERT_NE(h, nullptr);
    ASSERT_TRUE(fs::remove(folder / (name + ".lock")));
    ASSERT_EQ(WaitForSingleObject(h, 0), WAIT_OBJECT_0);
    EXPECT_TRUE(fs::exists(folder / (name + ".lock")));
    EXPECT_EQ(ChildTakesMutex(name, 200), 1);
    EXPECT_TRUE(ReleaseMutex(h));
    EXPECT_EQ(ChildTakesMutex(name, 5000), 0);
    EXPECT_TRUE(CloseHandle(h));
}

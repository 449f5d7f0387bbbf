#include "tests/stress/Children.h"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/platform/NamedMutex.h"
#include "tests/support/TestPaths.h"

extern char** environ;

using namespace LKMDB7;
using Clock = std::chrono::steady_clock;

namespace {

std::string Var(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

long long MsSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

[[noreturn]] void Hold() {
    HANDLE h = CreateMutexA(nullptr, FALSE, kDatabaseMutexName);
    if (h == nullptr || !WaitObtained(WaitForSingleObject(h, INFINITE))) {
        std::_Exit(2);
    }
    std::ofstream(Var("LKMDB7_STRESS_READY")).put('1');
    for (;;) {
        std::this_thread::sleep_for(std::chrono::seconds(60));
    }
}

[[noreturn]] void Work() {
    HANDLE h = CreateMutexA(nullptr, FALSE, kDatabaseMutexName);
    std::ofstream log(Var("LKMDB7_STRESS_LOG"), std::ios::app);
    if (h == nullptr || !log) {
        std::_Exit(2);
    }
    const CString folder(Var("LKMDB7_STRESS_FOLDER"));
    const std::string id = Var("LKMDB7_STRESS_ID");
    const auto seconds = std::chrono::seconds(std::stoll(Var("LKMDB7_STRESS_SECONDS")));
    const auto until = Clock::now() + seconds;
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
    std::_Exit(0);
}

const bool kIsChild = [] {
    const std::string kind = Var("LKMDB7_STRESS_CHILD");
    if (kind == "hold") {
        Hold();
    }
    if (kind == "worker") {
        Work();
    }
    return false;
}();

// The lock files of every process of this program live in one private scratch folder.
class LockFolder : public ::testing::Environment {
  public:
    void SetUp() override {
        scratch_ = std::make_unique<lkmdb7_test::TempDir>();
        std::filesystem::permissions(scratch_->path(), std::filesystem::perms::owner_all);
        ::setenv("LKMDB7_LOCK_DIR", (scratch_->path() / "locks").c_str(), 1);
    }
    void TearDown() override { scratch_.reset(); }

  private:
    std::unique_ptr<lkmdb7_test::TempDir> scratch_;
};

[[maybe_unused]] const auto* kLockFolder = ::testing::AddGlobalTestEnvironment(new LockFolder);

}  // namespace

namespace lkmdb7_stress {

pid_t Spawn(const std::string& kind, const Env& env) {
    std::vector<std::string> vars;
    for (char** e = environ; *e != nullptr; ++e) {
        vars.emplace_back(*e);
    }
    vars.push_back("LKMDB7_STRESS_CHILD=" + kind);
    for (const auto& [name, value] : env) {
        vars.push_back(name + "=" + value);
    }
    std::vector<char*> envp;
    for (std::string& v : vars) {
        envp.push_back(v.data());
    }
    envp.push_back(nullptr);
    char path[] = "/proc/self/exe";
    char filter[] = "--gtest_filter=-*";
    char* argv[] = {path, filter, nullptr};
    pid_t pid = -1;
    return ::posix_spawn(&pid, path, nullptr, nullptr, argv, envp.data()) == 0 ? pid : -1;
}

int ExitCodeOf(pid_t pid) {
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

bool WaitForFile(const std::string& path, long long ms) {
    const auto start = Clock::now();
    while (!std::filesystem::exists(path)) {
        if (MsSince(start) > ms) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

}  // namespace lkmdb7_stress

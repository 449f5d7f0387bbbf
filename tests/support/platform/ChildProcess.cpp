#include "tests/support/platform/ChildProcess.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <memory>
#include <stdexcept>
#include <thread>

#include "tests/support/TestPaths.h"

#if __has_include(<spawn.h>)
#define LKMDB7_TEST_CHILDREN 1
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>

extern char** environ;
#else
#define LKMDB7_TEST_CHILDREN 0
#endif

namespace lkmdb7_test {

namespace {

// The child learns its mode and arguments from the environment: it runs before main's
// arguments could be looked at, and the environment reaches it unchanged on every POSIX system.
constexpr const char* kModeVar = "LKMDB7_CHILD_MODE";
constexpr const char* kArgCountVar = "LKMDB7_CHILD_ARGC";
constexpr const char* kArgVarPrefix = "LKMDB7_CHILD_ARG_";
constexpr const char* kChildVarPrefix = "LKMDB7_CHILD_";

std::map<std::string, ChildMain>& Modes() {
    static std::map<std::string, ChildMain> modes;
    return modes;
}

[[noreturn]] void EndChild(int code) {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(code);
}

int RunChild(const std::string& mode) {
    const auto found = Modes().find(mode);
    if (found == Modes().end()) {
        std::fprintf(stderr, "child process: no mode \"%s\" in this program\n", mode.c_str());
        return 127;
    }
    ChildArgs args;
    const char* countText = std::getenv(kArgCountVar);
    const int count = countText != nullptr ? std::atoi(countText) : 0;
    for (int i = 0; i < count; ++i) {
        const char* value = std::getenv((kArgVarPrefix + std::to_string(i)).c_str());
        args.emplace_back(value != nullptr ? value : "");
    }
    try {
        return found->second(args);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "child process \"%s\": %s\n", mode.c_str(), e.what());
    } catch (...) {
        std::fprintf(stderr, "child process \"%s\": unknown exception\n", mode.c_str());
    }
    return 126;
}

// Runs the child's mode once every global of the program exists (all modes are registered), and
// ends the process before any test could start.
class ChildDispatcher : public ::testing::EmptyTestEventListener {
  public:
    explicit ChildDispatcher(std::string mode) : mode_(std::move(mode)) {}
    void OnTestProgramStart(const ::testing::UnitTest&) override { EndChild(RunChild(mode_)); }

  private:
    std::string mode_;
};

#if LKMDB7_TEST_CHILDREN
// Lock files go to a folder of this process that only its own children see.
class PrivateLockFolder : public ::testing::Environment {
  public:
    void SetUp() override {
        scratch_ = std::make_unique<TempDir>();
        const std::filesystem::path locks = scratch_->path() / "locks";
        std::filesystem::create_directory(locks);
        std::filesystem::permissions(scratch_->path(), std::filesystem::perms::owner_all);
        std::filesystem::permissions(locks, std::filesystem::perms::owner_all);
        ::setenv("LKMDB7_LOCK_DIR", locks.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("LKMDB7_LOCK_DIR");
        scratch_.reset();
    }

  private:
    std::unique_ptr<TempDir> scratch_;
};
#endif

[[maybe_unused]] const bool kInstalled = [] {
    if (const char* mode = std::getenv(kModeVar)) {
        ::testing::UnitTest::GetInstance()->listeners().Append(new ChildDispatcher(mode));
        return true;
    }
#if LKMDB7_TEST_CHILDREN
    ::testing::AddGlobalTestEnvironment(new PrivateLockFolder);
#endif
    return true;
}();

}  // namespace

ChildMode::ChildMode(const char* name, ChildMain main) {
    Modes()[name] = main;
}

#if LKMDB7_TEST_CHILDREN

bool ChildProcessesSupported() {
    return true;
}

ChildProcess::ChildProcess(const std::string& mode, const ChildArgs& args) {
    // The parent's environment is copied, not changed: other threads may be reading it.
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        if (std::strncmp(*e, kChildVarPrefix, std::strlen(kChildVarPrefix)) != 0) {
            env.emplace_back(*e);
        }
    }
    env.push_back(std::string(kModeVar) + "=" + mode);
    env.push_back(std::string(kArgCountVar) + "=" + std::to_string(args.size()));
    for (std::size_t i = 0; i < args.size(); ++i) {
        env.push_back(kArgVarPrefix + std::to_string(i) + "=" + args[i]);
    }
    std::vector<char*> envp;
    for (std::string& e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);

    std::string self = "/proc/self/exe";
    std::string noTests = "--gtest_filter=-*";
    char* argv[] = {self.data(), noTests.data(), nullptr};
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data());
    if (rc != 0) {
        throw std::runtime_error("cannot start a child process in mode \"" + mode +
                                 "\": " + std::strerror(rc));
    }
    pid_ = pid;
}

bool ChildProcess::Reap(bool block) {
    if (pid_ <= 0) {
        return true;
    }
    int status = 0;
    pid_t got = -1;
    do {
        got = ::waitpid(pid_, &status, block ? 0 : WNOHANG);
    } while (got < 0 && errno == EINTR);
    if (got == 0) {
        return false;
    }
    result_ = got == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : kKilled;
    pid_ = -1;
    return true;
}

void ChildProcess::Kill() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        Reap(true);
    }
}

#else

bool ChildProcessesSupported() {
    return false;
}

ChildProcess::ChildProcess(const std::string& mode, const ChildArgs&) {
    throw std::runtime_error("no child processes on this platform (mode \"" + mode + "\")");
}

bool ChildProcess::Reap(bool) {
    return true;
}

void ChildProcess::Kill() {}

#endif

ChildProcess::~ChildProcess() {
    Kill();
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(other.pid_), result_(other.result_) {
    other.pid_ = -1;
}

bool ChildProcess::AwaitFile(const std::filesystem::path& file, std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (std::filesystem::exists(file)) {
            return true;
        }
        if (Reap(false) || std::chrono::steady_clock::now() >= deadline) {
            return std::filesystem::exists(file);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

std::optional<int> ChildProcess::WaitFor(std::chrono::milliseconds timeout) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!Reap(false)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return result_;
}

int ChildProcess::Wait() {
    Reap(true);
    return result_;
}

}  // namespace lkmdb7_test

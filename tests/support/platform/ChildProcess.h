// Second processes for tests: the test program starts itself again in a named mode.
//
// A test file registers a mode at namespace scope:
//
//     const lkmdb7_test::ChildMode kHold("hold", [](const lkmdb7_test::ChildArgs& args) {
//         ...;
//         return 0;
//     });
//
// and a test starts it with ChildProcess("hold", {"arg", ...}). The child is this same program,
// started with no tests selected; once all globals are constructed and before any test could
// run, it calls the mode's function with the arguments and ends with its result as exit code
// (127 for a mode that no file of the program registered). The child inherits the environment.
//
// Every process of a program that links this support keeps its lock files (LKMDB7_LOCK_DIR) in
// a private folder, mode 0700, that its children inherit: test cases that ctest runs side by side
// as separate processes never share a named mutex, the database's included.
//
// Child processes exist only where the platform has them (POSIX); elsewhere
// ChildProcessesSupported() is false and tests that need one skip.
#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace lkmdb7_test {

using ChildArgs = std::vector<std::string>;
using ChildMain = int (*)(const ChildArgs& args);

class ChildMode {
  public:
    // `name` must stay valid for the program's life (a literal).
    ChildMode(const char* name, ChildMain main);
};

bool ChildProcessesSupported();

// A running child; killed (SIGKILL) and reaped when destroyed while it still runs.
class ChildProcess {
  public:
    // What Wait() answers for a child that was ended by a signal instead of exiting.
    static constexpr int kKilled = -1;

    // Starts the child. Throws std::runtime_error when it cannot be started or the platform has
    // no child processes.
    explicit ChildProcess(const std::string& mode, const ChildArgs& args = {});
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;
    ChildProcess& operator=(ChildProcess&&) = delete;

    // Waits until `file` exists: true then; false after `timeout` or as soon as the child has
    // ended without creating it. For children that announce readiness with a file.
    bool AwaitFile(const std::filesystem::path& file, std::chrono::milliseconds timeout);
    // Waits for the child to end: its exit code, or kKilled. Answers the same again later.
    int Wait();
    // As Wait, but for at most `timeout`: nullopt while the child still runs then.
    std::optional<int> WaitFor(std::chrono::milliseconds timeout);
    // Ends the child at once (SIGKILL) and reaps it; nothing when it has already been reaped.
    void Kill();

  private:
    bool Reap(bool block);

    int pid_ = -1;  // -1: none, or already reaped
    int result_ = kKilled;
};

}  // namespace lkmdb7_test

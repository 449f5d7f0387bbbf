// What lkmdb asks of the operating system to keep secrets: the terminal's echo comes back when a
// signal ends the password prompt, and a process that holds passwords writes no core dump.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "cli/Terminal.h"
#include "tests/support/platform/ChildProcess.h"
#include "tests/support/platform/PseudoTerminal.h"

using namespace lkmdb7_test;

namespace {

// Exit code 0 when the process limits read as no core file at all.
const ChildMode kNoCoreDumps("no-core-dumps", [](const ChildArgs&) {
    lkmdb::DisableCoreDumps();
    std::ifstream limits("/proc/self/limits");
    for (std::string line; std::getline(limits, line);) {
        if (line.rfind("Max core file size", 0) == 0) {
            // The soft and the hard limit: the hard one keeps the process from raising it again.
            std::istringstream values(line.substr(std::string("Max core file size").size()));
            std::string soft;
            std::string hard;
            values >> soft >> hard;
            return soft == "0" && hard == "0" ? 0 : 1;
        }
    }
    return 2;
});

}  // namespace

TEST(Process, EchoComesBackWhenASignalEndsThePasswordPrompt) {
    if (!PseudoTerminalsSupported()) {
        GTEST_SKIP() << "no pseudo-terminals here";
    }
    for (EndSignal signal : {EndSignal::kInterrupt, EndSignal::kTerminate, EndSignal::kHangUp}) {
        SCOPED_TRACE(static_cast<int>(signal));
        const InterruptedPrompt r = InterruptAtPrompt(
            [] { static_cast<void>(lkmdb::ReadPasswordFromTerminal("Password: ")); },
            "Password: ", signal);
        EXPECT_TRUE(r.sawPrompt);
        EXPECT_FALSE(r.echoWhileAsking);
        EXPECT_TRUE(r.endedBySignal);
        EXPECT_TRUE(r.echoAfter);
    }
}

TEST(Process, CtrlZAtThePasswordPromptGivesTheShellItsEchoBack) {
    if (!PseudoTerminalsSupported() || !std::filesystem::exists("/proc/self/stat")) {
        GTEST_SKIP() << "no pseudo-terminals or no /proc here";
    }
    const SuspendedPrompt r = SuspendAtPrompt(
        [] {
            const auto typed = lkmdb::ReadPasswordFromTerminal("Password: ");
            return typed && *typed == "after fg" ? 0 : 1;
        },
        "Password: ", "after fg");
    EXPECT_TRUE(r.sawPrompt);
    EXPECT_TRUE(r.stopped);
    EXPECT_TRUE(r.echoWhileStopped);
    EXPECT_FALSE(r.echoAfterResume);
    EXPECT_EQ(r.exitCode, 0);
}

TEST(Process, CoreDumpsAreOff) {
    if (!ChildProcessesSupported() || !std::filesystem::exists("/proc/self/limits")) {
        GTEST_SKIP() << "no child processes or no process limits to read here";
    }
    ChildProcess child("no-core-dumps");
    EXPECT_EQ(child.Wait(), 0);
}

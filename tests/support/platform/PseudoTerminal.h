// A terminal prompt interrupted by a signal, for tests of what a program leaves its terminal in.
// POSIX pseudo-terminals; on Windows PseudoTerminalsSupported() is false and tests skip.
#pragma once

#include <functional>
#include <string>

namespace lkmdb7_test {

bool PseudoTerminalsSupported();

enum class EndSignal { kInterrupt, kTerminate, kHangUp };

struct InterruptedPrompt {
    bool sawPrompt = false;       // the child wrote the prompt to its terminal
    bool echoWhileAsking = true;  // the terminal's echo flag once the prompt was there
    bool echoAfter = false;       // the terminal's echo flag after the child ended
    bool endedBySignal = false;   // the child ended by that signal's default action
};

// Runs `ask` in a child process whose controlling terminal is a new pseudo-terminal with echo on,
// waits (up to 10 s) until `prompt` appears on the terminal, sends the child `signal` and waits
// for it to end.
InterruptedPrompt InterruptAtPrompt(const std::function<void()>& ask, const std::string& prompt,
                                    EndSignal signal);

struct SuspendedPrompt {
    bool sawPrompt = false;
    bool stopped = false;           // Ctrl-Z stopped the prompt
    bool echoWhileStopped = false;  // the terminal's echo flag while it was stopped
    bool echoAfterResume = true;    // the echo flag once it went on (SIGCONT)
    int exitCode = -1;              // what `ask` returned, after `typed` and a newline
};

// Runs `ask` in the foreground of a new pseudo-terminal with echo on (as a shell's job: its
// process group is not orphaned, so Ctrl-Z can stop it), waits for `prompt`, stops it with
// SIGTSTP, then continues it with SIGCONT and types `typed`. Needs /proc to see the stop.
SuspendedPrompt SuspendAtPrompt(const std::function<int()>& ask, const std::string& prompt,
                                const std::string& typed);

}  // namespace lkmdb7_test

#include "tests/support/platform/PseudoTerminal.h"

#include <stdexcept>

#if defined(_WIN32)

namespace lkmdb7_test {

bool PseudoTerminalsSupported() {
    return false;
}

InterruptedPrompt InterruptAtPrompt(const std::function<void()>&, const std::string&, EndSignal) {
    throw std::logic_error("no pseudo-terminals on Windows");
}

SuspendedPrompt SuspendAtPrompt(const std::function<int()>&, const std::string&,
                                const std::string&) {
    throw std::logic_error("no pseudo-terminals on Windows");
}

}  // namespace lkmdb7_test

#else

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <fstream>
#include <string>

namespace lkmdb7_test {

namespace {

bool EchoOn(int tty) {
    termios t{};
    return tcgetattr(tty, &t) == 0 && (t.c_lflag & ECHO) != 0;
}

// Waits up to 5 s for `done`.
bool Within5s(const std::function<bool()>& done) {
    for (int i = 0; i < 500; ++i) {
        if (done()) {
            return true;
        }
        usleep(10000);
    }
    return false;
}

// In a child after setsid: makes the terminal its controlling one, with echo on. The terminal's
// descriptor, or -1.
int TakeTerminalWithEcho(const std::string& slaveName) {
    const int slave = open(slaveName.c_str(), O_RDWR);
    if (slave < 0) {
        return -1;
    }
    ioctl(slave, TIOCSCTTY, 0);
    termios t{};
    tcgetattr(slave, &t);
    t.c_lflag |= ECHO;
    tcsetattr(slave, TCSANOW, &t);
    return slave;
}

// Reads what the child writes to its terminal until prompt is there (true) or 10 s have passed.
bool AwaitPrompt(int master, const std::string& prompt) {
    std::string seen;
    for (int waited = 0; waited < 100 && seen.find(prompt) == std::string::npos; ++waited) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            char buffer[256];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0) {
                seen.append(buffer, static_cast<std::size_t>(n));
            }
        }
    }
    return seen.find(prompt) != std::string::npos;
}

bool ProcessStopped(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    std::getline(stat, line);
    const std::size_t end = line.rfind(')');
    return end != std::string::npos && end + 2 < line.size() && line[end + 2] == 'T';
}

}  // namespace

bool PseudoTerminalsSupported() {
    return true;
}

SuspendedPrompt SuspendAtPrompt(const std::function<int()>& ask, const std::string& prompt,
                                const std::string& typed) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    const std::string slaveName = ptsname(master);
    const int watch = open(slaveName.c_str(), O_RDWR | O_NOCTTY);
    int pidPipe[2];
    if (watch < 0 || pipe(pidPipe) != 0) {
        throw std::runtime_error("pseudo-terminal cannot be opened");
    }
    // The child leads the session, as a shell does, and runs `ask` in a job of its own.
    const pid_t leader = fork();
    if (leader < 0) {
        throw std::runtime_error("fork failed");
    }
    if (leader == 0) {
        close(pidPipe[0]);
        setsid();
        const int slave = TakeTerminalWithEcho(slaveName);
        if (slave < 0) {
            _exit(120);
        }
        signal(SIGTTOU, SIG_IGN);
        const pid_t job = fork();
        if (job == 0) {
            setpgid(0, 0);
            tcsetpgrp(slave, getpgrp());
            signal(SIGTTOU, SIG_DFL);
            _exit(ask());
        }
        setpgid(job, job);
        (void)!write(pidPipe[1], &job, sizeof job);
        int status = 0;
        while (waitpid(job, &status, WUNTRACED) == job && WIFSTOPPED(status)) {
        }
        _exit(WIFEXITED(status) ? WEXITSTATUS(status) : 121);
    }
    close(pidPipe[1]);
    pid_t job = -1;
    (void)!read(pidPipe[0], &job, sizeof job);
    close(pidPipe[0]);
    SuspendedPrompt result;
    result.sawPrompt = AwaitPrompt(master, prompt);
    if (job > 0 && result.sawPrompt) {
        kill(job, SIGTSTP);
        result.stopped = Within5s([&] { return ProcessStopped(job); });
        result.echoWhileStopped = EchoOn(watch);
        kill(job, SIGCONT);
        result.echoAfterResume = !Within5s([&] { return !EchoOn(watch); });
        const std::string line = typed + "\n";
        (void)!write(master, line.data(), line.size());
    } else if (job > 0) {
        kill(job, SIGKILL);
    }
    int status = 0;
    waitpid(leader, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    close(watch);
    close(master);
    return result;
}

InterruptedPrompt InterruptAtPrompt(const std::function<void()>& ask, const std::string& prompt,
                                    EndSignal signal) {
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
        throw std::runtime_error("no pseudo-terminal");
    }
    const std::string slaveName = ptsname(master);
    // Held open here too, so that the terminal and its settings outlive the child.
    const int watch = open(slaveName.c_str(), O_RDWR | O_NOCTTY);
    if (watch < 0) {
        close(master);
        throw std::runtime_error("pseudo-terminal cannot be opened");
    }
    const pid_t child = fork();
    if (child < 0) {
        close(watch);
        close(master);
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        close(watch);
        setsid();
        if (TakeTerminalWithEcho(slaveName) < 0) {
            _exit(120);
        }
        ask();
        _exit(0);
    }
    InterruptedPrompt result;
    result.sawPrompt = AwaitPrompt(master, prompt);
    termios t{};
    if (tcgetattr(watch, &t) == 0) {
        result.echoWhileAsking = (t.c_lflag & ECHO) != 0;
    }
    const int number = signal == EndSignal::kInterrupt   ? SIGINT
                       : signal == EndSignal::kTerminate ? SIGTERM
                                                         : SIGHUP;
    kill(child, number);
    int status = 0;
    waitpid(child, &status, 0);
    result.endedBySignal = WIFSIGNALED(status) && WTERMSIG(status) == number;
    if (tcgetattr(watch, &t) == 0) {
        result.echoAfter = (t.c_lflag & ECHO) != 0;
    }
    close(watch);
    close(master);
    return result;
}

}  // namespace lkmdb7_test

#endif

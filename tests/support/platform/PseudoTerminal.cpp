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

namespace lkmdb7_test {

bool PseudoTerminalsSupported() {
    return true;
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
        const int slave = open(slaveName.c_str(), O_RDWR);
        if (slave < 0) {
            _exit(120);
        }
        ioctl(slave, TIOCSCTTY, 0);
        termios t{};
        tcgetattr(slave, &t);
        t.c_lflag |= ECHO;
        tcsetattr(slave, TCSANOW, &t);
        ask();
        _exit(0);
    }
    InterruptedPrompt result;
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
    result.sawPrompt = seen.find(prompt) != std::string::npos;
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

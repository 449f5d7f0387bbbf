#include "cli/Terminal.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iterator>
#if defined(__linux__)
#include <sys/prctl.h>
#endif

namespace lkmdb {
namespace {

// The terminal whose echo is off while a password is typed, and its settings before.
int g_tty = -1;
termios g_saved{};

constexpr int kFatalSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

// A signal that ends the process while echo is off must not leave the terminal silent.
extern "C" void RestoreTerminalAndDie(int signal) {
    tcsetattr(g_tty, TCSAFLUSH, &g_saved);
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);  // delivered, with the default action, once this handler returns
}

// Ctrl-Z while echo is off: the shell the user returns to must echo, and the prompt typed into
// after `fg` must not. The stop happens inside the handler, so the code after it runs on SIGCONT.
extern "C" void StopWithEchoOn(int signal) {
    const int savedErrno = errno;
    termios quiet{};
    const bool haveQuiet = tcgetattr(g_tty, &quiet) == 0;
    tcsetattr(g_tty, TCSAFLUSH, &g_saved);
    struct sigaction stop {};
    struct sigaction self {};
    stop.sa_handler = SIG_DFL;
    sigemptyset(&stop.sa_mask);
    sigaction(signal, &stop, &self);
    sigset_t only{};
    sigemptyset(&only);
    sigaddset(&only, signal);
    sigprocmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);  // stops here until SIGCONT
    sigaction(signal, &self, nullptr);
    if (haveQuiet) {
        tcsetattr(g_tty, TCSAFLUSH, &quiet);
    }
    errno = savedErrno;
}

}  // namespace

bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

bool StdoutIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}

std::optional<std::string> ReadPasswordFromTerminal(const std::string& prompt) {
    const int tty = open("/dev/tty", O_RDWR | O_CLOEXEC);
    if (tty < 0) {
        return std::nullopt;
    }
    termios saved{};
    if (tcgetattr(tty, &saved) != 0) {
        close(tty);
        return std::nullopt;
    }
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    quiet.c_lflag |= ECHONL;
    g_tty = tty;
    g_saved = saved;
    struct sigaction restore {};
    restore.sa_handler = RestoreTerminalAndDie;
    sigemptyset(&restore.sa_mask);
    struct sigaction previous[std::size(kFatalSignals)]{};
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
        sigaction(kFatalSignals[i], &restore, &previous[i]);
    }
    struct sigaction suspend {};
    suspend.sa_handler = StopWithEchoOn;
    suspend.sa_flags = SA_RESTART;
    sigemptyset(&suspend.sa_mask);
    struct sigaction previousSuspend {};
    sigaction(SIGTSTP, &suspend, &previousSuspend);
    tcsetattr(tty, TCSAFLUSH, &quiet);
    (void)!write(tty, prompt.data(), prompt.size());
    std::string line;
    line.reserve(1024);  // growing would leave copies of the start in freed memory
    char c = 0;
    for (;;) {
        const ssize_t n = read(tty, &c, 1);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n != 1 || c == '\n') {
            break;
        }
        line += c;
    }
    c = 0;
    tcsetattr(tty, TCSAFLUSH, &saved);
    sigaction(SIGTSTP, &previousSuspend, nullptr);
    for (std::size_t i = 0; i < std::size(kFatalSignals); ++i) {
        sigaction(kFatalSignals[i], &previous[i], nullptr);
    }
    g_tty = -1;
    close(tty);
    return line;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string NativePath(const std::string& utf8) {
    return utf8;
}
std::string PathToUtf8(const std::string& native) {
    return native;
}

void PrepareConsoleOutput() {}

void DisableCoreDumps() {
    const rlimit none{0, 0};
    (void)setrlimit(RLIMIT_CORE, &none);
#if defined(__linux__)
    (void)prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

bool SecureRandomBytes(unsigned char* bytes, std::size_t size) {
    std::ifstream source("/dev/urandom", std::ios::binary);
    source.rdbuf()->pubsetbuf(nullptr, 0);  // no copy of the bytes left in a stream buffer
    return static_cast<bool>(
        source.read(reinterpret_cast<char*>(bytes), static_cast<std::streamsize>(size)));
}

}  // namespace lkmdb

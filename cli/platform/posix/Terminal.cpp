#include "cli/Terminal.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace lkmdb {

bool StderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
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
    (void)!write(tty, prompt.data(), prompt.size());
    tcsetattr(tty, TCSAFLUSH, &quiet);
    std::string line;
    char c = 0;
    while (read(tty, &c, 1) == 1 && c != '\n') {
        line += c;
    }
    tcsetattr(tty, TCSAFLUSH, &saved);
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

}  // namespace lkmdb

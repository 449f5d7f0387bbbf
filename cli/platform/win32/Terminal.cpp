#include "cli/Terminal.h"

#include <algorithm>

#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>
// bcrypt.h needs windows.h first.
#include <bcrypt.h>

namespace lkmdb {
namespace {

std::wstring Widen(const std::string& text, UINT codePage) {
    if (text.empty()) {
        return {};
    }
    const int size = static_cast<int>(text.size());
    const int n = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), n);
    return wide;
}

std::string Narrow(const std::wstring& wide, UINT codePage) {
    if (wide.empty()) {
        return {};
    }
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), size, text.data(), n, nullptr, nullptr);
    return text;
}

// The console whose echo is off while a password is typed, and its mode before.
HANDLE g_console = INVALID_HANDLE_VALUE;
DWORD g_savedMode = 0;

// Ctrl-C, Ctrl-Break or closing the window end the process: the console gets its echo back.
BOOL WINAPI RestoreConsole(DWORD /*event*/) {
    SetConsoleMode(g_console, g_savedMode);
    return FALSE;  // the default handler ends the process
}

}  // namespace

bool StderrIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

bool StdoutIsTerminal() {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode) != 0;
}

std::optional<std::string> ReadPasswordFromTerminal(const std::string& prompt) {
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
    HANDLE out = CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    DWORD saved = 0;
    if (in == INVALID_HANDLE_VALUE || !GetConsoleMode(in, &saved)) {
        if (in != INVALID_HANDLE_VALUE) {
            CloseHandle(in);
        }
        if (out != INVALID_HANDLE_VALUE) {
            CloseHandle(out);
        }
        return std::nullopt;
    }
    const std::wstring wprompt = Widen(prompt, CP_UTF8);
    DWORD written = 0;
    if (out != INVALID_HANDLE_VALUE) {
        WriteConsoleW(out, wprompt.data(), static_cast<DWORD>(wprompt.size()), &written, nullptr);
    }
    g_console = in;
    g_savedMode = saved;
    SetConsoleCtrlHandler(RestoreConsole, TRUE);
    SetConsoleMode(in, (saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT)) | ENABLE_LINE_INPUT);
    std::wstring line;
    line.reserve(1024);  // growing would leave copies of the start in freed memory
    wchar_t c = 0;
    DWORD read = 0;
    while (ReadConsoleW(in, &c, 1, &read, nullptr) && read == 1 && c != L'\n') {
        if (c != L'\r') {
            line += c;
        }
    }
    c = 0;
    SetConsoleMode(in, saved);
    SetConsoleCtrlHandler(RestoreConsole, FALSE);
    g_console = INVALID_HANDLE_VALUE;
    if (out != INVALID_HANDLE_VALUE) {
        WriteConsoleW(out, L"\r\n", 2, &written, nullptr);
        CloseHandle(out);
    }
    CloseHandle(in);
    std::string narrow = Narrow(line, CP_UTF8);
    std::fill(line.begin(), line.end(), L'\0');
    return narrow;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
    }
    std::vector<std::string> args;
    for (int i = 1; i < count; ++i) {
        args.push_back(Narrow(wide[i], CP_UTF8));
    }
    LocalFree(wide);
    return args;
}

std::string NativePath(const std::string& utf8) {
    return Narrow(Widen(utf8, CP_UTF8), CP_ACP);
}
std::string PathToUtf8(const std::string& native) {
    return Narrow(Widen(native, CP_ACP), CP_UTF8);
}

void PrepareConsoleOutput() {
    SetConsoleOutputCP(CP_UTF8);
}

void DisableCoreDumps() {}

bool SecureRandomBytes(unsigned char* bytes, std::size_t size) {
    return BCryptGenRandom(nullptr, bytes, static_cast<ULONG>(size),
                           BCRYPT_USE_SYSTEM_PREFERRED_RNG) >= 0;
}

}  // namespace lkmdb

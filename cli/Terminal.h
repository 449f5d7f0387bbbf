// The few things the tool needs from the operating system beyond the library: the terminal, the
// program's arguments and file names. One implementation per platform (platform/posix,
// platform/win32). This header includes no library header, so the Windows implementation can
// include windows.h without the two sets of type names meeting.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace lkmdb {

bool StderrIsTerminal();
bool StdoutIsTerminal();

// Shows prompt and reads one line from the terminal without echo, as UTF-8; nullopt when the
// process has no terminal.
std::optional<std::string> ReadPasswordFromTerminal(const std::string& prompt);

// The program's arguments as UTF-8, without the program name.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// A UTF-8 file name in the form that the C library and the database library open (the ANSI code
// page on Windows; unchanged elsewhere).
std::string NativePath(const std::string& utf8);
// The reverse of NativePath.
std::string PathToUtf8(const std::string& native);

// Makes a console show UTF-8 output as such (Windows); nothing elsewhere.
void PrepareConsoleOutput();

// Puts `bytes` into the file `native` whole or not at all: they go to a new temporary file beside
// it (created exclusively, readable and writable by its owner only: 0600 on POSIX), are flushed
// to disk, and only then does that file take the name. Whatever fails removes the temporary file,
// so a full disk leaves nothing of what was written. An existing name (a dangling link included)
// is refused unless `replace`; then only a regular file is replaced, never a link, a folder, a
// pipe or a device. Returns "" on success, else the reason, worded to follow the file's name.
std::string WritePrivateFile(const std::string& native, const std::string& bytes, bool replace);

// Why `native` is no regular file (a link to one is one), worded to follow its name ("is a named
// pipe (FIFO), not a file"); "" for a regular file and for a name that is not there (opening it
// then tells). Looks without opening, so never waits on a pipe or a device.
std::string NotARegularFile(const std::string& native);

// Reads the regular file `native` (a link to one is followed) whole into `bytes`. A pipe, a
// device, a socket or a folder is refused at once without waiting on it, and so is a file of more
// than `limit` bytes (a whole number of MiB). Returns "" on success, else the reason, worded to
// follow the file's name
// ("cannot be read (...)", "is larger than 256 MiB").
std::string ReadRegularFile(const std::string& native, std::size_t limit, std::string& bytes);

// Fills `size` bytes from the system's secure random source (getrandom or /dev/urandom on POSIX,
// BCryptGenRandom on Windows); false when it cannot.
bool SecureRandomBytes(unsigned char* bytes, std::size_t size);

// Keeps the secrets of this process out of core dumps and away from debuggers of the same user
// (POSIX); nothing on Windows.
void DisableCoreDumps();

}  // namespace lkmdb

// lkmdb, the command-line tool: one entry point that the program and the tests call in-process.
#pragma once

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace lkmdb {

// Exit codes, as `lkmdb --help` documents them.
inline constexpr int kExitOk = 0;
inline constexpr int kExitNotFound = 1;  // also: faults found by verify
inline constexpr int kExitFailure = 2;   // usage, unreadable or malformed file, lock not obtained
inline constexpr int kExitPassword = 3;  // wrong or missing password, or one for a plain database

// What the tool may ask of the terminal. The defaults suit tests: no progress output and no
// terminal to prompt on.
struct Environment {
    // Progress lines for long work go to the error stream.
    bool showProgress = false;
    // Values printed alone for scripts (show --field) are shown escaped on a terminal.
    bool outputIsTerminal = false;
    // Reads a password without echo (UTF-8); nullopt when there is no terminal.
    std::function<std::optional<std::string>(const std::string& prompt)> askPassword;
    // The database that a command given no PATH works on (LKMDB_DATABASE); empty for none.
    std::string database;
};

// Runs one command line (args without the program name). Texts are UTF-8 on every stream.
// Never throws: every failure becomes one line on err and an exit code.
int RunLkmdb(std::vector<std::string> args, std::istream& in, std::ostream& out, std::ostream& err,
             const Environment& env = {});

}  // namespace lkmdb

// The lkmdb program: the terminal-facing shell around RunLkmdb.
#include <cstdio>
#include <cstdlib>
#include <iostream>

#include "cli/Lkmdb.h"
#include "cli/Terminal.h"

int main(int argc, char** argv) {
    // Passwords and the records they open are held in memory from here on.
    lkmdb::DisableCoreDumps();
    // Standard input carries a password at most (--password-stdin): read unbuffered, it leaves
    // no copy in a stream buffer, and the bytes after its line stay unread.
    std::setvbuf(stdin, nullptr, _IONBF, 0);
    lkmdb::PrepareConsoleOutput();
    lkmdb::Environment env;
    env.showProgress = lkmdb::StderrIsTerminal();
    env.outputIsTerminal = lkmdb::StdoutIsTerminal();
    env.askPassword = lkmdb::ReadPasswordFromTerminal;
    if (const char* database = std::getenv("LKMDB_DATABASE")) {
        env.database = lkmdb::PathToUtf8(database);
    }
    return lkmdb::RunLkmdb(lkmdb::ProgramArguments(argc, argv), std::cin, std::cout, std::cerr,
                           env);
}

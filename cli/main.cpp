// The lkmdb program: the terminal-facing shell around RunLkmdb.
#include <iostream>

#include "cli/Lkmdb.h"
#include "cli/Terminal.h"

int main(int argc, char** argv) {
    lkmdb::PrepareConsoleOutput();
    lkmdb::Environment env;
    env.showProgress = lkmdb::StderrIsTerminal();
    env.askPassword = lkmdb::ReadPasswordFromTerminal;
    return lkmdb::RunLkmdb(lkmdb::ProgramArguments(argc, argv), std::cin, std::cout, std::cerr,
                           env);
}

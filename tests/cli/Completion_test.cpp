// lkmdb completion SHELL: scripts made from the command definitions name every command that the
// help lists, with their options and what those take; the command itself stays out of sight.
#include <gtest/gtest.h>

#include <sstream>

#include "tests/support/LkmdbRun.h"

using namespace lkmdb7_test;

namespace {

// The subcommands that `lkmdb [COMMAND] --help` lists.
std::vector<std::string> HelpSubcommands(std::vector<std::string> command) {
    command.push_back("--help");
    std::istringstream help(RunLkmdbCommand(command).out);
    std::vector<std::string> names;
    bool inList = false;
    for (std::string line; std::getline(help, line);) {
        if (line == "Subcommands:") {
            inList = true;
        } else if (inList && line.rfind("  ", 0) == 0 && line.size() > 2 && line[2] != ' ') {
            names.push_back(line.substr(2, line.find(' ', 2) - 2));
        } else if (inList && line.empty()) {
            break;
        }
    }
    return names;
}

std::string Script(const std::string& shell) {
    const LkmdbResult r = RunLkmdbCommand({"completion", shell});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");
    return r.out;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

}  // namespace

TEST(Completion, EveryShellsScriptNamesTheCommandsAndOptionsOfTheHelp) {
    const std::vector<std::string> top = HelpSubcommands({});
    const std::vector<std::string> types = HelpSubcommands({"type"});
    ASSERT_GE(top.size(), 20u);
    ASSERT_EQ(types, (std::vector<std::string>{"ls", "add", "rm"}));

    const std::string bash = Script("bash");
    const std::string zsh = Script("zsh");
    const std::string fish = Script("fish");
    std::string topWords;
    for (const std::string& name : top) {
        topWords += (topWords.empty() ? "" : " ") + name;
        EXPECT_TRUE(Has(zsh, "\n                '" + name + ":")) << name;
        EXPECT_TRUE(Has(fish, "-n '__lkmdb_argument \\'\\'' -a '" + name + "'")) << name;
    }
    EXPECT_TRUE(Has(bash, "        '')\n            subs='" + topWords + "'\n")) << bash;
    EXPECT_TRUE(Has(bash, "        'type')\n            subs='ls add rm'\n")) << bash;
    EXPECT_TRUE(Has(fish, "case 'type'\n            printf '%s\\n' 'ls' 'add' 'rm'")) << fish;
    EXPECT_TRUE(Has(zsh, "_lkmdb_command_type_add() {")) << zsh;

    // What an option takes: a file, a folder, one of a list, or text; and a command's options
    // include the program's, which may follow the command.
    EXPECT_TRUE(Has(bash, "--password-file=file")) << bash;
    EXPECT_TRUE(Has(bash, "--format=choice:csv,json")) << bash;
    EXPECT_TRUE(Has(bash, "--to=folder")) << bash;
    EXPECT_TRUE(Has(bash, "args='file folder'")) << bash;  // recover DAMAGED FOLDER
    EXPECT_TRUE(Has(zsh, "'--format''[csv (default) or json]:value:(csv json)'")) << zsh;
    EXPECT_TRUE(Has(zsh, "'*--field-stdin'")) << zsh;  // may be given again
    EXPECT_TRUE(Has(zsh, "'(-o --output)'{-o,--output}'[")) << zsh;
    EXPECT_TRUE(Has(fish, "-n '__lkmdb_is \\'type add\\'' -l 'label' -x")) << fish;
    EXPECT_TRUE(Has(fish, "-n '__lkmdb_is \\'passwd\\'' -l 'password-file' -r -F")) << fish;
    EXPECT_TRUE(Has(fish,
                    "-l 'ask-new-password' -d 'ask for the new password on the terminal, "
                    "twice'"))
        << fish;

    for (const std::string* script : {&zsh, &fish}) {
        EXPECT_FALSE(Has(*script, "completion script")) << *script;  // hidden, as in the help
    }
}

TEST(Completion, StaysOutOfTheHelpAndRefusesOtherShells) {
    EXPECT_FALSE(Has(RunLkmdbCommand({"--help"}).out, "completion"));
    const LkmdbResult r = RunLkmdbCommand({"completion", "tcsh"});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(Has(r.err, "tcsh")) << r.err;
}

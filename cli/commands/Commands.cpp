#include "cli/commands/Commands.h"

namespace lkmdb {

CLI::App* Commands::Add(CLI::App& app, const std::string& name, const std::string& description) {
    CLI::App* sub = app.add_subcommand(name, description);
    sub->fallthrough();
    // Each command's help lists the password options, which belong to the program; the rest of
    // the program's long footer stays in lkmdb --help.
    sub->footer(
        "Password options (before or after the command): --password-file FILE (its first line),\n"
        "--password-stdin, or --ask-password; never an argument. Without PATH, the database that\n"
        "LKMDB_DATABASE names. Exit codes and more: lkmdb --help.");
    return sub;
}

const std::function<int()>* Commands::Find(const CLI::App* sub) const {
    const auto it = actions_.find(sub);
    return it == actions_.end() ? nullptr : &it->second;
}

}  // namespace lkmdb

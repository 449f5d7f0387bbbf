// The subcommands of lkmdb. Each Add* function declares one subcommand with its options and binds
// the action that runs once the whole command line has been parsed.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/Context.h"
#include "cli/Database.h"
#include "cli/Names.h"
#include "cli/Progress.h"

namespace lkmdb {

class Commands {
  public:
    explicit Commands(Context& ctx) : ctx_(ctx) {}
    Context& Ctx() { return ctx_; }
    // A subcommand that lets the global options (the password sources) follow its own.
    CLI::App* Add(CLI::App& app, const std::string& name, const std::string& description);
    void Bind(CLI::App* sub, std::function<int()> action) { actions_[sub] = std::move(action); }
    // The action bound to sub, or null.
    const std::function<int()>* Find(const CLI::App* sub) const;

  private:
    Context& ctx_;
    std::map<const CLI::App*, std::function<int()>> actions_;
};

// Every item's values as dump shows them, without the checksums: what must survive a rewrite.
nlohmann::json ItemsJson(LKMDB7::CDatabaseObj7& db);

void AddDemo(CLI::App& app, Commands& commands);
void AddInit(CLI::App& app, Commands& commands);
void AddInfo(CLI::App& app, Commands& commands);
void AddLs(CLI::App& app, Commands& commands);
void AddShow(CLI::App& app, Commands& commands);
void AddSearch(CLI::App& app, Commands& commands);
void AddAdd(CLI::App& app, Commands& commands);
void AddRm(CLI::App& app, Commands& commands);
void AddEdit(CLI::App& app, Commands& commands);
void AddType(CLI::App& app, Commands& commands);
void AddGenerate(CLI::App& app, Commands& commands);
void AddPurge(CLI::App& app, Commands& commands);
void AddExport(CLI::App& app, Commands& commands);
void AddImport(CLI::App& app, Commands& commands);
void AddDump(CLI::App& app, Commands& commands);
void AddVerify(CLI::App& app, Commands& commands);
void AddUpgrade(CLI::App& app, Commands& commands);
void AddBackup(CLI::App& app, Commands& commands);
void AddRestore(CLI::App& app, Commands& commands);
void AddRecover(CLI::App& app, Commands& commands);
void AddPasswd(CLI::App& app, Commands& commands);
// Hidden: prints a shell's completion script of every command that app holds when it runs.
void AddCompletion(CLI::App& app, Commands& commands);

}  // namespace lkmdb

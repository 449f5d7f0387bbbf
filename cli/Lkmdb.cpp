#include "cli/Lkmdb.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <istream>
#include <ostream>

#include "cli/CliError.h"
#include "cli/Context.h"
#include "cli/Json.h"
#include "cli/Password.h"
#include "cli/Text1252.h"
#include "cli/commands/Commands.h"

namespace lkmdb {
namespace {

constexpr const char* kFooter = R"(
PATH is a database file, or a folder that holds "LockmeraDatabase.lkb". Texts are UTF-8; the
database stores them in Windows-1252, and a character it cannot store is refused before anything
changes. Commands that only read never change the file: an older file is read as it is.

Passwords: a database with a password needs it, from --password-file FILE (its first line), from
standard input with --password-stdin, or typed on the terminal with --ask-password; never from an
argument or the environment. Every command that reads or writes a database first decides whether
the password is right (its crib decides, else its records' checksums) and stops with exit code 3
on a wrong or missing password, or on one given for a database without. info needs none; backup
and restore take none. init with a password gives the new database one; passwd changes, adds or
removes it. A command that changes a database refuses to save records that fail their checksums.

Saving writes a new file beside the database and renames it over the old one. Where the folder
refuses new files (the file alone is writable), nothing is written unless --save-in-place FOLDER
is given: a complete copy then goes to FOLDER first, and stays there only if the write in place
was cut short (a crash) or could not be undone.

Exit codes:
  0  success
  1  not found: no database at PATH, no such record, type or category, nothing matched the
     search; or faults found by verify, or items lost by recover
  2  usage error, unreadable or malformed file, lock not obtained, file not written
  3  wrong password, a password missing, or one given for a database that has none
)";

// CLI11 takes the arguments last first.
std::vector<std::string> Reversed(std::vector<std::string> args) {
    std::reverse(args.begin(), args.end());
    return args;
}

// args with `path` put in as the first positional argument of the command chosen (after its
// name), when that argument is PATH; nullopt otherwise.
std::optional<std::vector<std::string>> InsertPath(const CLI::App& app,
                                                   std::vector<std::string> args,
                                                   const std::string& path) {
    auto at = args.begin();
    const CLI::App* chosen = &app;
    while (!chosen->get_subcommands().empty()) {
        chosen = chosen->get_subcommands().front();
        at = std::find(at, args.end(), chosen->get_name());
        if (at == args.end()) {
            return std::nullopt;
        }
        ++at;
    }
    if (chosen == &app || chosen->get_option_no_throw("PATH") == nullptr) {
        return std::nullopt;
    }
    args.insert(at, path);
    return args;
}

// Error messages quote file names and stored texts: shown escaped, on one line.
std::string OneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\n', ' ');
    return Printable(text);
}

}  // namespace

int RunLkmdb(std::vector<std::string> args, std::istream& in, std::ostream& out, std::ostream& err,
             const Environment& env) {
    Context ctx{in, out, err, env, {}, false, {}, false, {}};
    // Scripts that ask for JSON get their errors in JSON too, on the error stream.
    const bool json = std::find(args.begin(), args.end(), "--json") != args.end();
    const auto fail = [&](int code, const std::string& message, const std::string& hint = {}) {
        if (json) {
            err << ErrorJson(code, message).dump() << '\n';
        } else {
            err << "lkmdb: " << OneLine(message) << hint << '\n';
        }
        return code;
    };
    try {
        CLI::App app{
            "lkmdb: look inside a Lockmera password database, search it, change it, "
            "check it, export from it and import into it.",
            "lkmdb"};
        // "/x" is a path here, also on Windows (where CLI11 would take it for an option); the
        // subcommands inherit this.
        app.allow_windows_style_options(false);
        app.footer(kFooter);
        app.set_version_flag("--version",
                             std::string("lkmdb ") + LKMDB7_VERSION_STRING + " (library " +
                                 LKMDB7::GetLibraryVersion().text +
                                 "; writes database files of version " +
                                 std::to_string(LKMDB7::kCurrentVersion) + ")",
                             "print the version and exit");
        app.get_formatter()->column_width(34);
        CLI::Option* file = app.add_option("--password-file", ctx.password.file,
                                           "read the password from the first line of FILE")
                                ->type_name("FILE");
        CLI::Option* fromStdin = app.add_flag("--password-stdin", ctx.password.fromStdin,
                                              "read the password from standard input");
        CLI::Option* ask = app.add_flag("--ask-password", ctx.password.ask,
                                        "ask for the password on the terminal");
        file->excludes(fromStdin)->excludes(ask);
        fromStdin->excludes(ask);
        app.add_option("--save-in-place", ctx.inPlaceCopyFolder,
                       "where the database's folder refuses new files, write the file in place, "
                       "after a complete copy of it is flushed into FOLDER (put back if the "
                       "write fails)")
            ->type_name("FOLDER");

        Commands commands(ctx);
        for (auto add : {AddDemo,    AddInit,   AddInfo,     AddLs,        AddShow,   AddSearch,
                         AddAdd,     AddEdit,   AddRm,       AddType,      AddPurge,  AddExport,
                         AddImport,  AddDump,   AddVerify,   AddUpgrade,   AddBackup, AddRestore,
                         AddRecover, AddPasswd, AddGenerate, AddCompletion}) {
            add(app, commands);
        }
        app.require_subcommand(1);

        if (!args.empty() && !args.front().empty() && args.front()[0] != '-') {
            try {
                app.get_subcommand(args.front());
            } catch (const CLI::OptionNotFound&) {
                return fail(kExitFailure, "unknown command '" + args.front() + "'",
                            " (see lkmdb --help)");
            }
        }
        try {
            try {
                app.parse(Reversed(args));
            } catch (const CLI::RequiredError&) {
                // A command whose PATH was left out: the database that the environment names.
                std::optional<std::vector<std::string>> withPath =
                    env.database.empty() ? std::nullopt : InsertPath(app, args, env.database);
                if (!withPath) {
                    throw;
                }
                app.clear();
                app.parse(Reversed(*withPath));
            }
        } catch (const CLI::ParseError& e) {
            if (e.get_exit_code() == 0) {
                app.exit(e, out, err);  // --help, --version
                return kExitOk;
            }
            return fail(kExitFailure, e.what(), " (see lkmdb --help)");
        }
        const CLI::App* chosen = app.get_subcommands().front();
        while (!chosen->get_subcommands().empty()) {
            chosen = chosen->get_subcommands().front();  // type ls, type add, ...
        }
        const auto* action = commands.Find(chosen);
        CipherScope cipher(ctx);
        return (*action)();
    } catch (const CliError& e) {
        return fail(e.ExitCode(), e.what());
    } catch (const std::exception& e) {
        // The library's exceptions name the file and what was wrong.
        return fail(kExitFailure, e.what());
    }
}

}  // namespace lkmdb

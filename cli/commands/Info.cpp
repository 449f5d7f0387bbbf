#include "cli/Listing.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

void AddInfo(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        bool json = false;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(
        app, "info", "Version, password check, enciphered or not, dates, counts and file size");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_flag("--json", opts->json, "print JSON");
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        // Nothing that info shows is enciphered: it needs no password, but checks one given.
        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kRead, PasswordCheck::kOptional);
        PrintInfo(ctx, db.Db(), db.File(), db.FileVersion(), opts->json);
        return kExitOk;
    });
}

}  // namespace lkmdb

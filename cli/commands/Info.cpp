#include "cli/commands/Commands.h"
#include "cli/commands/Listing.h"

namespace lkmdb {

void AddInfo(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        bool json = false;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "info", "Version, password, dates, counts and file size");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_flag("--json", opts->json, "print JSON");
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kRead);
        PrintInfo(ctx, db.Db(), db.File(), db.FileVersion(), opts->json);
        return kExitOk;
    });
}

}  // namespace lkmdb

#include <ostream>

#include "cli/commands/Commands.h"

namespace lkmdb {

void AddUpgrade(CLI::App& app, Commands& commands) {
    auto path = std::make_shared<std::string>();
    CLI::App* sub = commands.Add(app, "upgrade", "Rewrite an older file in the current version");
    sub->add_option("PATH", *path, "database file or folder")->required();
    commands.Bind(sub, [path, &ctx = commands.Ctx()] {
        OpenDatabase db(ctx, *path, OpenDatabase::Mode::kWrite);
        const unsigned version = db.FileVersion();
        if (version >= LKMDB7::kCurrentVersion) {
            ctx.out << db.File().shown << ": already version " << version << '\n';
            return kExitOk;
        }
        db.Save();
        ctx.out << db.File().shown << ": upgraded from version " << version << " to "
                << db.Db().GetVersion() << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb

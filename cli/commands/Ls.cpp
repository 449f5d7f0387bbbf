#include "cli/Listing.h"
#include "cli/commands/Commands.h"

using namespace LKMDB7;

namespace lkmdb {

void AddLs(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        std::string type;
        std::string category;
        bool json = false;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "ls", "One line per record: ID, type, category, first field");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("--type", opts->type, "only records of this type (\"Unfiled\": none)");
    sub->add_option("--category", opts->category, "only records of this category");
    sub->add_flag("--json", opts->json, "print JSON");
    commands.Bind(sub, [opts, sub, &ctx = commands.Ctx()] {
        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kRead);
        const CUID type =
            sub->count("--type") != 0 ? TypeIDByName(db.Db(), opts->type, db.File()) : CUID_ALL;
        const CUID category = sub->count("--category") != 0
                                  ? CategoryIDByName(db.Db(), opts->category, db.File())
                                  : CUID_ALL;
        PrintRecordList(ctx, db.Db(), RecordsInView(db.Db(), type, category), opts->json);
        return kExitOk;
    });
}

}  // namespace lkmdb

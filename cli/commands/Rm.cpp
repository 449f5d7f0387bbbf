#include <ostream>

#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

void AddRm(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        std::string record;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "rm", "Mark a record deleted (purge removes it)");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("RECORD", opts->record, "its ID as ls shows it, or its first field")
        ->required();
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kWrite);
        CRecord* record = &FindRecord(db.Db(), opts->record, db.File());
        const DWORD id = record->GetRecordID();
        db.Db().SetRecordDeleted(record);
        db.Save();
        ctx.out << "deleted record " << id << " from " << db.File().shown << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb

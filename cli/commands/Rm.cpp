#include <ostream>

#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

void AddRm(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        std::string recordID;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "rm", "Mark a record deleted (purge removes it)");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("RECORD_ID", opts->recordID, "as ls shows it")->required();
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        const DWORD id = ParseRecordID(opts->recordID);
        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kWrite);
        CRecord* record = db.Db().GetRecordList().GetRecordByID(id);
        if (record == nullptr || record->IsDeleted()) {
            throw CliError(kExitNotFound, db.File().shown + ": no record " + opts->recordID);
        }
        db.Db().SetRecordDeleted(record);
        db.Save();
        ctx.out << "deleted record " << id << " from " << db.File().shown << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb

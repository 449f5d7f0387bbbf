#include <ostream>

#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

void AddPurge(CLI::App& app, Commands& commands) {
    auto path = std::make_shared<std::string>();
    CLI::App* sub = commands.Add(app, "purge",
                                 "Remove the records, types and categories marked "
                                 "deleted");
    sub->add_option("PATH", *path, "database file or folder")->required();
    commands.Bind(sub, [path, &ctx = commands.Ctx()] {
        OpenDatabase db(ctx, *path, OpenDatabase::Mode::kWrite);
        const auto purge = [](CObjectList& list) {
            const int before = list.GetCount();
            list.PurgeDeleted();
            return before - list.GetCount();
        };
        const int records = purge(db.Db().GetRecordList());
        const int types = purge(db.Db().GetTypesList());
        const int categories = purge(db.Db().GetCategoryList());
        if (records + types + categories != 0) {
            db.Save();
        }
        ctx.out << "purged " << records << " records, " << types << " types and " << categories
                << " categories from " << db.File().shown << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb

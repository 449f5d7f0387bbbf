#include <ostream>

#include "cli/Integrity.h"
#include "cli/Text1252.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

void AddVerify(CLI::App& app, Commands& commands) {
    auto path = std::make_shared<std::string>();
    CLI::App* sub = commands.Add(app, "verify",
                                 "Check every packed record's checksum and every "
                                 "record's type and category; prints ok or the "
                                 "faults");
    sub->add_option("PATH", *path, "database file or folder")->required();
    commands.Bind(sub, [path, &ctx = commands.Ctx()] {
        OpenDatabase db(ctx, *path, OpenDatabase::Mode::kRead);
        const unsigned version = db.FileVersion();
        if (version != 3 && version < 5) {
            ctx.Note("the packed records of a version " + std::to_string(version) +
                     " file carry no checksum of the current form; only references are checked");
        }
        const Faults faults = FindFaults(ctx, db.Db(), version);
        if (faults.empty()) {
            ctx.out << "ok\n";
            return kExitOk;
        }
        for (const std::string& fault : faults) {
            ctx.out << Printable(fault) << '\n';
        }
        if (db.Db().IsEncrypted() && !ctx.passwordGiven) {
            ctx.Note(db.File().shown + " has a password; give it to check its records");
        }
        return kExitNotFound;
    });
}

}  // namespace lkmdb

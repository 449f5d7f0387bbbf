#include <ostream>

#include "cli/LockWait.h"
#include "cli/Password.h"
#include "cli/Terminal.h"
#include "cli/commands/Commands.h"
#include "lkmdb7/platform/internal/FileSystem.h"

namespace lkmdb {

using namespace LKMDB7;

void AddInit(CLI::App& app, Commands& commands) {
    auto folder = std::make_shared<std::string>();
    CLI::App* sub = commands.Add(app, "init",
                                 "Create a new, empty database in FOLDER; with a password, its "
                                 "records will be enciphered and the password checked");
    sub->add_option("FOLDER", *folder, "made if missing; must not hold a database")->required();
    commands.Bind(sub, [folder, &ctx = commands.Ctx()] {
        if (ctx.password.ask) {
            // A typo here would lock the user out of everything stored later.
            std::string again = ReadPassword(ctx, ctx.password, "Repeat the password: ");
            const bool same = again == ctx.passwordBytes;
            Wipe(again);
            if (!same) {
                throw CliError(kExitFailure, "the two passwords typed differ; nothing was created");
            }
        }
        CDatabaseObj7 db;
        SayWhenWaitingForLock(ctx, db);
        const DatabaseFile file = CreateDatabase(db, *folder, ctx.passwordBytes);
        ctx.out << "created " << file.shown << (ctx.passwordGiven ? " with a password" : "")
                << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb

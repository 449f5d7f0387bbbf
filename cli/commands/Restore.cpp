#include <ostream>
#include <string>

#include "cli/Backups.h"
#include "cli/LockWait.h"
#include "cli/Terminal.h"
#include "cli/commands/Commands.h"
#include "lkmdb7/platform/internal/FileSystem.h"

namespace lkmdb {

using namespace LKMDB7;

void AddRestore(CLI::App& app, Commands& commands) {
    auto path = std::make_shared<std::string>();
    CLI::App* sub = commands.Add(app, "restore", "Copy FILE.bak back over the database file");
    sub->add_option("PATH", *path, "database file or folder")->required();
    commands.Bind(sub, [path, &ctx = commands.Ctx()] {
        const DatabaseFile file = ResolveDatabase(*path);
        const std::string backup = file.shown + kBackupSuffix;
        if (!PathExists((file.native + kBackupSuffix).c_str())) {
            throw CliError(kExitNotFound, backup + ": no such backup copy");
        }
        if (const std::string refused = NotARegularFile(file.native + kBackupSuffix);
            !refused.empty()) {
            throw CliError(kExitFailure, backup + ": " + refused + "; nothing was restored");
        }
        try {
            // A backup that does not read as a database must not replace the file. Read before
            // the lock is taken: the lock is one for all of the user's databases.
            OpenDatabase check(ctx, backup, OpenDatabase::Mode::kRead, PasswordCheck::kNone);
        } catch (const CliError& e) {
            throw CliError(kExitFailure, std::string(e.what()) + "; nothing was restored");
        }
        CDatabaseObj7 db;
        SayWhenWaitingForLock(ctx, db);
        // No save may run while the file is replaced, nor start from the file half replaced.
        const CDatabaseLock lock(db);
        if (!lock.Held()) {
            throw CliError(kExitFailure, file.shown + ": " + db.GetLastErrorMessage());
        }
        AttachTo(ctx, db, file);
        // What restore replaces is kept, in case the backup was the worse of the two.
        std::string kept;
        if (PathExists(file.native.c_str())) {
            kept = DatedName(file.native);
            CopyToNew(file.native, kept, PathToUtf8(kept));
        }
        if (db.RestoreTempBackup() == 0) {
            throw CliError(kExitFailure, file.shown + ": could not be replaced by " + backup +
                                             ": " + Reason(db, file.native, file.shown));
        }
        ctx.out << file.shown << ": restored from " << backup;
        if (!kept.empty()) {
            ctx.out << "; what it replaced is kept as " << PathToUtf8(kept);
        }
        ctx.out << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb

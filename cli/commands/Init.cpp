#include <ostream>

#include "cli/Password.h"
#include "cli/Terminal.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

// Shared with demo: a new, empty database in folder, saved. Refuses an existing database.
DatabaseFile CreateDatabase(CDatabaseObj7& db, const std::string& folder,
                            const std::string& password) {
    const std::string native = NativePath(folder);
    if (PathExists(native.c_str()) && !FolderExists(native.c_str())) {
        throw CliError(kExitFailure, folder + ": is a file, not a folder");
    }
    DatabaseFile file{JoinPath(CString(folder), kDatabaseFileName).str(),
                      JoinPath(CString(native), kDatabaseFileName).str()};
    if (PathExists(file.native.c_str())) {
        throw CliError(kExitFailure,
                       file.shown + ": a database exists already; it is left as it is");
    }
    if (const DWORD code = CreateFolderTree(CString(native)); code != 0) {
        throw CliError(kExitFailure, folder + ": the folder cannot be created (error " +
                                         std::to_string(code) + ")");
    }
    LoadOrThrow(db, file.native, file.shown, file.native);
    if (!password.empty()) {
        db.ChangePassword(password.c_str());
    }
    const LONG result = db.Save(true);
    if (result != 0) {
        throw CliError(kExitFailure,
                       file.shown + ": not written: " + Reason(db, file.native, file.shown));
    }
    return file;
}

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
        const DatabaseFile file = CreateDatabase(db, *folder, ctx.passwordBytes);
        ctx.out << "created " << file.shown << (ctx.passwordGiven ? " with a password" : "")
                << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb

#include <ostream>

#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

// The database object learns its file only by opening it. Opening may fail on a damaged file,
// which is exactly when a backup or a restore is wanted; the path is set by then all the same.
void AttachTo(CDatabaseObj7& db, const DatabaseFile& file) {
    db.Lock();  // never rewrite the file here
    LONG result = 0;
    try {
        result = db.Load(CString(file.native));
    } catch (const CException&) {
    }
    if (result == -1) {
        throw CliError(kExitFailure, file.shown +
                                         ": the database lock was not obtained within 10 seconds "
                                         "(another program is using the database)");
    }
}

}  // namespace

void AddBackup(CLI::App& app, Commands& commands) {
    auto path = std::make_shared<std::string>();
    CLI::App* sub = commands.Add(app, "backup", "Copy the database file to FILE.bak");
    sub->add_option("PATH", *path, "database file or folder")->required();
    commands.Bind(sub, [path, &ctx = commands.Ctx()] {
        const DatabaseFile file = ResolveDatabase(*path);
        if (!PathExists(file.native.c_str())) {
            throw CliError(kExitNotFound, file.shown + ": no such database file");
        }
        CDatabaseObj7 db;
        AttachTo(db, file);
        if (db.TakeTempBackup() == 0) {
            throw CliError(kExitFailure, file.shown + ": the backup copy " + file.shown +
                                             kBackupSuffix + " could not be written");
        }
        ctx.out << file.shown << ": backed up to " << file.shown << kBackupSuffix << '\n';
        return kExitOk;
    });
}

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
        try {
            // A backup that does not read as a database must not replace the file.
            OpenDatabase check(ctx, backup, OpenDatabase::Mode::kRead, PasswordCheck::kNone);
        } catch (const CliError& e) {
            throw CliError(kExitFailure, std::string(e.what()) + "; nothing was restored");
        }
        CDatabaseObj7 db;
        AttachTo(db, file);
        if (db.RestoreTempBackup() == 0) {
            throw CliError(kExitFailure, file.shown + ": could not be replaced by " + backup);
        }
        ctx.out << file.shown << ": restored from " << backup << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb

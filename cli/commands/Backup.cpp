#include <filesystem>
#include <ostream>
#include <utility>

#include "cli/Backups.h"
#include "cli/Integrity.h"
#include "cli/LockWait.h"
#include "cli/Terminal.h"
#include "cli/commands/Commands.h"
#include "lkmdb7/platform/internal/FileSystem.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

// The database must load and every packed record pass its checksum: a damaged file must never
// replace a good copy.
void CheckBeforeCopying(Context& ctx, const std::string& path) {
    OpenDatabase db(ctx, path, OpenDatabase::Mode::kRead);
    if (const std::size_t bad = CountChecksumFaults(db.Db(), db.FileVersion()); bad != 0) {
        const bool hint = db.Db().IsEncrypted() && !ctx.passwordGiven;
        throw CliError(kExitFailure, db.File().shown + ": " + std::to_string(bad) +
                                         " packed records fail their checksum (" +
                                         (hint ? "give the password, or the file is damaged"
                                               : "a damaged file or a wrong password") +
                                         "; see lkmdb verify)");
    }
}

}  // namespace

void AddBackup(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        std::string folder;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "backup",
                                 "Check every packed record's checksum (an enciphered database "
                                 "needs its password), then copy the file to FILE.bak (and with "
                                 "--to, to a dated copy in FOLDER)");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("--to", opts->folder,
                    "also keep a dated copy, FILE-NAME.YYYYMMDD-HHMMSS, in this folder")
        ->type_name("FOLDER");
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        const DatabaseFile file = ResolveDatabase(opts->path);
        if (!PathExists(file.native.c_str())) {
            throw CliError(kExitNotFound, file.shown + ": no such database file");
        }
        const std::string folder = NativePath(opts->folder);
        if (!opts->folder.empty() && !FolderExists(folder.c_str())) {
            throw CliError(kExitNotFound, opts->folder + ": no such folder");
        }
        try {
            CheckBeforeCopying(ctx, opts->path);
        } catch (const CliError& e) {
            throw CliError(e.ExitCode(), std::string(e.what()) + "; no backup was made");
        }
        CDatabaseObj7 db;
        SayWhenWaitingForLock(ctx, db);
        AttachTo(ctx, db, file);
        if (db.TakeTempBackup() == 0) {
            throw CliError(kExitFailure,
                           file.shown + ": the backup copy " + file.shown + kBackupSuffix +
                               " could not be written: " + Reason(db, file.native, file.shown));
        }
        ctx.out << file.shown << ": backed up to " << file.shown << kBackupSuffix << '\n';
        if (!opts->folder.empty()) {
            const std::string name = std::filesystem::path(file.native).filename().string();
            const std::string dated = DatedName(JoinPath(CString(folder), CString(name)).str());
            // From the backup just made: the file itself may have changed since its check.
            CopyToNew(file.native + kBackupSuffix, dated, PathToUtf8(dated));
            ctx.out << file.shown << ": backed up to " << PathToUtf8(dated) << '\n';
        }
        return kExitOk;
    });
}

}  // namespace lkmdb

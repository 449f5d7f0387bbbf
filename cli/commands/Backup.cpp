#include <chrono>
#include <ctime>
#include <filesystem>
#include <ostream>
#include <utility>

#include "cli/Terminal.h"
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
        throw CliError(kExitFailure, file.shown + ": " + Reason(db, file.native, file.shown));
    }
}

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

// `base` followed by the local date and time, and a number when that name is taken.
std::string DatedName(const std::string& base) {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    if (const std::tm* t = std::localtime(&now)) {
        local = *t;
    }
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string name = base + "." + stamp;
    for (int n = 2;
         std::filesystem::symlink_status(name).type() != std::filesystem::file_type::not_found;
         ++n) {
        name = base + "." + stamp + "-" + std::to_string(n);
    }
    return name;
}

// Copies `from` to a new file `to`, never over one that exists; throws CliError naming `shown`.
void CopyToNew(const std::string& from, const std::string& to, const std::string& shown) {
    std::error_code ec;
    if (!std::filesystem::copy_file(from, to, std::filesystem::copy_options::none, ec)) {
        throw CliError(kExitFailure, shown + ": could not be written (" + ec.message() + ")");
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
                                 "Check the database, then copy it to FILE.bak (and with --to, "
                                 "to a dated copy in FOLDER)");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("--to", opts->folder,
                    "also keep a dated copy, FILE-NAME.YYYYMMDD-HHMMSS, in this folder");
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
        AttachTo(db, file);
        if (db.TakeTempBackup() == 0) {
            throw CliError(kExitFailure, file.shown + ": the backup copy " + file.shown +
                                             kBackupSuffix + " could not be written");
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
        CDatabaseObj7 db;
        // No save may run while the file is replaced, nor start from the file half replaced.
        const CDatabaseLock lock(db);
        if (!lock.Held()) {
            throw CliError(kExitFailure, file.shown + ": " + db.GetLastErrorMessage());
        }
        try {
            // A backup that does not read as a database must not replace the file.
            OpenDatabase check(ctx, backup, OpenDatabase::Mode::kRead, PasswordCheck::kNone);
        } catch (const CliError& e) {
            throw CliError(kExitFailure, std::string(e.what()) + "; nothing was restored");
        }
        AttachTo(db, file);
        // What restore replaces is kept, in case the backup was the worse of the two.
        std::string kept;
        if (PathExists(file.native.c_str())) {
            kept = DatedName(file.native);
            CopyToNew(file.native, kept, PathToUtf8(kept));
        }
        if (db.RestoreTempBackup() == 0) {
            throw CliError(kExitFailure, file.shown + ": could not be replaced by " + backup);
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

#include <ostream>
#include <utility>

#include "cli/Integrity.h"
#include "cli/Password.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

// Whether db, as read from a file under the cipher now in force, holds `expected` with the crib
// of `password` (none when empty) and every packed record passing its checksum; else what not.
std::optional<std::string> Mismatch(CDatabaseObj7& db, const nlohmann::json& expected,
                                    const std::string& password) {
    unsigned char crib[kCribSize];
    db.GetCrib(crib);
    if (password.empty() ? GetCribKind(crib) != CribKind::kNone
                         : !CribMatches(crib, password.c_str())) {
        return std::string("the password check does not match the new password");
    }
    for (CObjectList* list : {static_cast<CObjectList*>(&db.GetRecordList()),
                              static_cast<CObjectList*>(&db.GetTypesList()),
                              static_cast<CObjectList*>(&db.GetCategoryList())}) {
        for (const CBaseItem& item : Items(std::as_const(*list))) {
            if (auto fault = PackedChecksumFault(item.PalmRecord())) {
                return "a packed record fails its checksum (" + *fault + ")";
            }
        }
    }
    if (ItemsJson(db) != expected) {
        return std::string("the items read back differ from those before");
    }
    return std::nullopt;
}

// The database as it will be saved, read back from memory under the new cipher.
std::optional<std::string> CheckInMemory(CDatabaseObj7& db, const nlohmann::json& expected,
                                         const std::string& password) {
    CMemFile file;
    {
        CArchive out(&file, CArchive::store);
        db.Serialize(out);
        out.Close();
    }
    file.Seek(0, CFile::begin);
    CDatabaseObj7 copy;
    CArchive in(&file, CArchive::load);
    copy.Serialize(in);
    return Mismatch(copy, expected, password);
}

}  // namespace

void AddPasswd(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        PasswordSource next;
        bool remove = false;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "passwd",
                                 "Give the database a new password, its first one, or with "
                                 "--remove none; every record is enciphered afresh");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    CLI::Option* file = sub->add_option("--new-password-file", opts->next.file,
                                        "read the new password from the first line of FILE")
                            ->type_name("FILE");
    CLI::Option* fromStdin =
        sub->add_flag("--new-password-stdin", opts->next.fromStdin,
                      "read the new password from standard input (after the current one)");
    CLI::Option* ask = sub->add_flag("--ask-new-password", opts->next.ask,
                                     "ask for the new password on the terminal, twice");
    CLI::Option* remove =
        sub->add_flag("--remove", opts->remove, "remove the password: store the records plain");
    file->excludes(fromStdin)->excludes(ask)->excludes(remove);
    fromStdin->excludes(ask)->excludes(remove);
    ask->excludes(remove);
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        const PasswordSource& next = opts->next;
        if (next.file.empty() && !next.fromStdin && !next.ask && !opts->remove) {
            throw CliError(kExitFailure,
                           "passwd: give the new password (--new-password-file, "
                           "--new-password-stdin or --ask-new-password) or --remove");
        }
        // Read before the database lock is taken: the lock is one for all of the user's
        // databases, and must not wait on a person typing or on a pipe.
        std::string password;
        if (!opts->remove) {
            password = ReadPassword(ctx, next, "New password: ", "Repeat the new password: ");
        }
        try {
            // Writing: the database lock is held from this load past the save and the reading
            // back.
            OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kWrite);
            if (opts->remove && !ctx.passwordGiven) {
                throw CliError(kExitPassword, db.File().shown + ": this database has no password");
            }
            const nlohmann::json before = ItemsJson(db.Db());
            db.Db().ChangePassword(password.c_str());
            if (auto fault = CheckInMemory(db.Db(), before, password)) {
                throw CliError(kExitFailure, db.File().shown + ": not changed: " + *fault);
            }
            db.Save();
            // What is on disk now, read as the next command will read it.
            CDatabaseObj7 reread;
            reread.Lock();
            LoadOrThrow(reread, db.File().native, db.File().shown, db.File().native);
            if (auto fault = Mismatch(reread, before, password)) {
                throw CliError(kExitFailure, db.File().shown + ": written, but reading it back " +
                                                 "failed: " + *fault);
            }
            ctx.out << db.File().shown << ": "
                    << (opts->remove        ? "password removed; the records are stored plain"
                        : ctx.passwordGiven ? "password changed"
                                            : "password set; the records are enciphered")
                    << '\n';
        } catch (...) {
            Wipe(password);
            throw;
        }
        Wipe(password);
        return kExitOk;
    });
}

}  // namespace lkmdb

#include <algorithm>
#include <array>
#include <ostream>
#include <sstream>

#include "cli/LockWait.h"
#include "cli/Password.h"
#include "cli/Terminal.h"
#include "cli/Text1252.h"
#include "cli/commands/Commands.h"
#include "lkmdb7/platform/internal/FileSystem.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

std::vector<BYTE> ReadDamagedFile(const DatabaseFile& file) {
    if (!PathExists(file.native.c_str())) {
        throw CliError(kExitNotFound, file.shown + ": no such database file");
    }
    if (const std::string refused = NotARegularFile(file.native); !refused.empty()) {
        throw CliError(kExitFailure, file.shown + ": " + refused + "; nothing was written");
    }
    try {
        return ReadWholeFile(CString(file.native));
    } catch (const CFileException& e) {
        throw CliError(kExitFailure, file.shown + ": cannot be opened for reading (error " +
                                         std::to_string(e.m_lOsError) + ")");
    }
}

// Lines that name a stored text convert it.
std::string DroppedLine(std::size_t list, const DroppedItem& dropped) {
    static constexpr const char* kKinds[] = {"record", "record type", "category"};
    if (dropped.kind == DroppedItem::kTooLong) {
        return dropped.reason + "; dropped";
    }
    return std::string(kKinds[list]) + " \"" + ToUtf8(dropped.name.str()) + "\": its unique ID " +
           dropped.uniqueID + " is that of one read before; dropped";
}

void Report(Context& ctx, const DatabaseFile& source, const SalvageResult& recovery) {
    static constexpr const char* kNames[] = {"records", "record types", "categories"};
    // Reasons quote what the damaged file holds: shown escaped.
    std::ostringstream out;
    if (recovery.headerSize > 0) {
        out << source.shown << ": header read (version " << recovery.header.version << ")"
            << (recovery.headerTrimmed ? ", but not its icon file name and reserved values" : "")
            << '\n';
    } else {
        out << source.shown << ": the header does not read (" << recovery.headerProblem
            << "); the new database has an empty one, without the password check\n";
    }
    std::size_t lost = 0;
    bool lostUnknown = false;
    for (std::size_t list = 0; list < kListCount; ++list) {
        const std::size_t got = recovery.recovered[list];
        const std::size_t dropped = recovery.dropped[list].size();
        out << kNames[list] << ": " << got << " recovered";
        if (const auto& declared = recovery.declared[list]) {
            // A dropped item is lost too.
            const std::size_t missing = std::max<std::size_t>(*declared, got + dropped) - got;
            out << " of " << *declared << ", " << missing << " lost\n";
            lost += missing;
        } else {
            // A list cut short by the end of the file: its count went with it, but the records
            // that came back still name the types and categories that were in it.
            const std::size_t missing = std::max(dropped, recovery.namedButMissing[list]);
            out << ", the count was lost";
            if (missing != 0) {
                out << ", at least " << missing << " lost";
            }
            out << '\n';
            lost += missing;
            lostUnknown = true;
        }
        for (const DroppedItem& item : recovery.dropped[list]) {
            out << DroppedLine(list, item) << '\n';
        }
    }
    std::size_t skipped = 0;
    for (const SkippedBytes& range : recovery.skipped) {
        skipped += range.end - range.begin;
        out << "skipped bytes " << range.begin << " to " << range.end - 1 << " ("
            << range.end - range.begin << " bytes): " << range.reason << '\n';
    }
    ctx.out << PrintableLines(out.str());
    if (recovery.Complete()) {
        return;
    }
    const bool wholeHeader = recovery.headerSize > 0 && !recovery.headerTrimmed;
    ctx.Note(source.shown + ": not everything read: " + std::to_string(skipped) +
             " bytes skipped, items lost: " + (lostUnknown ? "at least " : "") +
             std::to_string(lost) + (wholeHeader ? "" : ", the header in part or whole"));
}

// Enciphered packed records fail their checksums without the password that keys the cipher.
std::string PasswordHint(const Context& ctx, const SalvageResult& recovery) {
    if (recovery.failedChecksums == 0 || ctx.passwordGiven) {
        return {};
    }
    return "; if its records are enciphered, give the password";
}

}  // namespace

void AddRecover(CLI::App& app, Commands& commands) {
    auto damaged = std::make_shared<std::string>();
    auto folder = std::make_shared<std::string>();
    CLI::App* sub = commands.Add(app, "recover",
                                 "Read what can be read of a damaged database into a new one in "
                                 "FOLDER; exit code 1 when something was lost");
    sub->add_option("DAMAGED", *damaged, "the damaged database file, or its folder; never changed")
        ->type_name("PATH")
        ->required();
    sub->add_option("FOLDER", *folder, "made if missing; must not hold a database")->required();
    commands.Bind(sub, [damaged, folder, &ctx = commands.Ctx()] {
        const DatabaseFile source = ResolveDatabase(*damaged);
        const std::vector<BYTE> bytes = ReadDamagedFile(source);
        CheckCribOfDamagedFile(ctx, bytes, source);
        SalvageResult recovery = SalvageDatabase(bytes, source.shown);
        if (recovery.Recovered() == 0 && recovery.failedChecksums != 0 && ctx.passwordGiven &&
            (bytes.size() < kCribSize || GetCribKind(bytes.data()) == CribKind::kNone)) {
            // As every other command says: a password for records stored plain is one too many.
            SetRecordCipherPassword(nullptr);
            const bool plain = SalvageDatabase(bytes, source.shown).Recovered() != 0;
            SetRecordCipherPassword(ctx.passwordBytes.c_str());
            if (plain) {
                throw CliError(kExitPassword, source.shown + ": this database has no password");
            }
        }
        if (recovery.Recovered() == 0 && !recovery.Complete()) {
            throw CliError(kExitFailure, source.shown +
                                             ": no item in it reads; nothing was written" +
                                             PasswordHint(ctx, recovery));
        }
        CDatabaseObj7 db;
        SayWhenWaitingForLock(ctx, db);
        const DatabaseFile target = CreateDatabase(db, *folder);
        try {
            recovery.InstallInto(db);
            if (db.Save(true) != 0) {
                throw CliError(kExitFailure, target.shown + ": not written: " +
                                                 Reason(db, target.native, target.shown));
            }
        } catch (...) {
            // Only the empty database made above is there: a half recovery must not look whole.
            DeleteFileA(target.native.c_str());
            throw;
        }
        Report(ctx, source, recovery);
        ctx.out << "recovered " << recovery.Recovered() << " items into " << target.shown << '\n';
        return recovery.Complete() ? kExitOk : kExitNotFound;
    });
}

}  // namespace lkmdb

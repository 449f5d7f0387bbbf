#include <algorithm>
#include <array>
#include <ostream>
#include <set>
#include <sstream>

#include "cli/Password.h"
#include "cli/Recovery.h"
#include "cli/Text1252.h"
#include "cli/commands/Commands.h"
#include "lkmdb7/platform/internal/FileSystem.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

std::vector<BYTE> ReadWholeFile(const DatabaseFile& file) {
    if (!PathExists(file.native.c_str())) {
        throw CliError(kExitNotFound, file.shown + ": no such database file");
    }
    CFileException error(CFileException::none, -1, {}, {});
    const std::unique_ptr<CFile> in =
        OpenFile(file.native.c_str(), CFile::modeRead | CFile::shareDenyNone, &error);
    if (!in) {
        throw CliError(kExitFailure, file.shown + ": cannot be opened for reading (error " +
                                         std::to_string(error.m_lOsError) + ")");
    }
    std::vector<BYTE> bytes(static_cast<std::size_t>(in->GetLength()));
    std::size_t done = 0;
    while (done < bytes.size()) {
        const UINT n =
            in->Read(bytes.data() + done,
                     static_cast<UINT>(std::min<std::size_t>(bytes.size() - done, 1u << 20)));
        if (n == 0) {
            break;
        }
        done += n;
    }
    bytes.resize(done);
    in->Close();
    return bytes;
}

// The header as it stood (or its fixed part, with an empty icon file name and zero reserved
// values), followed by three empty lists, read as a file of its own: the new database takes the
// crib, create date, version and whatever else of the header read.
void TakeHeader(CDatabaseObj7& db, const std::vector<BYTE>& bytes, const Recovery& recovery) {
    constexpr std::size_t kFixedPart = kCribSize + 4 + 2;
    const std::size_t kept = recovery.headerTrimmed ? kFixedPart : recovery.headerSize;
    std::vector<BYTE> header(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(kept));
    if (recovery.headerTrimmed) {
        header.resize(kept + (recovery.version >= 5 ? 1 : 0) + 2 + 4 + 4, 0);
    }
    header.resize(header.size() + 3 * 2, 0);
    CMemFile file(std::move(header));
    CArchive ar(&file, CArchive::load);
    db.Serialize(ar);
}

void AddItems(CDatabaseObj7& db, Recovery& recovery) {
    for (auto& item : recovery.items[0]) {
        db.GetRecordList().AddItem(item.get());
        static_cast<void>(item.release());  // the list owns it now
    }
    for (std::size_t list = 1; list < kListCount; ++list) {
        CUniqueList& unique = list == 1 ? static_cast<CUniqueList&>(db.GetTypesList())
                                        : static_cast<CUniqueList&>(db.GetCategoryList());
        for (auto& item : recovery.items[list]) {
            unique.InsertSorted(item.get());
            static_cast<void>(item.release());
        }
    }
}

// Per list, the types and categories that recovered records name and that did not come back.
// The items must still be in `recovery`.
std::array<std::size_t, kListCount> NamedButMissing(const Recovery& recovery) {
    std::array<std::set<std::string>, kListCount> present;
    std::array<std::set<std::string>, kListCount> named;
    for (std::size_t list = 1; list < kListCount; ++list) {
        for (const auto& item : recovery.items[list]) {
            present[list].insert(item->GetUniqueID().ToHex().str());
        }
    }
    for (const auto& item : recovery.items[0]) {
        const auto& record = static_cast<const CRecord&>(*item);
        for (const auto& [list, id] : {std::pair{std::size_t{1}, record.GetTypeID()},
                                       std::pair{std::size_t{2}, record.GetCategoryID()}}) {
            if (!id.IsNull() && present[list].count(id.ToHex().str()) == 0) {
                named[list].insert(id.ToHex().str());
            }
        }
    }
    return {0, named[1].size(), named[2].size()};
}

// `named`: NamedButMissing, taken before the items went into the new database.
void Report(Context& ctx, const DatabaseFile& source, const Recovery& recovery,
            const std::array<std::size_t, kListCount>& named) {
    static constexpr const char* kNames[] = {"records", "record types", "categories"};
    // Reasons quote what the damaged file holds: shown escaped.
    std::ostringstream out;
    if (recovery.headerSize > 0) {
        out << source.shown << ": header read (version " << recovery.version << ")"
            << (recovery.headerTrimmed ? ", but not its icon file name and reserved values" : "")
            << '\n';
    } else {
        out << source.shown << ": the header does not read (" << recovery.headerProblem
            << "); the new database has an empty one, without the password check\n";
    }
    std::size_t lost = 0;
    bool lostUnknown = false;
    for (std::size_t list = 0; list < kListCount; ++list) {
        const std::size_t got = recovery.items[list].size();
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
            const std::size_t missing = std::max(dropped, named[list]);
            out << ", the count was lost";
            if (missing != 0) {
                out << ", at least " << missing << " lost";
            }
            out << '\n';
            lost += missing;
            lostUnknown = true;
        }
        for (const std::string& line : recovery.dropped[list]) {
            out << line << '\n';
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
std::string PasswordHint(const Context& ctx, const Recovery& recovery) {
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
        ->required();
    sub->add_option("FOLDER", *folder, "made if missing; must not hold a database")->required();
    commands.Bind(sub, [damaged, folder, &ctx = commands.Ctx()] {
        const DatabaseFile source = ResolveDatabase(*damaged);
        const std::vector<BYTE> bytes = ReadWholeFile(source);
        CheckCribOfDamagedFile(ctx, bytes, source);
        Recovery recovery = RecoverItems(bytes, source.shown);
        if (recovery.Recovered() == 0 && !recovery.Complete()) {
            throw CliError(kExitFailure, source.shown +
                                             ": no item in it reads; nothing was written" +
                                             PasswordHint(ctx, recovery));
        }
        CDatabaseObj7 db;
        const DatabaseFile target = CreateDatabase(db, *folder);
        std::array<std::size_t, kListCount> named{};
        try {
            if (recovery.headerSize > 0) {
                TakeHeader(db, bytes, recovery);
            }
            named = NamedButMissing(recovery);
            AddItems(db, recovery);
            if (const LONG result = db.Save(true); result != 0) {
                throw CliError(kExitFailure, target.shown + ": not written (error " +
                                                 std::to_string(result) + ")");
            }
        } catch (...) {
            // Only the empty database made above is there: a half recovery must not look whole.
            DeleteFileA(target.native.c_str());
            throw;
        }
        Report(ctx, source, recovery, named);
        ctx.out << "recovered " << recovery.Recovered() << " items into " << target.shown << '\n';
        return recovery.Complete() ? kExitOk : kExitNotFound;
    });
}

}  // namespace lkmdb

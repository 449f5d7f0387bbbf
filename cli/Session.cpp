#include "cli/Session.h"

#include <algorithm>
#include <cstdio>
#include <istream>
#include <ostream>
#include <string>
#include <unordered_map>
#include <utility>

#include "cli/Password.h"
#include "cli/Terminal.h"
#include "cli/Text1252.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

// Verification and import show progress only beyond this many items.
constexpr std::size_t kProgressThreshold = 5000;

std::string ErrorText(LONG code) {
    const char* name = nullptr;
    switch (static_cast<DWORD>(code)) {
        case ERROR_FILE_NOT_FOUND:
            name = "file not found";
            break;
        case ERROR_PATH_NOT_FOUND:
            name = "folder not found";
            break;
        case ERROR_ACCESS_DENIED:
            name = "access denied";
            break;
        case ERROR_SHARING_VIOLATION:
            name = "the file is in use";
            break;
        case ERROR_LOCK_VIOLATION:
            name = "the file is locked";
            break;
        case ERROR_HANDLE_DISK_FULL:
        case ERROR_DISK_FULL:
            name = "the disk is full";
            break;
        case ERROR_WRITE_PROTECT:
            name = "the medium is write-protected";
            break;
        default:
            break;
    }
    std::string text = "error " + std::to_string(code);
    return name != nullptr ? text + ", " + name : text;
}

std::string Hex4(WORD value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return text;
}

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
    if (from.empty()) {
        return text;
    }
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// The library's last message for db, without the file's name in front when it is `native`, and
// naming the file everywhere as the user gave it.
std::string Reason(const CDatabaseObj7& db, const std::string& native, const std::string& shown) {
    std::string message = db.GetLastErrorMessage();
    if (message.rfind(native + ": ", 0) == 0) {
        message.erase(0, native.size() + 2);
    }
    message = ReplaceAll(message, native, shown);
    std::replace(message.begin(), message.end(), '\n', ' ');
    return message;
}

std::string ItemName(const CBaseItem& item) {
    switch (item.GetListType()) {
        case 0:
            return "record " + std::to_string(item.GetRecordID());
        case 1:
            return "record type " + std::string(item.GetUniqueID().ToHex().str());
        default:
            return "category " + std::string(item.GetUniqueID().ToHex().str());
    }
}

}  // namespace

void Context::Note(const std::string& line) const {
    err << "lkmdb: note: " << Printable(line) << '\n';
}

DatabaseFile ResolveDatabase(const std::string& argument) {
    DatabaseFile file{argument, NativePath(argument)};
    if (FolderExists(file.native.c_str())) {
        file.shown = JoinPath(CString(file.shown), kDatabaseFileName).str();
        file.native = JoinPath(CString(file.native), kDatabaseFileName).str();
    }
    return file;
}

void LoadOrThrow(CDatabaseObj7& db, const std::string& path, const std::string& shown,
                 const std::string& pathInMessages) {
    LONG result = 0;
    try {
        result = db.LoadReadOnly(CString(path));
    } catch (const CException& e) {
        std::string message = ReplaceAll(e.what(), pathInMessages, shown);
        std::replace(message.begin(), message.end(), '\n', ' ');
        if (message.find(shown) == std::string::npos) {
            message = shown + ": " + message;
        }
        throw CliError(kExitFailure, message);
    }
    if (result == -1) {
        throw CliError(kExitFailure, shown + ": " + Reason(db, pathInMessages, shown));
    }
    if (result != 0) {
        throw CliError(kExitFailure, shown + ": cannot be opened (" + ErrorText(result) + ")");
    }
}

OpenDatabase::OpenDatabase(Context& ctx, const std::string& argument, Mode mode,
                           PasswordCheck check)
    : ctx_(ctx), file_(ResolveDatabase(argument)) {
    if (mode == Mode::kWrite) {
        // Held until this object is gone, past the save: no other process may save between our
        // load and our save, or one of the two changes would be lost.
        if (db_.AcquireLock() != 0) {
            throw CliError(kExitFailure,
                           file_.shown + ": " + Reason(db_, file_.native, file_.shown));
        }
        holdsLock_ = true;
    }
    if (!PathExists(file_.native.c_str())) {
        throw CliError(kExitNotFound, file_.shown + ": no such database file");
    }
    fileVersion_ = CDatabaseObj7::GetVersion(file_.native.c_str());
    if (fileVersion_ == 0xFFFF) {
        throw CliError(kExitFailure, file_.shown + ": cannot be opened for reading");
    }
    if (mode == Mode::kRead && fileVersion_ < kCurrentVersion) {
        ctx_.Note(file_.shown + " is version " + std::to_string(fileVersion_) +
                  ": read as it is; a command that writes upgrades it to version " +
                  std::to_string(kCurrentVersion));
    }
    // An older file is never rewritten by loading it: a reading command never saves, and a
    // writing one saves only after the checks below.
    LoadOrThrow(db_, file_.native, file_.shown, file_.native);
    CheckPassword(ctx_, db_, file_, fileVersion_, check);
    if (mode == Mode::kWrite) {
        std::size_t bad = 0;
        if (ChecksumsApply(fileVersion_)) {
            for (CObjectList* list : {static_cast<CObjectList*>(&db_.GetRecordList()),
                                      static_cast<CObjectList*>(&db_.GetTypesList()),
                                      static_cast<CObjectList*>(&db_.GetCategoryList())}) {
                for (const CBaseItem& item : Items(std::as_const(*list))) {
                    if (ChecksumFault(item)) {
                        ++bad;
                    }
                }
            }
        }
        if (bad != 0) {
            // Saving would pack the misread texts afresh and lose the records for good.
            throw CliError(kExitFailure,
                           file_.shown + ": " + std::to_string(bad) +
                               " packed records fail their checksum (a wrong password, or a "
                               "damaged file); nothing was changed (see lkmdb verify)");
        }
    }
}

OpenDatabase::~OpenDatabase() {
    if (holdsLock_) {
        db_.ReleaseLock();
    }
}

void OpenDatabase::Save() {
    RequirePackable(db_, file_);
    if (db_.Save(true) != 0) {
        throw CliError(kExitFailure,
                       file_.shown + ": not saved: " + Reason(db_, file_.native, file_.shown));
    }
}

void RequirePackable(CDatabaseObj7& db, const DatabaseFile& file) {
    for (CObjectList* list : {static_cast<CObjectList*>(&db.GetRecordList()),
                              static_cast<CObjectList*>(&db.GetTypesList()),
                              static_cast<CObjectList*>(&db.GetCategoryList())}) {
        for (CBaseItem& item : Items(*list)) {
            try {
                static_cast<void>(item.CheckPackedSize());
            } catch (const CInvalidArgException& e) {
                throw CliError(kExitFailure, file.shown + ": not saved: " + e.what());
            }
        }
    }
}

// The packer sums CRC-16 over bytes 0 to L-8 with bytes 0-1 taken as zero.
std::optional<std::string> ChecksumFault(const CBaseItem& item) {
    return ChecksumFault(item.PalmRecord());
}

std::optional<std::string> ChecksumFault(const std::vector<BYTE>& bytes) {
    constexpr std::size_t kShortest = kPackedHeaderSize + kPackedTailSize;
    if (bytes.size() < kShortest) {
        return "packed record of " + std::to_string(bytes.size()) + " bytes, shorter than " +
               std::to_string(kShortest);
    }
    std::vector<BYTE> covered(bytes.begin(), bytes.end() - kPackedTailSize);
    covered[0] = covered[1] = 0;
    // The packer sums a 16-bit length; a check must do the same.
    const WORD computed =
        Crc16(covered.data(), static_cast<WORD>(covered.size()), kPackedCrcInitial);
    const auto stored = static_cast<WORD>((bytes[0] << 8) | bytes[1]);
    if (computed == stored) {
        return std::nullopt;
    }
    return "checksum " + Hex4(stored) + " stored, " + Hex4(computed) + " computed";
}

bool ChecksumsApply(unsigned fileVersion) {
    return fileVersion == 3 || fileVersion >= 5;
}

Faults FindFaults(Context& ctx, CDatabaseObj7& db, unsigned fileVersion) {
    Faults faults;
    CRecordList& records = db.GetRecordList();
    CTypesList& types = db.GetTypesList();
    CCategoryList& categories = db.GetCategoryList();
    const auto total =
        static_cast<std::size_t>(records.GetCount() + types.GetCount() + categories.GetCount());
    Progress progress(ctx, "verify", total);
    const bool checksums = ChecksumsApply(fileVersion);
    // Lists find a type or category by its unique ID, first come first served: a second one of
    // the same ID is never found, and the records of that ID show the first.
    std::unordered_map<std::string, const CBaseItem*> firstOf[2];
    for (CObjectList* list :
         {static_cast<CObjectList*>(&records), static_cast<CObjectList*>(&types),
          static_cast<CObjectList*>(&categories)}) {
        for (const CBaseItem& item : Items(std::as_const(*list))) {
            progress.Step();
            if (checksums) {
                if (auto fault = ChecksumFault(item)) {
                    faults.push_back(ItemName(item) + ": " + *fault);
                }
            }
            if (item.GetListType() != 0) {
                const std::string id = item.GetUniqueID().ToHex().str();
                auto& first = firstOf[item.GetListType() == 1 ? 0 : 1];
                const auto [at, isFirst] = first.emplace(id, &item);
                if (!isFirst) {
                    faults.push_back(ItemName(item) + " \"" + Shown(item.GetName()) +
                                     "\": its unique ID is also that of \"" +
                                     Shown(at->second->GetName()) +
                                     "\" before it, which the records of that ID show");
                }
                continue;
            }
            const auto& record = static_cast<const CRecord&>(item);
            const CUID type = record.GetTypeID();
            if (!type.IsNull() && types.GetType(type) == nullptr) {
                faults.push_back(ItemName(item) + ": its type " + type.ToHex().str() +
                                 " names no record type");
            }
            const CUID category = record.GetCategoryID();
            if (!category.IsNull() && categories.GetCategory(category) == nullptr) {
                faults.push_back(ItemName(item) + ": its category " + category.ToHex().str() +
                                 " names no category");
            }
        }
    }
    return faults;
}

Progress::Progress(const Context& ctx, std::string what, std::size_t total)
    : ctx_(ctx),
      what_(std::move(what)),
      total_(total),
      active_(ctx.env.showProgress && total > kProgressThreshold) {}

Progress::~Progress() {
    if (active_) {
        ctx_.err << '\r' << what_ << ": " << done_ << " of " << total_ << '\n' << std::flush;
    }
}

void Progress::Step() {
    ++done_;
    if (active_ && done_ % 1000 == 0) {
        ctx_.err << '\r' << what_ << ": " << done_ << " of " << total_ << std::flush;
    }
}

void Progress::StepTo(std::size_t done) {
    const std::size_t every = std::max<std::size_t>(total_ / 100, 1);
    const bool show = active_ && done / every != done_ / every;
    done_ = done;
    if (show) {
        ctx_.err << '\r' << what_ << ": " << done_ << " of " << total_ << std::flush;
    }
}

DWORD ParseRecordID(const std::string& text) {
    return static_cast<DWORD>(ParseBits(text, 0xFFFFFFFFu, "RECORD_ID"));
}

unsigned ParseBits(const std::string& text, unsigned max, const std::string& what) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    unsigned long long value = 0;
    bool ok = !digits.empty() && digits.size() <= 16;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        }
        if (d < 0) {
            ok = false;
            break;
        }
        value = value * (hex ? 16u : 10u) + static_cast<unsigned>(d);
        if (value > max) {
            ok = false;
            break;
        }
    }
    if (!ok) {
        char limit[16];
        std::snprintf(limit, sizeof limit, "0x%X", max);
        throw CliError(kExitFailure, what + ": '" + text + "' is not a number from 0 to " + limit +
                                         " (decimal, or hexadecimal with 0x)");
    }
    return static_cast<unsigned>(value);
}

std::string Shown(const CString& text) {
    return ToUtf8(text.str());
}

CString Stored(const std::string& utf8, const std::string& what) {
    return CString(ToWindows1252(utf8, what));
}

std::string TypeName(CDatabaseObj7& db, const CRecord& record) {
    return Shown(db.GetTypesList().GetTypeName(record.GetTypeID()));
}

std::string CategoryName(CDatabaseObj7& db, const CRecord& record) {
    return Shown(db.GetCategoryList().GetCategoryName(record.GetCategoryID()));
}

CUID TypeIDByName(CDatabaseObj7& db, const std::string& name, const DatabaseFile& file) {
    const CString stored = Stored(name, "--type");
    if (stored.CompareNoCase("Unfiled") == 0) {
        return CUID{};
    }
    const CTypeItem* type = db.GetTypesList().GetTypeByName(stored);
    if (type == nullptr) {
        throw CliError(kExitNotFound, file.shown + ": no record type named \"" + name + "\"");
    }
    return type->GetUniqueID();
}

CUID CategoryIDByName(CDatabaseObj7& db, const std::string& name, const DatabaseFile& file) {
    const CString stored = Stored(name, "--category");
    if (stored.CompareNoCase("Unfiled") == 0) {
        return CUID{};
    }
    const CCategoryItem* category = db.GetCategoryList().GetCategoryByName(stored);
    if (category == nullptr) {
        throw CliError(kExitNotFound, file.shown + ": no category named \"" + name + "\"");
    }
    return category->GetUniqueID();
}

void WriteColumns(std::ostream& out, std::vector<std::vector<std::string>> rows) {
    for (auto& row : rows) {
        for (std::string& cell : row) {
            cell = Printable(cell);
        }
    }
    const auto width = [](const std::string& s) {
        return static_cast<std::size_t>(
            std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
    };
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], width(row[i]));
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) {
                line.append(widths[i] - width(row[i]) + 2, ' ');
            }
        }
        out << line << '\n';
    }
}

}  // namespace lkmdb

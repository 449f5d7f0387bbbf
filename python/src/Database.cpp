#include "Database.h"

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <system_error>
#include <utility>
#include <vector>

#include "Errors.h"
#include "Text.h"

namespace lkmdb7py {

using namespace LKMDB7;

namespace {

void Wipe(std::string& secret) {
    std::fill(secret.begin(), secret.end(), '\0');
    secret.clear();
}

bool IsUnfiled(const CString& name) {
    return name.IsEmpty() || name.CompareNoCase("Unfiled") == 0;
}

[[noreturn]] void RaiseStatus(const CDatabaseStatus& status) {
    const std::string message = status.GetMessage();
    switch (status.GetKind()) {
        case CDatabaseStatus::kLockTimeout:
        case CDatabaseStatus::kLockFlag:
        case CDatabaseStatus::kLockUnavailable:
            Raise(Errors().lock, message);
        case CDatabaseStatus::kFormat:
            Raise(Errors().format, message);
        case CDatabaseStatus::kMemory:
            throw std::bad_alloc();
        default:
            Raise(Errors().file, message);
    }
}

[[noreturn]] void RaiseStatus(const CDatabaseObj7& db) {
    RaiseStatus(db.GetLastStatus());
}

}  // namespace

Database::~Database() {
    // The process-wide cipher may still hold this password's schedule.
    if (cipherSet_ && GetRecordCipherGeneration() == cipherGeneration_) {
        SetRecordCipherPassword(nullptr);
    }
    Wipe(password_);
}

CDatabaseObj7& Database::Db() {
    if (closed_) {
        throw py::value_error("the database is closed");
    }
    return db_;
}

void Database::Close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    ++changes_;  // views must not reach the records destroyed here
    db_.Reset(false);
    if (cipherSet_ && GetRecordCipherGeneration() == cipherGeneration_) {
        SetRecordCipherPassword(nullptr);
    }
    cipherSet_ = false;
    Wipe(password_);
}

void Database::UseCipher() {
    if (cipherSet_ && GetRecordCipherGeneration() == cipherGeneration_) {
        return;
    }
    SetRecordCipherPassword(password_.empty() ? nullptr : password_.c_str());
    cipherGeneration_ = GetRecordCipherGeneration();
    cipherSet_ = true;
}

std::shared_ptr<Database> Database::Open(const std::string& path,
                                         const std::optional<py::str>& password) {
    auto database = std::make_shared<Database>();
    database->Load(path, password);
    return database;
}

std::shared_ptr<Database> Database::Create(const std::string& folder,
                                           const std::optional<py::str>& password) {
    if (CDatabaseObj7::DatabaseExists(folder)) {
        RaiseOSError(Errors().exists, EEXIST, "a database exists there already", folder);
    }
    auto database = std::make_shared<Database>();
    if (password) {
        database->password_ = ToAnsi(*password, "password");
        if (database->password_.empty()) {
            Raise(Errors().password, "the password is empty");
        }
    }
    database->UseCipher();
    CDatabaseObj7& db = database->db_;
    if (db.Load(kDatabaseFileName, folder) != 0) {
        RaiseStatus(db);
    }
    unsigned char crib[kCribSize] = {};
    if (!database->password_.empty()) {
        MakeCrib(database->password_.c_str(), crib);
    }
    db.SetCrib(crib);
    if (db.Save(true) != 0) {
        RaiseStatus(db);
    }
    return database;
}

void Database::Load(const std::string& path, const std::optional<py::str>& password) {
    CString file = path;
    if (CDatabaseObj7::DatabaseExists(file)) {
        file = JoinPath(file, kDatabaseFileName);
    } else {
        WORD version = 0;
        const CDatabaseStatus probe = CDatabaseObj7::ProbeVersion(file, version);
        const DWORD code = probe.GetKind() == CDatabaseStatus::kIo ? probe.GetCode() : 0;
        std::error_code ignored;
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ||
            (code != 0 && std::filesystem::is_directory(path, ignored))) {
            RaiseOSError(Errors().notFound, ENOENT, "no database there", path);
        }
        if (!probe.IsOk()) {
            RaiseStatus(probe);
        }
    }
    if (password) {
        password_ = ToAnsi(*password, "password");
    }
    const bool given = !password_.empty();
    unsigned char crib[kCribSize];
    CDatabaseObj7::ReadCrib(file, crib);
    const CribKind kind = GetCribKind(crib);
    // A crib of ours decides before a single record is deciphered.
    if (kind == CribKind::kOurs) {
        if (!given) {
            Raise(Errors().password, file.str() + ": this database needs a password");
        }
        if (!CribMatches(crib, password_.c_str())) {
            Raise(Errors().wrongPassword, file.str() + ": wrong password");
        }
    }
    UseCipher();
    // Read first without rewriting: an older file must not be upgraded under a wrong key.
    if (db_.LoadReadOnly(file) != 0) {
        RaiseStatus(db_);
    }
    JudgePassword(kind, given);
    if (db_.GetVersion() < kCurrentVersion && damaged_ == 0) {
        // Now known to read right: upgrade it (the old file is kept beside it). A file with
        // damaged records is not rewritten: that would pack their misread texts for good.
        if (db_.Load(file) != 0) {
            RaiseStatus(db_);
        }
    }
}

void Database::JudgePassword(const CribKind crib, bool given) {
    const auto version = static_cast<unsigned>(db_.GetVersion());
    const std::string file = db_.GetPathName().str();
    PasswordEvidence evidence = GatherPasswordEvidence(db_, version, given, false);
    evidence.cribMatches = crib == CribKind::kOurs;  // checked before the load
    damaged_ = evidence.checked - evidence.passKeyed;
    PasswordVerdict verdict = LKMDB7::JudgePassword(evidence);
    if (verdict == PasswordVerdict::kWrong) {
        // Perhaps a password for a database that has none.
        evidence = GatherPasswordEvidence(db_, version, given, true);
        verdict = LKMDB7::JudgePassword(evidence);
    }
    switch (verdict) {
        case PasswordVerdict::kRight:
        case PasswordVerdict::kUnchecked:
            return;
        case PasswordVerdict::kNeeded:
            Raise(Errors().password, file + ": this database needs a password");
        case PasswordVerdict::kSuperfluous:
            Raise(Errors().password, file + ": this database has no password");
        case PasswordVerdict::kWrong:
            Raise(Errors().wrongPassword, file + ": wrong password");
        case PasswordVerdict::kCribNotOfRecords:
            Raise(Errors().format,
                  file + ": the password check takes the password, but " +
                      std::to_string(damaged_) + " of " + std::to_string(evidence.checked) +
                      " packed records fail their checksum under it (a password check copied "
                      "from another file, or a damaged file)");
    }
}

std::size_t Database::Count() {
    return static_cast<std::size_t>(Db().GetRecordList().GetCount(CUID_ALL, CUID_ALL));
}

py::list Database::Records() {
    py::list out;
    for (CRecord& record : Items(Db().GetRecordList())) {
        if (!record.IsDeleted()) {
            out.append(py::cast(lkmdb7py::Record(shared_from_this(), record)));
        }
    }
    return out;
}

py::list Database::Deleted() {
    py::list out;
    for (CRecord& record : Items(Db().GetRecordList())) {
        if (record.IsDeleted()) {
            out.append(py::cast(lkmdb7py::Record(shared_from_this(), record)));
        }
    }
    return out;
}

CRecord& Database::AnyRecord(unsigned long long recordID) {
    // Record IDs are 32-bit: a larger number names no record rather than the one it wraps to.
    CRecord* record = recordID > 0xFFFFFFFFULL
                          ? nullptr
                          : Db().GetRecordList().GetRecordByID(static_cast<DWORD>(recordID));
    if (record == nullptr) {
        PyErr_SetObject(PyExc_KeyError, py::int_(recordID).ptr());
        throw py::error_already_set();
    }
    return *record;
}

py::object Database::Record(unsigned long long recordID) {
    CRecord& record = AnyRecord(recordID);
    if (record.IsDeleted()) {
        PyErr_SetObject(PyExc_KeyError, py::int_(recordID).ptr());
        throw py::error_already_set();
    }
    return py::cast(lkmdb7py::Record(shared_from_this(), record));
}

py::list Database::TypeNames() {
    py::list out;
    for (const CTypeItem& type : Items(std::as_const(Db().GetTypesList()))) {
        if (!type.IsDeleted()) {
            out.append(FromAnsi(type.GetName().str()));
        }
    }
    return out;
}

py::list Database::CategoryNames() {
    py::list out;
    for (const CCategoryItem& category : Items(std::as_const(Db().GetCategoryList()))) {
        if (!category.IsDeleted()) {
            out.append(FromAnsi(category.GetName().str()));
        }
    }
    return out;
}

py::object Database::Add(const py::str& type, const py::sequence& fields, const py::str& category,
                         const py::str& note, std::optional<unsigned long long> mask) {
    if (py::len(fields) > kFieldCount) {
        Raise(Errors().invalidArgument,
              "a record has at most 10 fields, not " + std::to_string(py::len(fields)));
    }
    WORD bits = mask ? CheckFieldMask(*mask) : WORD{0};
    // Everything is converted before anything changes.
    CStringArray texts;
    CString typeName = ToAnsi(type, "type");
    texts.Add(IsUnfiled(typeName) ? CString("Unfiled") : typeName);
    for (std::size_t i = 0; i < py::len(fields); ++i) {
        const py::handle field = fields[i];
        if (!py::isinstance<py::str>(field)) {
            throw py::type_error("field " + std::to_string(i) + " is not a str");
        }
        texts.Add(ToAnsi(py::reinterpret_borrow<py::str>(field), "field " + std::to_string(i)));
    }
    while (texts.GetSize() < 1 + kFieldCount) {
        texts.Add("");
    }
    // Entries past the ten fields make the note.
    texts.Add(ToAnsi(note, "note"));
    const CString categoryName = ToAnsi(category, "category");
    if (!mask) {
        if (const CTypeItem* known = Db().GetTypesList().GetTypeByName(typeName)) {
            bits = Db().GetTypesList().GetTypeMask(known->GetUniqueID());
        }
    }

    UseCipher();
    CStringArray labels;
    CRecord* record = Db().AddRecordWithoutWaiting(
        texts, bits, labels, IsUnfiled(categoryName) ? CString() : categoryName, 255, false);
    // The unpacked copies of the new record, and of a type or category made for it, come from
    // their packed form, as after a load.
    CBaseItem* made[] = {record, Db().GetTypesList().GetType(record->GetTypeID()),
                         Db().GetCategoryList().GetCategory(record->GetCategoryID())};
    for (CBaseItem* item : made) {
        if (item != nullptr && (item == record || !item->HasPalmRecord())) {
            item->PackPalmRecord(true);
            item->PuffPalmRecord(true);
        }
    }
    return py::cast(lkmdb7py::Record(shared_from_this(), *record));
}

void Database::Delete(CRecord& record) {
    Db().SetRecordDeleted(&record);
}

void Database::Undelete(CRecord& record) {
    if (!record.IsDeleted()) {
        return;
    }
    record.SetDeleted(false);
    record.SetNeedsSync(!record.IsLocalOnly());
    record.renewTimeStamp();
}

std::size_t Database::Purge() {
    CDatabaseObj7& db = Db();
    const int before = db.GetRecordList().GetCount();
    ++changes_;  // views of purged records must not reach them
    db.GetRecordList().PurgeDeleted();
    db.GetTypesList().PurgeDeleted();
    db.GetCategoryList().PurgeDeleted();
    return static_cast<std::size_t>(before - db.GetRecordList().GetCount());
}

py::list Database::Find(const py::str& text, const std::optional<py::iterable>& fields,
                        bool matchCase, bool wholeWord, bool note) {
    const CString needle = ToAnsi(text, "text");
    WORD bits = kFindAllFields;
    if (fields) {
        bits = 0;
        for (const py::handle field : *fields) {
            const long long i = IndexValue(field, "fields takes field indexes (int)");
            if (i < 0 || i >= kFieldCount) {
                throw py::index_error("field index " + std::to_string(i) + " outside 0-9");
            }
            bits = static_cast<WORD>(bits | (1U << static_cast<unsigned>(i)));
        }
    }
    const unsigned flags = (matchCase ? kFindMatchCase : 0U) | (wholeWord ? kFindWholeWord : 0U) |
                           (note ? kFindInNote : 0U);
    py::list out;
    for (CRecord* record : Db().GetRecordList().FindRecords(needle, bits, flags)) {
        out.append(py::cast(lkmdb7py::Record(shared_from_this(), *record)));
    }
    return out;
}

void Database::Save() {
    CDatabaseObj7& db = Db();
    if (damaged_ != 0) {
        // Saving would pack the misread texts afresh and lose those records for good.
        Raise(Errors().format, db.GetPathName().str() + ": " + std::to_string(damaged_) +
                                   " packed records fail their checksum (a damaged file); "
                                   "it is not saved");
    }
    UseCipher();
    if (db.Save(true) != 0) {
        RaiseStatus(db);
    }
}

py::list Database::ToDicts() {
    py::list out;
    for (CRecord& record : Items(Db().GetRecordList())) {
        if (!record.IsDeleted()) {
            out.append(lkmdb7py::Record(shared_from_this(), record).ToDict());
        }
    }
    return out;
}

}  // namespace lkmdb7py

#include "cli/Database.h"

#include <algorithm>
#include <string>
#include <utility>

#include "cli/CliError.h"
#include "cli/Integrity.h"
#include "cli/LockWait.h"
#include "cli/Password.h"
#include "cli/Terminal.h"
#include "lkmdb7/platform/internal/FileSystem.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

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

}  // namespace

std::string Reason(const CDatabaseObj7& db, const std::string& native, const std::string& shown) {
    return Reason(db.GetLastStatus(), native, shown);
}

std::string Reason(const CDatabaseStatus& status, const std::string& native,
                   const std::string& shown) {
    std::string message = status.GetMessage();
    if (message.rfind(native + ": ", 0) == 0) {
        message.erase(0, native.size() + 2);
    }
    message = ReplaceAll(message, native, shown);
    std::replace(message.begin(), message.end(), '\n', ' ');
    return message;
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

void UseSaveOptions(const Context& ctx, CDatabaseObj7& db) {
    db.SetInPlaceCopyFolder(CString(NativePath(ctx.inPlaceCopyFolder)));
}

OpenDatabase::OpenDatabase(Context& ctx, const std::string& argument, Mode mode,
                           PasswordCheck check)
    : ctx_(ctx), file_(ResolveDatabase(argument)) {
    // Opening a pipe or a device would wait, and a writer would wait holding the lock.
    if (const std::string refused = NotARegularFile(file_.native); !refused.empty()) {
        throw CliError(kExitFailure, file_.shown + ": " + refused);
    }
    SayWhenWaitingForLock(ctx_, db_);
    UseSaveOptions(ctx_, db_);
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
    WORD version = 0;
    if (const CDatabaseStatus probe = CDatabaseObj7::ProbeVersion(file_.native.c_str(), version);
        !probe.IsOk()) {
        throw CliError(kExitFailure, file_.shown + ": " + Reason(probe, file_.native, file_.shown));
    }
    fileVersion_ = version;
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
        if (const std::size_t bad = CountChecksumFaults(db_, fileVersion_); bad != 0) {
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

}  // namespace lkmdb

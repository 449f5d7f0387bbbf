// A database file as the commands open, create and save it, with the tool's safety rules: an
// older file is never rewritten by reading it, a writer holds the lock from its load past its
// save, and nothing that fails its checksum is saved again.
#pragma once

#include <string>

#include "cli/Context.h"
#include "cli/Password.h"
#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

// A database file given on the command line (a file, or a folder that holds one).
struct DatabaseFile {
    std::string shown;   // UTF-8, for messages
    std::string native;  // as the file system takes it
};
DatabaseFile ResolveDatabase(const std::string& argument);

// An open database. Loading never rewrites a file older than the current version (a command that
// only reads leaves it as it is). For kWrite the database lock is held from before the load until
// this object is destroyed, so that no other process saves between its load and its Save.
class OpenDatabase {
  public:
    enum class Mode { kRead, kWrite };
    // Throws CliError: 1 when there is no database at the path, 2 for an unreadable or malformed
    // file or a lock not obtained, 3 for the password (see PasswordCheck); for kWrite also 2 when
    // packed records fail their checksum (a damaged file), since saving them would lose the
    // records for good.
    OpenDatabase(Context& ctx, const std::string& argument, Mode mode,
                 PasswordCheck check = PasswordCheck::kRequired);
    ~OpenDatabase();
    OpenDatabase(const OpenDatabase&) = delete;
    OpenDatabase& operator=(const OpenDatabase&) = delete;

    LKMDB7::CDatabaseObj7& Db() { return db_; }
    const DatabaseFile& File() const { return file_; }
    // The version that the file on disk carries.
    unsigned FileVersion() const { return fileVersion_; }
    // Saves to the file it was loaded from; throws CliError (2) when that could not be written.
    void Save();

  private:
    Context& ctx_;
    DatabaseFile file_;
    unsigned fileVersion_ = 0;
    bool holdsLock_ = false;
    LKMDB7::CDatabaseObj7 db_;
};

// Gives db the options of this run that its saves follow (--save-in-place).
void UseSaveOptions(const Context& ctx, LKMDB7::CDatabaseObj7& db);

// A new, empty database saved in folder (made if missing); refuses a folder that holds one. With
// a password (Windows-1252) it gets the crib of it, and the record cipher is keyed by it.
DatabaseFile CreateDatabase(LKMDB7::CDatabaseObj7& db, const std::string& folder,
                            const std::string& password = {});

// Throws CliError (2) naming the first item whose packed record would be too long to save.
void RequirePackable(LKMDB7::CDatabaseObj7& db, const DatabaseFile& file);

// The library's last message for db (GetLastStatus), without the file's name in front when it is
// `native`, and naming the file everywhere as the user gave it.
std::string Reason(const LKMDB7::CDatabaseObj7& db, const std::string& native,
                   const std::string& shown);
// The same for a status of the library's (a version probe's).
std::string Reason(const LKMDB7::CDatabaseStatus& status, const std::string& native,
                   const std::string& shown);

// Loads path into db without rewriting an older file (LoadReadOnly) and maps every failure to
// CliError naming `shown`.
void LoadOrThrow(LKMDB7::CDatabaseObj7& db, const std::string& path, const std::string& shown,
                 const std::string& pathInMessages);

}  // namespace lkmdb

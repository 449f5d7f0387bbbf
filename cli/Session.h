// What the commands share: the error type that carries an exit code, the per-run context, and
// opening, checking and saving a database with the tool's safety rules.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/Lkmdb.h"
#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

using LKMDB7::BYTE;
using LKMDB7::CString;
using LKMDB7::CUID;
using LKMDB7::DWORD;

// A failure to report: one line (without the "lkmdb: " prefix) and the exit code.
class CliError : public std::runtime_error {
  public:
    CliError(int exitCode, const std::string& message)
        : std::runtime_error(message), exitCode_(exitCode) {}
    int ExitCode() const { return exitCode_; }

  private:
    int exitCode_;
};

// Where the record cipher's password comes from; at most one is set.
struct PasswordSource {
    std::string file;
    bool fromStdin = false;
    bool ask = false;
};

struct Context {
    std::istream& in;
    std::ostream& out;
    std::ostream& err;
    const Environment& env;
    PasswordSource password;
    bool passwordGiven = false;  // set once the cipher has been keyed
    std::string passwordBytes;   // the key in Windows-1252 while it is in force

    void Note(const std::string& line) const;
};

// A database file given on the command line (a file, or a folder that holds one).
struct DatabaseFile {
    std::string shown;   // UTF-8, for messages
    std::string native;  // as the file system takes it
};
DatabaseFile ResolveDatabase(const std::string& argument);

// One fault found in the database: a line for the user.
using Faults = std::vector<std::string>;

// Whether opening a database decides on the password (cli/Password.h): kRequired stops on a
// wrong, missing or superfluous one; kOptional lets a missing one pass (nothing enciphered is
// shown); kNone does not look (the file is only copied).
enum class PasswordCheck { kRequired, kOptional, kNone };

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
    // Saves in place; throws CliError (2) when the file could not be written.
    void Save();

  private:
    Context& ctx_;
    DatabaseFile file_;
    unsigned fileVersion_ = 0;
    bool holdsLock_ = false;
    LKMDB7::CDatabaseObj7 db_;
};

// Throws CliError (2) naming the first item whose packed record would be too long to save.
void RequirePackable(LKMDB7::CDatabaseObj7& db, const DatabaseFile& file);

// Loads path into db without rewriting an older file (LoadReadOnly) and maps every failure to
// CliError naming `shown`.
void LoadOrThrow(LKMDB7::CDatabaseObj7& db, const std::string& path, const std::string& shown,
                 const std::string& pathInMessages);

// What is wrong with an item's deciphered packed record (too short, or its CRC-16 stored in bytes
// 0-1 differs from the one computed), or nullopt when it is as the packer wrote it.
std::optional<std::string> ChecksumFault(const LKMDB7::CBaseItem& item);
std::optional<std::string> ChecksumFault(const std::vector<LKMDB7::BYTE>& packedRecord);
// Whether the packed records of a file of this version (or items of this schema) carry that
// checksum: the current form, versions 3 and from 5 on.
bool ChecksumsApply(unsigned fileVersion);

// Faults of the packed records (length and CRC-16 of the deciphered bytes) and of the records'
// type and category references. Checksums are checked only for files whose items are stored in
// the current packed form (versions 3 and from 5 on).
Faults FindFaults(Context& ctx, LKMDB7::CDatabaseObj7& db, unsigned fileVersion);

// Progress on the error stream for long work, when the environment asks for it.
class Progress {
  public:
    Progress(const Context& ctx, std::string what, std::size_t total);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;
    void Step();
    // Sets the amount done (for work measured in other units than steps, such as bytes read).
    void StepTo(std::size_t done);

  private:
    const Context& ctx_;
    std::string what_;
    std::size_t total_;
    std::size_t done_ = 0;
    bool active_;
};

// --- small shared helpers ---

// A record ID as given on the command line: decimal, or hexadecimal with 0x.
DWORD ParseRecordID(const std::string& text);
// A bit word (decimal or 0x hexadecimal) of at most `max`; `what` names the option.
unsigned ParseBits(const std::string& text, unsigned max, const std::string& what);
// Texts between the tool and the database.
std::string Shown(const CString& text);
CString Stored(const std::string& utf8, const std::string& what);
// The record's type and category names, "Unfiled" when it has none.
std::string TypeName(LKMDB7::CDatabaseObj7& db, const LKMDB7::CRecord& record);
std::string CategoryName(LKMDB7::CDatabaseObj7& db, const LKMDB7::CRecord& record);
// The identifier that a type name selects: null for "Unfiled" (no type); throws CliError (1)
// when the database has no such type. The same for categories.
CUID TypeIDByName(LKMDB7::CDatabaseObj7& db, const std::string& name, const DatabaseFile& file);
CUID CategoryIDByName(LKMDB7::CDatabaseObj7& db, const std::string& name, const DatabaseFile& file);
// Writes the lines of `rows` in columns two spaces apart (widths counted in characters), each
// cell made Printable.
void WriteColumns(std::ostream& out, std::vector<std::vector<std::string>> rows);

}  // namespace lkmdb

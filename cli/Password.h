// Passwords in lkmdb: reading them from their sources, keying the record cipher, and deciding
// before anything is shown or written whether the password given is the database's.
//
// The decision: a crib of ours (lkmdb7/database/Crib.h) decides alone. Otherwise (no crib, or
// another program's) the packed records decide: the password is right when more than half of
// the items whose packed form carries a checksum pass it deciphered under that password; a wrong
// key passes one in 65536. A database with no checkable item and no crib of ours cannot be judged
// by its records: without a crib it takes no password, and with another program's crib any
// password is taken with a note.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "cli/Context.h"
#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

using LKMDB7::BYTE;

struct DatabaseFile;

// Whether opening a database decides on the password: kRequired stops on a wrong, missing or
// superfluous one; kOptional lets a missing one pass (nothing enciphered is shown); kNone does not
// look (the file is only copied).
enum class PasswordCheck { kRequired, kOptional, kNone };

// Keys the process-wide record cipher from the chosen source (UTF-8 turned into Windows-1252),
// or leaves it unset when no source was chosen; the bytes stay in ctx.passwordBytes. Clears
// both again when destroyed, as tests run many commands in one process.
class CipherScope {
  public:
    explicit CipherScope(Context& ctx);
    ~CipherScope();
    CipherScope(const CipherScope&) = delete;
    CipherScope& operator=(const CipherScope&) = delete;

  private:
    Context& ctx_;
};

// A password from source (the terminal asks with prompt, and with `again` a second time; the two
// must agree), in Windows-1252. Throws CliError (2) when there is none, it is empty, holds a zero
// byte or a character without a Windows-1252 byte, or the two typed differ.
std::string ReadPassword(Context& ctx, const PasswordSource& source, const std::string& prompt,
                         const std::string& again = {});

// Zeroes the bytes of a secret before it is dropped.
void Wipe(std::string& secret);

// What a database's crib and packed records say about the password in force.
struct PasswordFacts {
    LKMDB7::CribKind crib = LKMDB7::CribKind::kNone;
    bool given = false;                    // a password keys the record cipher
    bool cribMatches = false;              // ours, and made from the password given
    std::size_t items = 0;                 // items in the three lists
    std::size_t checked = 0;               // of them, packed records that carry a checksum
    std::size_t passKeyed = 0;             // of those, passing as deciphered at load
    std::optional<std::size_t> passPlain;  // passing as stored in the file, when asked for
};

enum class PasswordVerdict {
    kRight,
    kUnchecked,    // taken, but nothing could check it
    kWrong,        // "wrong password"
    kNeeded,       // "this database needs a password"
    kSuperfluous,  // "this database has no password"
};

PasswordVerdict JudgePassword(const PasswordFacts& facts);

// The facts of a database loaded under the cipher in force; `plain` also counts the packed
// records that pass as stored (which takes one more pass of the cipher).
PasswordFacts GatherPasswordFacts(const Context& ctx, LKMDB7::CDatabaseObj7& db,
                                  unsigned fileVersion, bool plain);

// Throws CliError (kExitPassword) when the verdict stops the command; with kOptional a missing
// password is no fault (the command shows nothing that is enciphered).
void CheckPassword(Context& ctx, LKMDB7::CDatabaseObj7& db, const DatabaseFile& file,
                   unsigned fileVersion, PasswordCheck check);

// For a file that may be too damaged to load: only a crib of ours is judged (the first 40
// bytes), and a wrong or missing password throws CliError (kExitPassword).
void CheckCribOfDamagedFile(const Context& ctx, const std::vector<LKMDB7::BYTE>& bytes,
                            const DatabaseFile& file);

// For info: whether the records are stored enciphered (nullopt: no item says).
std::optional<bool> RecordsEnciphered(const PasswordFacts& facts);

}  // namespace lkmdb

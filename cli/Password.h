// Passwords in lkmdb: reading them from their sources, keying the record cipher, and deciding
// before anything is shown or written whether the password given is the database's.
//
// The decision is the library's (lkmdb7/database/PasswordCheck.h), shared with every host: a crib
// of ours and the packed records must agree; without one the records decide.
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

// The facts of a database loaded under the cipher in force, with the crib checked against the
// password given; `plain` also counts the packed records that pass as stored.
LKMDB7::PasswordEvidence GatherPasswordFacts(const Context& ctx, LKMDB7::CDatabaseObj7& db,
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
std::optional<bool> RecordsEnciphered(const LKMDB7::PasswordEvidence& facts);

}  // namespace lkmdb

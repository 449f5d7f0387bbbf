#include "cli/Password.h"

#include <algorithm>
#include <istream>
#include <utility>

#include "cli/CliError.h"
#include "cli/Database.h"
#include "cli/Integrity.h"
#include "cli/Terminal.h"
#include "cli/Text1252.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

// Only its first line counts; a larger file is no password file.
constexpr std::size_t kMaxPasswordFile = std::size_t{1} << 20;

std::string ReadPasswordLine(Context& ctx, const PasswordSource& p, const std::string& prompt,
                             std::string& where) {
    std::string line;
    line.reserve(1024);  // growing would leave copies of the start in freed memory
    if (!p.file.empty()) {
        where = p.file;
        // A pipe or a device there is refused rather than waited on.
        std::string whole;
        if (const std::string refused =
                ReadRegularFile(NativePath(p.file), kMaxPasswordFile, whole);
            !refused.empty()) {
            throw CliError(kExitFailure, p.file + ": the password file " + refused);
        }
        const std::size_t start = whole.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
        line.assign(whole, start, whole.find('\n', start) - start);
        Wipe(whole);
    } else if (p.fromStdin) {
        where = "standard input";
        if (!std::getline(ctx.in, line)) {
            throw CliError(kExitFailure, "no password on standard input");
        }
    } else {
        where = "the terminal";
        std::optional<std::string> typed;
        if (ctx.env.askPassword) {
            typed = ctx.env.askPassword(prompt);
        }
        if (!typed) {
            throw CliError(kExitFailure, "there is no terminal to ask for the password on");
        }
        line = std::move(*typed);
        Wipe(*typed);
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return line;
}

std::string To1252(std::string& utf8, const std::string& where) {
    if (utf8.empty()) {
        throw CliError(kExitFailure, where + ": the password is empty");
    }
    // The cipher is keyed by the text up to its first zero byte: the rest would not count.
    if (utf8.find('\0') != std::string::npos) {
        Wipe(utf8);
        throw CliError(kExitFailure, where + ": the password holds a zero byte");
    }
    std::string bytes;
    try {
        bytes = ToWindows1252(utf8, "the password");
    } catch (const CliError&) {
        Wipe(utf8);
        // The message would quote a character of the password.
        throw CliError(kExitFailure, where + ": the password holds a character that has no " +
                                         "Windows-1252 byte, or is not UTF-8");
    }
    Wipe(utf8);
    return bytes;
}

}  // namespace

void Wipe(std::string& secret) {
    std::fill(secret.begin(), secret.end(), '\0');
    secret.clear();
}

std::string ReadPassword(Context& ctx, const PasswordSource& source, const std::string& prompt,
                         const std::string& again) {
    std::string where;
    std::string utf8 = ReadPasswordLine(ctx, source, prompt, where);
    std::string bytes = To1252(utf8, where);
    if (source.ask && !again.empty()) {
        std::string typed = ReadPasswordLine(ctx, source, again, where);
        std::string second = To1252(typed, where);
        const bool same = second == bytes;
        Wipe(second);
        if (!same) {
            Wipe(bytes);
            throw CliError(kExitFailure, "the two passwords typed differ; nothing was changed");
        }
    }
    return bytes;
}

CipherScope::CipherScope(Context& ctx) : ctx_(ctx) {
    SetRecordCipherPassword(nullptr);
    const PasswordSource& p = ctx.password;
    if (p.file.empty() && !p.fromStdin && !p.ask) {
        return;
    }
    ctx.passwordBytes = ReadPassword(ctx, p, "Password: ");
    SetRecordCipherPassword(ctx.passwordBytes.c_str());
    ctx.passwordGiven = true;
}

CipherScope::~CipherScope() {
    SetRecordCipherPassword(nullptr);
    Wipe(ctx_.passwordBytes);
}

PasswordEvidence GatherPasswordFacts(const Context& ctx, CDatabaseObj7& db, unsigned fileVersion,
                                     bool plain) {
    PasswordEvidence f = GatherPasswordEvidence(db, fileVersion, ctx.passwordGiven, plain);
    if (f.crib == CribKind::kOurs && f.given) {
        unsigned char crib[kCribSize];
        db.GetCrib(crib);
        f.cribMatches = CribMatches(crib, ctx.passwordBytes.c_str());
    }
    return f;
}

void CheckPassword(Context& ctx, CDatabaseObj7& db, const DatabaseFile& file, unsigned fileVersion,
                   PasswordCheck check) {
    if (check == PasswordCheck::kNone) {
        return;
    }
    PasswordEvidence facts = GatherPasswordFacts(ctx, db, fileVersion, false);
    PasswordVerdict verdict = JudgePassword(facts);
    if (verdict == PasswordVerdict::kWrong) {
        // Only now is it worth a second pass: is the password perhaps one too many?
        facts = GatherPasswordFacts(ctx, db, fileVersion, true);
        verdict = JudgePassword(facts);
    }
    switch (verdict) {
        case PasswordVerdict::kRight:
            return;
        case PasswordVerdict::kUnchecked:
            ctx.Note(file.shown + ": the password cannot be checked (" +
                     (facts.crib == CribKind::kForeign ? "another program's password check"
                                                       : "no record of a checked form") +
                     "); it is taken as given");
            return;
        case PasswordVerdict::kNeeded:
            if (check == PasswordCheck::kOptional) {
                return;
            }
            throw CliError(kExitPassword, file.shown + ": this database needs a password");
        case PasswordVerdict::kWrong:
            throw CliError(kExitPassword, file.shown + ": wrong password");
        case PasswordVerdict::kSuperfluous:
            throw CliError(kExitPassword, file.shown + ": this database has no password");
        case PasswordVerdict::kCribNotOfRecords:
            // No password can help: one the records take would fail the crib.
            throw CliError(
                kExitFailure,
                file.shown + ": the password check takes the password, but " +
                    std::to_string(facts.checked - facts.passKeyed) + " of " +
                    std::to_string(facts.checked) +
                    " packed records fail their checksum under it (a password check "
                    "copied from another file, or a damaged file); nothing is shown or changed");
    }
}

void CheckCribOfDamagedFile(const Context& ctx, const std::vector<BYTE>& bytes,
                            const DatabaseFile& file) {
    if (bytes.size() < kCribSize || GetCribKind(bytes.data()) != CribKind::kOurs) {
        return;
    }
    if (!ctx.passwordGiven) {
        throw CliError(kExitPassword, file.shown + ": this database needs a password");
    }
    if (!CribMatches(bytes.data(), ctx.passwordBytes.c_str())) {
        throw CliError(kExitPassword, file.shown + ": wrong password");
    }
}

std::optional<bool> RecordsEnciphered(const PasswordEvidence& facts) {
    if (facts.checked == 0 || !facts.passPlain) {
        return std::nullopt;
    }
    return !PassesTellKey(*facts.passPlain, facts.checked);
}

}  // namespace lkmdb

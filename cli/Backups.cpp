#include "cli/Backups.h"

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>

#include "cli/CliError.h"
#include "lkmdb7/database/internal/SafeFile.h"

namespace lkmdb {

using namespace LKMDB7;

void AttachTo(const Context& ctx, CDatabaseObj7& db, const DatabaseFile& file) {
    UseSaveOptions(ctx, db);
    db.Lock();  // never rewrite the file here
    LONG result = 0;
    try {
        result = db.Load(CString(file.native));
    } catch (const CException&) {
    }
    if (result == -1) {
        throw CliError(kExitFailure, file.shown + ": " + Reason(db, file.native, file.shown));
    }
}

std::string DatedName(const std::string& base) {
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm local{};
    if (const std::tm* t = std::localtime(&now)) {
        local = *t;
    }
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    std::string name = base + "." + stamp;
    for (int n = 2;
         std::filesystem::symlink_status(name).type() != std::filesystem::file_type::not_found;
         ++n) {
        name = base + "." + stamp + "-" + std::to_string(n);
    }
    return name;
}

void CopyToNew(const std::string& from, const std::string& to, const std::string& shown) {
    // The library's copy writes beside the name and renames: a full disk leaves no part of a
    // copy that would pass for a backup.
    const CDatabaseStatus copied =
        CopyFileSafely(CString(from), CString(to), CopyTarget::kCopy, CString());
    if (!copied.IsOk()) {
        std::string reason = copied.GetMessage();
        std::replace(reason.begin(), reason.end(), '\n', ' ');
        throw CliError(kExitFailure, shown + ": could not be written (" + reason + ")");
    }
}

}  // namespace lkmdb

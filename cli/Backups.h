// The copies that backup makes and restore puts back: the database object attached to its file,
// and new files that never replace one that exists.
#pragma once

#include <string>

#include "cli/Database.h"
#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

// The database object learns its file only by opening it. Opening may fail on a damaged file,
// which is exactly when a backup or a restore is wanted; the path is set by then all the same.
// Throws CliError (2) when the database lock was not obtained. The copies then follow the run's
// save options.
void AttachTo(const Context& ctx, LKMDB7::CDatabaseObj7& db, const DatabaseFile& file);

// `base` followed by the local date and time, and a number when that name is taken.
std::string DatedName(const std::string& base);

// Copies `from` to `to` (a name that DatedName found free) whole or not at all, with the mode of
// `from`; throws CliError naming `shown`.
void CopyToNew(const std::string& from, const std::string& to, const std::string& shown);

}  // namespace lkmdb

// The integrity checks of a loaded database: the checksums of its packed records and the type and
// category that each record names.
#pragma once

#include <string>
#include <vector>

#include "cli/Context.h"
#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

// One fault found in the database: a line for the user.
using Faults = std::vector<std::string>;

// VerifyDatabase's faults, one line each, with progress on the error stream.
Faults FindFaults(Context& ctx, LKMDB7::CDatabaseObj7& db, unsigned fileVersion);

}  // namespace lkmdb

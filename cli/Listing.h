// Output shared by several commands: the summary of a database and the one-line-per-record list.
#pragma once

#include <vector>

#include "cli/Context.h"
#include "cli/Database.h"
#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

using LKMDB7::CUID;

// The records of the view (type, category) in list order; CUID_ALL matches any. Deleted records
// are in no view.
std::vector<LKMDB7::CRecord*> RecordsInView(LKMDB7::CDatabaseObj7& db, const CUID& type,
                                            const CUID& category);

// Record ID, type, category and first field (masked when secret), as columns or as JSON.
void PrintRecordList(Context& ctx, LKMDB7::CDatabaseObj7& db,
                     const std::vector<LKMDB7::CRecord*>& records, bool json);

// Version, password, dates, counts and file size, as lines or as JSON.
void PrintInfo(Context& ctx, LKMDB7::CDatabaseObj7& db, const DatabaseFile& file,
               unsigned fileVersion, bool json);

}  // namespace lkmdb

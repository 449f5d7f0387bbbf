// Texts between the tool (UTF-8) and the database (Windows-1252), and the types and categories
// that the commands name.
#pragma once

#include <string>

#include "cli/Database.h"
#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

using LKMDB7::CString;
using LKMDB7::CUID;

std::string Shown(const CString& text);
// Throws CliError (2) naming `what` for a text that the database cannot store.
CString Stored(const std::string& utf8, const std::string& what);
// The record's type and category names, "Unfiled" when it has none.
std::string TypeName(LKMDB7::CDatabaseObj7& db, const LKMDB7::CRecord& record);
std::string CategoryName(LKMDB7::CDatabaseObj7& db, const LKMDB7::CRecord& record);
// The identifier that a type name selects: null for "Unfiled" (no type); throws CliError (1)
// when the database has no such type. The same for categories.
CUID TypeIDByName(LKMDB7::CDatabaseObj7& db, const std::string& name, const DatabaseFile& file);
CUID CategoryIDByName(LKMDB7::CDatabaseObj7& db, const std::string& name, const DatabaseFile& file);

// The record that RECORD names on the command line: the one of that ID (decimal, or hexadecimal
// with 0x) when there is one, else the one whose first field is that text, ignoring letter case.
// Deleted records are never named. Throws CliError: 1 when none matches, 2 when several do (the
// message lists their IDs).
LKMDB7::CRecord& FindRecord(LKMDB7::CDatabaseObj7& db, const std::string& text,
                            const DatabaseFile& file);

}  // namespace lkmdb

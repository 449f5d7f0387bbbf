// Database files of every version, built byte by byte: one record, one record type and (from
// version 5) one category, in the forms each version stores them.
#pragma once

#include <string>

#include "lkmdb7/platform/Types.h"
#include "tests/support/ItemTesting.h"

namespace lkmdb7_test {

// The identifiers of the type and the category that the records of RecordV name.
extern const Bytes kTypeId;
extern const Bytes kCatId;

// The header of a file: crib, create date, version, the icon name from version 5, reserved values.
Bytes Header(LKMDB7::WORD version, const std::string& icon = "");
// An item body around a packed record, for schema s.
Bytes Body(LKMDB7::WORD s, const Bytes& record, LKMDB7::DWORD recordID);
// A class tag that introduces a new class.
Bytes NewClass(LKMDB7::WORD schema, const std::string& name);
// Current-form packed records of layout version v (six texts below 6).
Bytes RecordV(LKMDB7::WORD v, const std::string& first);
Bytes TypeV(LKMDB7::WORD v, const std::string& name);
Bytes CategoryRecord(const std::string& name);

// Version 5 or more: record 11 (field 0 `alice`, note `note`), type "Web", category "Home".
Bytes FileV(LKMDB7::WORD v);
// Versions 0 to 2: the first old form; record 31, which that form leaves empty, and type "Card".
Bytes FileV1(LKMDB7::WORD v);
Bytes FileV2();
// Version 3: record 11 in the current form with six fields; its type is a plain category.
Bytes FileV3();
// Version 4: the second old form; record 21 (field 0 `bob`, note `n`) and type "Card".
Bytes FileV4();
// A file of version v, below the current one.
Bytes OlderFile(LKMDB7::WORD v);

}  // namespace lkmdb7_test

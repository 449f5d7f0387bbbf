// Database files of every version, built byte by byte (around the envelope of FileBytes.h): one
// record, one record type and (from version 5) one category, in the forms each version stores
// them.
#pragma once

#include <string>

#include "lkmdb7/platform/Types.h"
#include "tests/support/FileBytes.h"
#include "tests/support/ItemTesting.h"

namespace lkmdb7_test {

// The identifiers of the type and the category that the records of RecordV name.
extern const Bytes kTypeId;
extern const Bytes kCatId;

// A packed record with its CRC-16 in bytes 0-1, as a file of a checksummed layout holds it.
Bytes Sealed(Bytes r);
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

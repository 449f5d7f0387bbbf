// Verification of a loaded database: every packed record against its CRC-16, and the references
// between items (each record's type and category exist; no two types or two categories share a
// unique ID, since lists find them by it and a second one is never found). Reads only.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "lkmdb7/foundation/Uid.h"
#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

class CBaseItem;
class CDatabaseObj7;

// One fault that VerifyDatabase found.
struct VerifyFault {
    // What is wrong.
    enum Kind {
        kChecksum,         // the deciphered packed record fails its CRC-16, or is too short
        kDuplicateID,      // a type or category carries the unique ID of one before it
        kMissingType,      // a record names a record type that the types list lacks
        kMissingCategory,  // a record names a category that the category list lacks
    };
    Kind kind;  // what is wrong
    // The item at fault, and for kDuplicateID the one before it with that ID: owned by the
    // database, valid while its lists are unchanged.
    const CBaseItem* item = nullptr;
    const CBaseItem* first = nullptr;  // see item
    CUID id;             // kMissingType, kMissingCategory: the identifier the record names
    std::string detail;  // kChecksum: what failed ("checksum 1A2B stored, 3C4D computed")
};

// What VerifyDatabase found.
struct VerifyReport {
    // False for a file whose packed records are in an old form, which carries no CRC-16: only
    // references were checked.
    bool checksumsChecked = false;
    // In list order (records, types, categories), item by item.
    std::vector<VerifyFault> faults;

    bool Ok() const { return faults.empty(); }  // no fault found
};

// Checks db's items as they were read from a file of fileVersion (db.GetVersion() after
// LoadReadOnly); packed records are checked as deciphered by loading, so an enciphered database
// must have been loaded under its password. onItem, when given, is called once per item. Throws
// only what onItem throws and std::bad_alloc.
LKMDB7_EXPORT VerifyReport VerifyDatabase(CDatabaseObj7& db, unsigned fileVersion,
                                          const std::function<void()>& onItem = {});
// What is wrong with item's packed record as deciphered (a CRC-16 that does not hold, a record
// too short), or what was wrong with it when its file was read (FailedChecksumAtLoad); nullopt
// when nothing. For a packed form that carries a checksum.
LKMDB7_EXPORT std::optional<std::string> ChecksumFault(const CBaseItem& item);
// The number of items whose packed record fails its CRC-16 (0 for an old form): what a save
// would repack from misread texts, losing the records.
LKMDB7_EXPORT std::size_t CountChecksumFaults(CDatabaseObj7& db, unsigned fileVersion);

}  // namespace LKMDB7

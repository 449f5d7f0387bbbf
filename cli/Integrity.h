// The integrity checks of a loaded database: the checksums of its packed records and the type and
// category that each record names.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "cli/Context.h"
#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

// One fault found in the database: a line for the user.
using Faults = std::vector<std::string>;

// What is wrong with an item's deciphered packed record (too short, or its CRC-16 stored in bytes
// 0-1 differs from the one computed), or nullopt when it is as the packer wrote it.
std::optional<std::string> ChecksumFault(const LKMDB7::CBaseItem& item);
std::optional<std::string> ChecksumFault(const std::vector<LKMDB7::BYTE>& packedRecord);
// Whether the packed records of a file of this version (or items of this schema) carry that
// checksum: the current form, versions 3 and from 5 on.
bool ChecksumsApply(unsigned fileVersion);

// Faults of the packed records (length and CRC-16 of the deciphered bytes) and of the records'
// type and category references. Checksums are checked only for files whose items are stored in
// the current packed form (versions 3 and from 5 on).
Faults FindFaults(Context& ctx, LKMDB7::CDatabaseObj7& db, unsigned fileVersion);

}  // namespace lkmdb

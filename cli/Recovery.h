// Reading what can still be read from a damaged database file: the header when it reads, and every
// item whose class tag, body and packed record read. After a fault the reader scans forward for
// the next plausible class tag (a reference to a class seen before, or a new description naming
// an item class) and resumes there, so one bad item costs that item and nothing else.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

using LKMDB7::BYTE;
using LKMDB7::DWORD;
using LKMDB7::WORD;

// The lists, numbered as CObjectList::GetListType numbers them: records, types, categories.
inline constexpr std::size_t kListCount = 3;

struct SkippedBytes {
    std::size_t begin;   // file offset of the first byte skipped
    std::size_t end;     // one past the last
    std::string reason;  // what failed to read at begin
};

struct Recovery {
    // Bytes [0, headerSize) hold a header that read (crib, create date, version, icon file name,
    // reserved values); 0 when it did not, and headerProblem says why.
    std::size_t headerSize = 0;
    WORD version = 0;  // the header's, when it read
    std::string headerProblem;
    // The header read, but items begin before its end: only its fixed part (crib, create date,
    // version) is to be trusted, not the icon file name and reserved values.
    bool headerTrimmed = false;
    // Items that read, by list, in file order; items of files older than version 5 that were
    // kept as plain categories come back as record types, as loading turns them.
    std::array<std::vector<std::unique_ptr<LKMDB7::CBaseItem>>, kListCount> items;
    // Item counts that the file's list framing declares, where a count could be read.
    std::array<std::optional<DWORD>, kListCount> declared;
    std::vector<SkippedBytes> skipped;
    // Items whose body read but whose packed record failed its checksum: damaged, or read
    // under a wrong record cipher or none.
    std::size_t failedChecksums = 0;
    // Items that read but are not kept, one line each: those whose unique ID an item read before
    // in the same list carries (lists find items by it, so the second would never be found), and
    // those too long to be packed again (the new database could not be saved with them).
    std::array<std::vector<std::string>, kListCount> dropped;
    // Bytes of packed records read in full while trying items: the scan's work. A candidate is
    // read only once its checksum matches, so bytes that hold no item cost little beside their
    // own size.
    std::size_t triedBytes = 0;

    std::size_t Recovered() const;
    // Whole header read, nothing skipped, every declared item back and none dropped.
    bool Complete() const;
};

// Reads bytes (a database file's contents) as far as they read; `name` starts every reason.
// Packed records are read under the process's record cipher, and an item counts only when its
// packed record passes its checksum. Sets the item classes' schema numbers, as loading does.
// Raises only when memory runs out: bad bytes are skipped and reported.
Recovery RecoverItems(const std::vector<BYTE>& bytes, const std::string& name);

}  // namespace lkmdb

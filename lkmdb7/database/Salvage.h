// Salvage: reading what can still be read from a damaged database file, as a new database's
// contents. The header comes back when it reads, and every item whose class tag, body and packed
// record read and whose packed record passes its CRC-16. After a fault the reader scans forward
// for the next plausible class tag (a reference to a class seen before, or a new description
// naming an item class) and resumes there, so one bad item costs that item and nothing else. An
// item found so is taken only as a class whose form its bytes have exactly: its checksum alone
// holds whatever class they are read as.
//
// Packed records are read under the process's record cipher (an enciphered file needs its
// password set first, SetRecordCipherPassword). Salvage sets the item classes' schema numbers to
// the damaged file's version, as loading does, and reads a class whose description names another
// schema by that version too, when its items then read and check. It never writes: InstallInto
// moves what came back into a database object, which the caller saves.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "lkmdb7/database/DatabaseFormat.h"
#include "lkmdb7/items/BaseItem.h"
#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

class CDatabaseObj7;

// A run of the file that salvage could not read and went past.
struct SkippedBytes {
    std::size_t begin;   // file offset of the first byte skipped
    std::size_t end;     // one past the last
    std::string reason;  // what failed to read at begin, starting with the file's name
};

// An item that read but is not kept.
struct DroppedItem {
    // Why the item is not kept.
    enum Kind {
        kTooLong,     // too long to be packed again: the new database could not be saved with it
        kDuplicateID  // its unique ID is that of an item read before in the same list
    };
    Kind kind;             // why it is not kept
    CString name;          // the item's name (Windows-1252)
    std::string uniqueID;  // 16 hexadecimal digits
    std::string reason;    // kTooLong: why packing refuses it
};

// What salvage read of a damaged file; see the top of this header.
struct SalvageResult {
    // Bytes [0, headerSize) hold a header that read; 0 when it did not, and headerProblem says
    // why.
    std::size_t headerSize = 0;
    // The header, when it read. When headerTrimmed, only its fixed part (crib, create date,
    // version) is taken; the icon file name is empty and the reserved values are zero.
    DatabaseHeader header;
    std::string headerProblem;  // why the header did not read; empty when it did
    // The header read, but items begin before its end: its icon file name and reserved values
    // are not to be trusted.
    bool headerTrimmed = false;
    // Items that read, by list (kRecordListIndex ...), in file order; the result owns them until
    // InstallInto. Items of files older than version 5 that were kept as plain categories come
    // back as record types, as loading turns them.
    std::array<std::vector<std::unique_ptr<CBaseItem>>, kListCount> items;
    // How many items came back, by list; unchanged by InstallInto.
    std::array<std::size_t, kListCount> recovered{};
    // Item counts that the file's list framing declares, where a count could be read.
    std::array<std::optional<DWORD>, kListCount> declared;
    std::vector<SkippedBytes> skipped;  // in file order
    // Items whose body read but whose packed record failed its checksum: damaged, or read
    // under a wrong record cipher or none.
    std::size_t failedChecksums = 0;
    // Items that read but are not kept, by list. Lists find types and categories by unique ID, so
    // a second one of an ID would never be found: the one whose class was read rather than guessed
    // stays, else the first.
    std::array<std::vector<DroppedItem>, kListCount> dropped;
    // Per list, the distinct types and categories that recovered records name but that did not
    // come back (0 for the record list).
    std::array<std::size_t, kListCount> namedButMissing{};
    // Bytes of packed records read in full while trying items: the scan's work. A candidate is
    // read only once its checksum matches, so bytes that hold no item cost little beside their
    // own size.
    std::size_t triedBytes = 0;

    // The items that came back, in all lists.
    LKMDB7_EXPORT std::size_t Recovered() const;
    // Whole header read, nothing skipped, every declared item back and none dropped.
    LKMDB7_EXPORT bool Complete() const;
    // Gives db the header (when it read) and moves every item into its list: records at the end,
    // types and categories in name order; its lists own them then, and `items` is empty. db
    // should be empty. May raise CMemoryException; items not yet moved stay here.
    LKMDB7_EXPORT void InstallInto(CDatabaseObj7& db);
};

// Reads bytes (a database file's contents) as far as they read; `name` starts every reason.
// Raises only when memory runs out: bad bytes are skipped and reported.
LKMDB7_EXPORT SalvageResult SalvageDatabase(const std::vector<BYTE>& bytes,
                                            const std::string& name);
// The same for the file at path, read whole and never written (path names the reasons).
// Throws CFileException when it cannot be opened or read, CMemoryException.
LKMDB7_EXPORT SalvageResult SalvageDatabaseFile(const CString& path);
// A file's whole contents, read with others allowed to read and write it. Throws CFileException
// when it cannot be opened or read, CMemoryException.
LKMDB7_EXPORT std::vector<BYTE> ReadWholeFile(const CString& path);

}  // namespace LKMDB7

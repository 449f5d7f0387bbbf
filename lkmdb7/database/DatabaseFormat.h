// The database file as stored: its header, the lists that follow it and the classes those hold.
// The loader, the saver, salvage and verification all take these facts from here; the tags that
// name each item's class are in platform/internal/ArchiveFormat.h, the packed records in
// items/PackedFormat.h.
//
// A file, all integers little-endian:
//   offset  0  crib (40 bytes): the password check block, all zero without a password
//   offset 40  create date (u32)
//   offset 44  version (u16)
//   offset 46  icon file name (archive string; versions 5 on only), reserved word (u16),
//              reserved values 1 and 2 (u32 each)
//   then the record list, the types list and (versions 5 on) the category list, each an archive
//   count followed by that many tagged items.
#pragma once

#include <array>
#include <cstddef>

#include "lkmdb7/platform/CObject.h"
#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

class CArchive;

// The version that Save writes and Load upgrades older files to.
inline constexpr WORD kCurrentVersion = 9;
inline constexpr std::size_t kCribSize = 40;                       // bytes of the crib, at offset 0
inline constexpr std::size_t kHeaderCreateDateOffset = kCribSize;  // of the create date (u32)
inline constexpr std::size_t kHeaderVersionOffset = kHeaderCreateDateOffset + 4;  // version (u16)
// The header's bytes before its first field of varying length: crib, create date and version.
inline constexpr std::size_t kHeaderFixedSize = kHeaderVersionOffset + 2;
// The first version whose header holds an icon file name and whose file holds a category list.
inline constexpr WORD kFirstVersionWithCategories = 5;

// The lists in file order, numbered as CObjectList::GetListType numbers them.
inline constexpr std::size_t kListCount = 3;
inline constexpr std::size_t kRecordListIndex = 0;    // the record list, first in the file
inline constexpr std::size_t kTypesListIndex = 1;     // the types list
inline constexpr std::size_t kCategoryListIndex = 2;  // the category list (versions 5 on)

// The header's values as stored.
struct DatabaseHeader {
    std::array<BYTE, kCribSize> crib{};  // all zero: no password
    DWORD createDate = 0;                // the host's value, kept as it is
    WORD version = kCurrentVersion;      // the file's format version
    CString iconFileName;                // not stored before version 5
    WORD reservedWord = 0;               // kept as read
    DWORD reserved1 = 0;                 // kept as read
    DWORD reserved2 = 0;                 // kept as read
};

// Reads the header from the archive's position; throws CArchiveException naming the field that
// did not read, CFileException, CMemoryException.
LKMDB7_EXPORT DatabaseHeader ReadDatabaseHeader(CArchive& ar);
// Writes it as version header.version stores it.
LKMDB7_EXPORT void WriteDatabaseHeader(CArchive& ar, const DatabaseHeader& header);

// The classes whose schema numbers follow the version of the file being read or written.
LKMDB7_EXPORT const std::array<CRuntimeClass*, 6>& StoredClasses();
// Sets the schema numbers of StoredClasses to the layout of this version: the old packed forms
// take their number of texts from there. Process-wide, as the class descriptions are.
LKMDB7_EXPORT void StampClassSchemas(WORD version);
// The classes that lists hold: records, plain categories (the record types of files before
// version 5), record types, categories.
LKMDB7_EXPORT const std::array<CRuntimeClass*, 4>& ItemClasses();
// The list (kRecordListIndex ...) that holds items of this class; plain categories go to the
// types list, as loading turns them into record types.
LKMDB7_EXPORT std::size_t ListOfItemClass(const CRuntimeClass* cls);

}  // namespace LKMDB7

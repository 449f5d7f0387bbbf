// The packed record as stored in the file: its fixed sizes, its CRC-16 and the place of the item
// body's flag words around it. Packing, unpacking, verification and salvage all take these facts
// from here.
//
// A current-form packed record of length L: bytes 0-1 the CRC-16 (big-endian) of bytes 0 to
// L-8 with bytes 0-1 taken as zero, summed over (L - 7) mod 65536 bytes from kPackedCrcInitial;
// bytes 2-21 a header never enciphered; then the item's texts; then kPackedTailSize random bytes.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// Bytes of the packed header that every current-form record starts with; never enciphered.
inline constexpr std::size_t kPackedHeaderSize = 22;
// Pseudo-random bytes that end every current-form packed record.
inline constexpr std::size_t kPackedTailSize = 7;
// Initial value of the CRC-16 over a packed record's plain bytes.
inline constexpr WORD kPackedCrcInitial = 1259;
// Headers of the two old packed forms.
inline constexpr std::size_t kOldFormV1HeaderSize = 4;  // layouts up to 2
inline constexpr std::size_t kOldFormV2HeaderSize = 6;  // layout 4: bytes 4-5 hold the CRC
// Longest packed record that packing makes. The checksum and the cipher take the record's length
// as a 16-bit number, so the bytes of a longer record would be partly unchecked and partly in
// clear. Longer records from elsewhere still read.
inline constexpr std::size_t kMaxPackedRecordSize = 0xFFFF;
// The texts of an item: fields, or a record type's field labels. Items of layouts before 6 store
// kOldFormFieldCount of them.
inline constexpr int kFieldCount = 10;
inline constexpr int kOldFormFieldCount = 6;  // texts of an item of a layout before 6
// Bit of the item flag word that marks an item as kept on this computer only.
inline constexpr WORD kLocalOnlyFlag = 0x10;

// Whether items of this layout (a file version, or a class schema) hold their packed records in
// the current form, the one that carries the CRC: 3, and 5 on. Layouts up to 2 use the first old
// form, 4 the second.
LKMDB7_EXPORT bool PackedRecordHasChecksum(unsigned layout);
// The shortest packed record that an item of this layout can hold.
LKMDB7_EXPORT std::size_t ShortestPackedRecord(unsigned layout);

// The CRC-16 that bytes 0-1 of a plain packed record hold: over the first `covered` bytes
// ((L - 7) for a record of L bytes, taken modulo 65536), bytes 0-1 counted as zero. Reads at most
// `covered` bytes of plain; throws CInvalidArgException when plain is null and covered is not 0.
LKMDB7_EXPORT WORD PackedRecordCrc(const BYTE* plain, std::size_t covered);
// What is wrong with a deciphered current-form packed record: shorter than its header and tail,
// or the CRC stored in bytes 0-1 differs from PackedRecordCrc ("checksum 1A2B stored, 3C4D
// computed"); nullopt when it is as packing wrote it. May throw std::bad_alloc.
LKMDB7_EXPORT std::optional<std::string> PackedChecksumFault(const std::vector<BYTE>& plain);
// "checksum 1A2B stored, 3C4D computed".
LKMDB7_EXPORT std::string DescribeChecksumMismatch(WORD stored, WORD computed);

// Offsets, from the end of the packed record in an item body, of the body's three flag words
// (needs-sync, deleted, cloud-sync: little-endian, 0 or 1 as written here). Before them stand the
// record ID and, from layout 6 on, the PK identifier and the time stamp; layouts up to 2 put an
// old CRC word before the cloud-sync flag.
struct ItemFlagOffsets {
    std::size_t needsSync;  // of the needs-sync flag
    std::size_t deleted;    // of the deleted flag
    std::size_t cloudSync;  // of the cloud-sync flag
};
// The offsets of the flag words in an item body of this layout.
LKMDB7_EXPORT ItemFlagOffsets ItemBodyFlagOffsets(unsigned layout);

}  // namespace LKMDB7

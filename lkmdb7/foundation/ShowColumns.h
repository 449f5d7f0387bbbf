// CShowColumns: the host's column settings of one record type. The library stores, copies and
// saves them and never interprets them.
//
// Archive block, 96 raw bytes, no prefix:
//   0-3   count, little-endian (15)
//   4-93  15 entries of 6 bytes: first word (LE16), second word (LE16), first byte, second byte
//   94-95 padding, written as zero and ignored on reading
#pragma once

#include <array>
#include <cstddef>

#include "lkmdb7/platform/CObject.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// One column's settings: four host values, kept as they are.
struct LKMDB7_EXPORT CColumnEntry {
    WORD firstWord = 0;   // bytes 0-1 of the entry (LE16)
    WORD secondWord = 0;  // bytes 2-3 of the entry (LE16)
    BYTE firstByte = 0;   // byte 4 of the entry
    BYTE secondByte = 0;  // byte 5 of the entry
    friend bool operator==(const CColumnEntry&, const CColumnEntry&) = default;  // all four
};

// A value: copied with the record type that holds it (CTypeItem::GetColumnInfo).
class LKMDB7_EXPORT CShowColumns : public CObject {
  public:
    static constexpr int kEntryCount = 15;         // entries held and stored
    static constexpr std::size_t kBlockSize = 96;  // bytes of the archive block

    // The default column table that a new record type receives.
    CShowColumns();
    // Copies `count` entries (at most 15; none when count is below 1) and stores count as given.
    CShowColumns(int count, const CColumnEntry* entries);
    // @{
    // Copies the count and the entries.
    CShowColumns(const CShowColumns&) = default;
    CShowColumns& operator=(const CShowColumns&) = default;
    // @}
    ~CShowColumns() override = default;

    // Writes or reads the 96-byte block in the archive's direction; reading takes it unchanged.
    void Serialize(CArchive& ar) override;
    void Encode(BYTE* block) const;  // writes the block (kBlockSize bytes) at block
    void Decode(const BYTE* block);  // takes the count and entries from the block at block

    // The count as stored; may exceed kEntryCount or be below 1 in a file from elsewhere.
    LONG GetCount() const { return m_count; }
    // @{
    // Entry i, 0 to kEntryCount - 1, whatever the count; another i throws std::out_of_range.
    const CColumnEntry& GetEntry(int i) const { return m_entries.at(static_cast<std::size_t>(i)); }
    CColumnEntry& GetEntry(int i) { return m_entries.at(static_cast<std::size_t>(i)); }
    // @}

    // The entries of a new record type's table (the default constructor's), static.
    static const std::array<CColumnEntry, kEntryCount>& DefaultTable();

    // Same count and the same kEntryCount entries.
    friend bool operator==(const CShowColumns& a, const CShowColumns& b) {
        return a.m_count == b.m_count && a.m_entries == b.m_entries;
    }

  private:
    LONG m_count = 0;
    std::array<CColumnEntry, kEntryCount> m_entries{};
};

}  // namespace LKMDB7

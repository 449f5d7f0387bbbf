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

struct LKMDB7_EXPORT CColumnEntry {
    WORD firstWord = 0;
    WORD secondWord = 0;
    BYTE firstByte = 0;
    BYTE secondByte = 0;
    friend bool operator==(const CColumnEntry&, const CColumnEntry&) = default;
};

class LKMDB7_EXPORT CShowColumns : public CObject {
  public:
    static constexpr int kEntryCount = 15;
    static constexpr std::size_t kBlockSize = 96;

    // The default column table that a new record type receives.
    CShowColumns();
    // Copies `count` entries (at most 15; none when count is below 1) and stores count as given.
    CShowColumns(int count, const CColumnEntry* entries);
    CShowColumns(const CShowColumns&) = default;
    CShowColumns& operator=(const CShowColumns&) = default;
    ~CShowColumns() override = default;

    // Writes or reads the 96-byte block in the archive's direction; reading takes it unchanged.
    void Serialize(CArchive& ar) override;
    void Encode(BYTE* block) const;  // block of kBlockSize bytes
    void Decode(const BYTE* block);  // block of kBlockSize bytes

    LONG GetCount() const { return m_count; }
    const CColumnEntry& GetEntry(int i) const { return m_entries.at(static_cast<std::size_t>(i)); }
    CColumnEntry& GetEntry(int i) { return m_entries.at(static_cast<std::size_t>(i)); }

    static const std::array<CColumnEntry, kEntryCount>& DefaultTable();

    friend bool operator==(const CShowColumns& a, const CShowColumns& b) {
        return a.m_count == b.m_count && a.m_entries == b.m_entries;
    }

  private:
    LONG m_count = 0;
    std::array<CColumnEntry, kEntryCount> m_entries{};
};

}  // namespace LKMDB7

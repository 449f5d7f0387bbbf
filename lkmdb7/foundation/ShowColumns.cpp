#include "lkmdb7/foundation/ShowColumns.h"

#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/internal/ByteOrder.h"

namespace LKMDB7 {

const std::array<CColumnEntry, CShowColumns::kEntryCount>& CShowColumns::DefaultTable() {
    static const std::array<CColumnEntry, kEntryCount> table = [] {
        std::array<CColumnEntry, kEntryCount> t{};
        for (int i = 0; i < kEntryCount; ++i) {
            t[static_cast<std::size_t>(i)] = {static_cast<WORD>(i), 85, 1, 0};
        }
        t[0] = {0, 27, 1, 1};
        t[1] = {1, 140, 1, 0};
        t[2] = {2, 140, 1, 0};
        t[13] = {13, 24, 1, 1};
        t[14] = {14, 24, 1, 1};
        return t;
    }();
    return table;
}

CShowColumns::CShowColumns() : CShowColumns(kEntryCount, DefaultTable().data()) {}

CShowColumns::CShowColumns(int count, const CColumnEntry* entries) : m_count(count) {
    const int n = count < 1 ? 0 : (count > kEntryCount ? kEntryCount : count);
    for (int i = 0; i < n; ++i) {
        m_entries[static_cast<std::size_t>(i)] = entries[i];
    }
}

void CShowColumns::Encode(BYTE* block) const {
    PutLE32(block, static_cast<DWORD>(m_count));
    BYTE* p = block + 4;
    for (const CColumnEntry& e : m_entries) {
        PutLE16(p, e.firstWord);
        PutLE16(p + 2, e.secondWord);
        p[4] = e.firstByte;
        p[5] = e.secondByte;
        p += 6;
    }
    p[0] = 0;
    p[1] = 0;
}

void CShowColumns::Decode(const BYTE* block) {
    m_count = static_cast<LONG>(GetLE32(block));
    const BYTE* p = block + 4;
    for (CColumnEntry& e : m_entries) {
        e.firstWord = GetLE16(p);
        e.secondWord = GetLE16(p + 2);
        e.firstByte = p[4];
        e.secondByte = p[5];
        p += 6;
    }
}

void CShowColumns::Serialize(CArchive& ar) {
    BYTE block[kBlockSize];
    if (ar.IsStoring()) {
        Encode(block);
        ar.Write(block, static_cast<UINT>(kBlockSize));
    } else {
        ar.ReadExact(block, kBlockSize, "column settings");
        Decode(block);
    }
}

}  // namespace LKMDB7

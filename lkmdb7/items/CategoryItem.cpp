#include "lkmdb7/items/CategoryItem.h"

#include <cstring>

#include "lkmdb7/items/internal/PackedText.h"
#include "lkmdb7/platform/internal/ByteOrder.h"

namespace LKMDB7 {

LKMDB7_IMPLEMENT_SERIAL(CCategoryItem, CCategory, kVersionableSchema | 9)

CCategoryItem& CCategoryItem::operator=(CCategoryItem& source) {
    CCategory::operator=(static_cast<CBaseItem&>(source));
    return *this;
}

LONG CCategoryItem::CalculateRecordSize() {
    return static_cast<LONG>(kPackedHeaderSize + kPackedTailSize) + GetNameSize();
}

char* CCategoryItem::WritePalmRecord(char* buffer) {
    auto* p = reinterpret_cast<BYTE*>(buffer);
    std::memset(p, 0, kPackedHeaderSize);
    PutBE16(p, GetCRC());
    WriteUidAt(p + 2, GetUniqueID());
    char* cursor = buffer + kPackedHeaderSize;
    WriteName(cursor);
    return cursor;
}

char* CCategoryItem::ReadPackedRecord(char* record, const char* end, std::size_t length) {
    if (end != nullptr && length < kPackedHeaderSize) {
        return nullptr;
    }
    const auto* p = reinterpret_cast<const BYTE*>(record);
    SetCRC(GetBE16(p));
    SetUniqueID(ReadUidAt(p + 2));
    const char* cursor = record + kPackedHeaderSize;
    ReadName(cursor, end);
    return record + (cursor - record);
}

}  // namespace LKMDB7

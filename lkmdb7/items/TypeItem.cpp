#include "lkmdb7/items/TypeItem.h"

#include <cstring>

#include "lkmdb7/items/internal/PackedText.h"
#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/internal/ByteOrder.h"

namespace LKMDB7 {

LKMDB7_IMPLEMENT_SERIAL(CTypeItem, CCategory, kVersionableSchema | 9)

CTypeItem::CTypeItem(CCategory& source) {
    CCategory::operator=(static_cast<CBaseItem&>(source));
}

CTypeItem& CTypeItem::operator=(CTypeItem& source) {
    CCategory::operator=(static_cast<CBaseItem&>(source));
    m_columns = source.m_columns;
    return *this;
}

void CTypeItem::Serialize(CArchive& ar) {
    CBaseItem::Serialize(ar);
    m_columns.Serialize(ar);
    if (ar.IsLoading() && LayoutVersion() < 6) {
        m_columns = CShowColumns();
    }
}

LONG CTypeItem::CalculateRecordSize() {
    std::size_t size =
        kPackedHeaderSize + kPackedTailSize + static_cast<std::size_t>(GetNameSize());
    for (int i = 0; i < kFieldCount; ++i) {
        size += PackedTextLength(WorkingText(i)) + 1;
    }
    return static_cast<LONG>(size);
}

char* CTypeItem::WritePalmRecord(char* buffer) {
    auto* p = reinterpret_cast<BYTE*>(buffer);
    std::memset(p, 0, kPackedHeaderSize);
    PutBE16(p, GetCRC());
    WriteUidAt(p + 2, GetUniqueID());
    PutBE16(p + 10, static_cast<WORD>(GetIconIndex()));
    PutBE16(p + 12, GetMaskBits());
    char* cursor = buffer + kPackedHeaderSize;
    WriteName(cursor);
    auto* q = reinterpret_cast<BYTE*>(cursor);
    for (int i = 0; i < kFieldCount; ++i) {
        q = WritePackedText(q, WorkingText(i));
    }
    return reinterpret_cast<char*>(q);
}

char* CTypeItem::ReadPackedRecord(char* record, const char* end, std::size_t length) {
    if (end != nullptr && length < kPackedHeaderSize) {
        return nullptr;
    }
    const auto* p = reinterpret_cast<const BYTE*>(record);
    SetCRC(GetBE16(p));
    SetUniqueID(ReadUidAt(p + 2));
    SetIconIndex(GetBE16(p + 10));
    SetMaskBits(GetBE16(p + 12));
    const char* cursor = record + kPackedHeaderSize;
    ReadName(cursor, end);
    PackedCursor texts(reinterpret_cast<const BYTE*>(cursor), reinterpret_cast<const BYTE*>(end));
    const int count = LayoutVersion() < 6 ? kOldFormFieldCount : kFieldCount;
    for (int i = 0; i < count; ++i) {
        UnpackText(i, texts.ReadView());
    }
    if (count == 6) {
        UnpackText(9, "Date Mod");
    }
    return record + (reinterpret_cast<const char*>(texts.Position()) - record);
}

void CTypeItem::GetLabels(CStringArray& out) const {
    out.SetSize(kFieldCount);
    for (int i = 0; i < kFieldCount; ++i) {
        out.SetAt(i, WorkingText(i));
    }
}

CString DefaultFieldLabel(int i) {
    CString label;
    label.Format("Field %d", i >= 0 && i < kFieldCount ? i + 1 : kFieldCount);
    return label;
}

CString CTypeItem::GetLabel(int i) const {
    CString label = GetCustom(i);
    if (!label.IsEmpty()) {
        return label;
    }
    return DefaultFieldLabel(i);
}

void CTypeItem::SetDefaultLabels() {
    for (int i = 0; i < kFieldCount; ++i) {
        SetLabel(i, DefaultFieldLabel(i));
    }
}

bool CTypeItem::IsEqual(const CTypeItem* other) const {
    if (other == nullptr || GetName().Compare(other->GetName()) != 0 ||
        GetMaskBits() != other->GetMaskBits() || GetIconIndex() != other->GetIconIndex()) {
        return false;
    }
    for (int i = 0; i < 9; ++i) {
        if (GetLabel(i).CompareNoCase(other->GetLabel(i)) != 0) {
            return false;
        }
    }
    return true;
}

}  // namespace LKMDB7

#include "lkmdb7/lists/TypesList.h"

#include <memory>
#include <new>

#include "lkmdb7/platform/CArchive.h"

namespace LKMDB7 {

CBaseItem* CTypesList::CreateItem() {
    return new CTypeItem;
}

CTypeItem* CTypesList::GetType(const CUID& id) const {
    return static_cast<CTypeItem*>(FindByUniqueID(id));
}

CTypeItem* CTypesList::GetTypeByName(const CString& name) const {
    return static_cast<CTypeItem*>(FindByName(name));
}

CString CTypesList::GetLabel(const CUID& id, int field) const {
    if (const CTypeItem* type = GetType(id)) {
        return type->GetLabel(field);
    }
    return DefaultFieldLabel(field);
}

void CTypesList::GetTypeLabels(const CUID& id, CStringArray& labels) const {
    labels.SetSize(kFieldCount);
    const CTypeItem* type = GetType(id);
    for (int i = 0; i < kFieldCount; ++i) {
        labels.SetAt(i, type != nullptr ? type->GetLabel(i) : DefaultFieldLabel(i));
    }
}

WORD CTypesList::GetTypeMask(const CUID& id) const {
    const CTypeItem* type = GetType(id);
    return type != nullptr ? type->GetMaskBits() : WORD{0};
}

BYTE CTypesList::GetTypeIconIndex(const CUID& id) const {
    const CTypeItem* type = GetType(id);
    return type != nullptr ? static_cast<BYTE>(type->GetIconIndex() & 0xFF) : BYTE{24};
}

void CTypesList::Serialize(CArchive& ar, WORD version) {
    if (ar.IsStoring()) {
        SerializeItems(ar, LKMDB7_RUNTIME_CLASS(CTypeItem), "types list");
        return;
    }
    // Files before version 5 keep record types as plain categories.
    SerializeItems(ar,
                   version < 5 ? LKMDB7_RUNTIME_CLASS(CCategory) : LKMDB7_RUNTIME_CLASS(CTypeItem),
                   "types list");
    if (version < 5) {
        ConvertOldTypes();
    }
}

void CTypesList::ConvertOldTypes() {
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        const POSITION current = pos;
        auto* old = static_cast<CCategory*>(GetNextItem(pos));
        if (!old->GetUniqueID().IsNull()) {
            std::unique_ptr<CTypeItem> type(new (std::nothrow) CTypeItem(*old));
            if (type) {
                InsertBefore(current, type.get());
                static_cast<void>(type.release());  // the list owns it now
            }
        }
        RemoveAt(current);
        delete old;
    }
}

}  // namespace LKMDB7

// CTypesList: the record types of a database, in name order, with the fallbacks hosts rely on
// when an identifier names no type ("Unfiled", DefaultFieldLabel's "Field 1".."Field 10", icon
// 3024).
#pragma once

#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/lists/UniqueList.h"

namespace LKMDB7 {

// Owned by its CDatabaseObj7 (GetTypesList); holds CTypeItem items.
class LKMDB7_EXPORT CTypesList : public CUniqueList {
  public:
    int GetListType() const override { return 1; }
    CBaseItem* CreateItem() override;
    CBaseItem* MatchItem(CBaseItem* item) override { return MatchByUniqueID(item); }
    // Does nothing: a new database has no record types.
    void CreateDefaults() {}

    // The type with this identifier (CUniqueList::FindByUniqueID), still the list's; null when
    // none.
    CTypeItem* GetType(const CUID& id) const;
    // The undeleted type of this name, case ignored (CUniqueList::FindByName); null when none.
    CTypeItem* GetTypeByName(const CString& name) const;
    // The identifier of the index-th undeleted type (CUniqueList::UniqueIDByIndex).
    CUID GetTypeIDByIndex(int index) const { return UniqueIDByIndex(index); }
    // The name of the type with this identifier, or "Unfiled" (CUniqueList::NameOf).
    CString GetTypeName(const CUID& id) const { return NameOf(id); }
    // The type's label, or DefaultFieldLabel(field): "Field 1".."Field 9" for fields 0 to 8 and
    // "Field 10" for anything else.
    CString GetLabel(const CUID& id, int field) const;
    // Ten labels: the type's, or "Field 1".."Field 10".
    void GetTypeLabels(const CUID& id, CStringArray& labels) const;
    // The type's mask (CBaseItem::GetMaskBits); 0 when no type has this identifier.
    WORD GetTypeMask(const CUID& id) const;
    // The host's resource number of an icon: 3000 + iconIndex.
    static unsigned int GetIcon(BYTE iconIndex) { return 3000U + iconIndex; }
    // GetIcon of the type's icon index (GetTypeIconIndex).
    unsigned int GetTypeIcon(const CUID& id) const { return GetIcon(GetTypeIconIndex(id)); }
    // The type's icon index, its low byte; 24 when no type has this identifier.
    BYTE GetTypeIconIndex(const CUID& id) const;

    // Framing in either direction. Reading a file older than version 5 turns its plain
    // categories into record types and drops those with a null unique ID.
    void Serialize(CArchive& ar, WORD version);
    using CObject::Serialize;

  private:
    void ConvertOldTypes();
};

}  // namespace LKMDB7

// CTypesList: the record types of a database, in name order, with the fallbacks hosts rely on
// when an identifier names no type ("Unfiled", DefaultFieldLabel's "Field 1".."Field 10", icon
// 3024).
#pragma once

#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/lists/UniqueList.h"

namespace LKMDB7 {

class LKMDB7_EXPORT CTypesList : public CUniqueList {
  public:
    int GetListType() const override { return 1; }
    CBaseItem* CreateItem() override;
    CBaseItem* MatchItem(CBaseItem* item) override { return MatchByUniqueID(item); }
    void CreateDefaults() {}

    CTypeItem* GetType(const CUID& id) const;
    CTypeItem* GetTypeByName(const CString& name) const;
    CUID GetTypeIDByIndex(int index) const { return UniqueIDByIndex(index); }
    CString GetTypeName(const CUID& id) const { return NameOf(id); }
    // The type's label, or DefaultFieldLabel(field): "Field 1".."Field 9" for fields 0 to 8 and
    // "Field 10" for anything else.
    CString GetLabel(const CUID& id, int field) const;
    // Ten labels: the type's, or "Field 1".."Field 10".
    void GetTypeLabels(const CUID& id, CStringArray& labels) const;
    WORD GetTypeMask(const CUID& id) const;
    static unsigned int GetIcon(BYTE iconIndex) { return 3000U + iconIndex; }
    unsigned int GetTypeIcon(const CUID& id) const { return GetIcon(GetTypeIconIndex(id)); }
    BYTE GetTypeIconIndex(const CUID& id) const;

    // Framing in either direction. Reading a file older than version 5 turns its plain
    // categories into record types and drops those with a null unique ID.
    void Serialize(CArchive& ar, WORD version);
    using CObject::Serialize;

  private:
    void ConvertOldTypes();
};

}  // namespace LKMDB7

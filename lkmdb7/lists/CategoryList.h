// CCategoryList: the categories of a database, in name order. Files before version 5 carry none.
#pragma once

#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/lists/UniqueList.h"

namespace LKMDB7 {

// Owned by its CDatabaseObj7 (GetCategoryList); holds CCategoryItem items.
class LKMDB7_EXPORT CCategoryList : public CUniqueList {
  public:
    int GetListType() const override { return 2; }
    CBaseItem* CreateItem() override;
    CBaseItem* MatchItem(CBaseItem* item) override { return MatchByUniqueID(item); }
    // Does nothing: a new database has no categories.
    void CreateDefaults() {}

    // The category with this identifier (CUniqueList::FindByUniqueID), still the list's; null
    // when none.
    CCategoryItem* GetCategory(const CUID& id) const;
    // The undeleted category of this name, case ignored (CUniqueList::FindByName); null when none.
    CCategoryItem* GetCategoryByName(const CString& name) const;
    // The identifier of the index-th undeleted category (CUniqueList::UniqueIDByIndex).
    CUID GetCategoryIDByIndex(int index) const { return UniqueIDByIndex(index); }
    // The name of the category with this identifier, or "Unfiled" (CUniqueList::NameOf).
    CString GetCategoryName(const CUID& id) const { return NameOf(id); }

    // Framing in either direction; reading below version 5 reads nothing and changes nothing.
    void Serialize(CArchive& ar, WORD version);
    using CObject::Serialize;
};

}  // namespace LKMDB7

// CCategoryList: the categories of a database, in name order. Files before version 5 carry none.
#pragma once

#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/lists/UniqueList.h"

namespace LKMDB7 {

class LKMDB7_EXPORT CCategoryList : public CUniqueList {
  public:
    int GetListType() const override { return 2; }
    CBaseItem* CreateItem() override;
    CBaseItem* MatchItem(CBaseItem* item) override { return MatchByUniqueID(item); }
    void CreateDefaults() {}

    CCategoryItem* GetCategory(const CUID& id) const;
    CCategoryItem* GetCategoryByName(const CString& name) const;
    CUID GetCategoryIDByIndex(int index) const { return UniqueIDByIndex(index); }
    CString GetCategoryName(const CUID& id) const { return NameOf(id); }

    // Framing in either direction; reading below version 5 reads nothing and changes nothing.
    void Serialize(CArchive& ar, WORD version);
    using CObject::Serialize;
};

}  // namespace LKMDB7

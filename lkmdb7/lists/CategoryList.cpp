#include "lkmdb7/lists/CategoryList.h"

#include "lkmdb7/platform/CArchive.h"

namespace LKMDB7 {

CBaseItem* CCategoryList::CreateItem() {
    return new CCategoryItem;
}

CCategoryItem* CCategoryList::GetCategory(const CUID& id) const {
    return static_cast<CCategoryItem*>(FindByUniqueID(id));
}

CCategoryItem* CCategoryList::GetCategoryByName(const CString& name) const {
    return static_cast<CCategoryItem*>(FindByName(name));
}

void CCategoryList::Serialize(CArchive& ar, WORD version) {
    if (ar.IsLoading() && version < 5) {
        return;
    }
    SerializeItems(ar, LKMDB7_RUNTIME_CLASS(CCategoryItem), "category list");
}

}  // namespace LKMDB7

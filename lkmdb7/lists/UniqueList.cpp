#include "lkmdb7/lists/UniqueList.h"

#include <algorithm>
#include <new>
#include <vector>

#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

void CUniqueList::AddItemSorted(CBaseItem* item) {
    if (item == nullptr) {
        return;
    }
    if (item->GetUniqueID().IsNull()) {
        CUID id;
        id.Generate();
        item->SetUniqueID(id);
    }
    InsertSorted(item);
}

void CUniqueList::InsertSorted(CBaseItem* item) {
    const CString name = item->GetName();
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        const POSITION current = pos;
        if (ItemAt(GetNext(pos))->GetName().CollateNoCase(name) >= 0) {
            InsertBefore(current, item);
            return;
        }
    }
    AddTail(item);
}

// The order that inserting every item in turn with InsertSorted gives (an equal name lands before
// the ones inserted earlier), reached without taking the items out of the list: when memory runs
// out part way, the list keeps every item, in its old order.
void CUniqueList::SortByName() {
    std::vector<CBaseItem*> items;
    try {
        items.reserve(static_cast<std::size_t>(GetCount()));
        for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
            items.push_back(ItemAt(GetNext(pos)));
        }
        std::reverse(items.begin(), items.end());
        std::stable_sort(items.begin(), items.end(), [](const CBaseItem* a, const CBaseItem* b) {
            return a->GetName().CollateNoCase(b->GetName()) < 0;
        });
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
    auto next = items.begin();
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        GetNext(pos) = *next++;
    }
}

CBaseItem* CUniqueList::FindByUniqueID(const CUID& id) const {
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        CBaseItem* item = ItemAt(GetNext(pos));
        if (item->GetUniqueID() == id) {
            return item;
        }
    }
    return nullptr;
}

CBaseItem* CUniqueList::FindByName(const CString& name) const {
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        CBaseItem* item = ItemAt(GetNext(pos));
        if (!item->IsDeleted() && item->GetName().CompareNoCase(name) == 0) {
            return item;
        }
    }
    return nullptr;
}

CUID CUniqueList::UniqueIDByIndex(int index) const {
    if (index < 0) {
        return CUID();
    }
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        CBaseItem* item = ItemAt(GetNext(pos));
        if (!item->IsDeleted() && index-- == 0) {
            return item->GetUniqueID();
        }
    }
    return CUID();
}

CString CUniqueList::NameOf(const CUID& id) const {
    const CBaseItem* item = FindByUniqueID(id);
    return item != nullptr ? item->GetName() : CString("Unfiled");
}

CBaseItem* CUniqueList::MatchByUniqueID(CBaseItem* item) {
    CBaseItem* match = CObjectList::MatchItem(item);
    if (match == nullptr && item != nullptr) {
        match = FindByUniqueID(item->GetUniqueID());
    }
    return match;
}

}  // namespace LKMDB7

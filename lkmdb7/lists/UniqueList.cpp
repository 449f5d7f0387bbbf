#include "lkmdb7/lists/UniqueList.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>
#include <vector>

#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

namespace {

ULONGLONG IdKey(const CUID& id) {
    ULONGLONG key = 0;
    std::memcpy(&key, id.Bytes(), sizeof key);
    return key;
}

std::string NameKey(const CString& name) {
    CString lower = name;
    lower.MakeLower();
    return lower.str();
}

}  // namespace

struct CUniqueList::Index {
    ULONGLONG list = 0;
    ULONGLONG items = 0;
    bool valid = false;
    // Whether the index was current at the last FindByName.
    bool checkedCurrent = false;
    // The first item of each unique ID, deleted ones included, as a walk finds it.
    std::unordered_map<ULONGLONG, CBaseItem*> byID;
    // Undeleted items by lower-cased name, in list order; a hit is confirmed by CompareNoCase.
    std::unordered_map<std::string, std::vector<CBaseItem*>> byName;
    // Undeleted items in list order.
    std::vector<CBaseItem*> undeleted;
    // Every node in list order, and whether their names collate in ascending order.
    std::vector<POSITION> order;
    bool sorted = true;

    // Walks that built the index, for tests of the validity rule.
    ULONGLONG builds = 0;

    bool Matches(const CObjectList& owner) const {
        return valid && list == owner.GetModificationCount() && items == owner.GetItemChanges();
    }
    void Take(const CObjectList& owner) {
        list = owner.GetModificationCount();
        items = owner.GetItemChanges();
        valid = true;
    }
};

CUniqueList::CUniqueList() : m_index(std::make_unique<Index>()) {}

CUniqueList::~CUniqueList() = default;

ULONGLONG CUniqueList::IndexBuilds() const {
    return m_index->builds;
}

const CUniqueList::Index* CUniqueList::Current() const {
    const CUniqueList& self = *this;
    // The index is the list's cache, not part of its value: building it changes no answer.
    Index& index = *m_index;
    try {
        if (index.Matches(self)) {
            return &index;
        }
        index.valid = false;
        index.byID.clear();
        index.byName.clear();
        index.undeleted.clear();
        index.order.clear();
        index.sorted = true;
        ++index.builds;
        CString previous;
        bool first = true;
        for (POSITION pos = self.GetHeadPosition(); pos != nullptr;) {
            const POSITION at = pos;
            CBaseItem* item = self.GetNextItem(pos);
            WatchItem(*item);
            index.order.push_back(at);
            index.byID.emplace(IdKey(item->GetUniqueID()), item);
            const CString name = item->GetName();
            if (!item->IsDeleted()) {
                index.byName[NameKey(name)].push_back(item);
                index.undeleted.push_back(item);
            }
            if (!first && index.sorted && previous.CollateNoCase(name) > 0) {
                index.sorted = false;
            }
            previous = name;
            first = false;
        }
        index.Take(self);
        return &index;
    } catch (const std::bad_alloc&) {
        index.valid = false;
        return nullptr;
    }
}

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

void CUniqueList::AddCheckedItemSorted(CBaseItem* item) {
    Index* index = m_index.get();
    // The new item's own setters do not count, as no index of this list has taken it in yet.
    const bool keep = index->checkedCurrent && index->Matches(*this) && index->sorted &&
                      !item->GetUniqueID().IsNull();
    index->checkedCurrent = false;
    if (!keep) {
        AddItemSorted(item);
        return;
    }
    const CUniqueList& self = *this;
    const CString name = item->GetName();
    // The first node that collates equal to or after the name, as InsertSorted's walk finds it.
    const auto at = std::partition_point(index->order.begin(), index->order.end(), [&](POSITION p) {
        return ItemAt(self.GetAt(p))->GetName().CollateNoCase(name) < 0;
    });
    const auto rank = at - index->order.begin();
    const POSITION node = at == index->order.end() ? AddTail(item) : InsertBefore(*at, item);
    index->valid = false;
    try {
        const std::string key = NameKey(name);
        const ULONGLONG id = IdKey(item->GetUniqueID());
        // An equal identifier or name elsewhere in the list would need list order to place it:
        // left to the next rebuild.
        if (item->IsDeleted() || index->byID.count(id) != 0 || index->byName.count(key) != 0) {
            return;
        }
        // Its place among the undeleted items: after the last undeleted one before it.
        auto after = index->undeleted.begin();
        for (auto p = index->order.begin() + rank; p != index->order.begin();) {
            const CBaseItem* other = ItemAt(self.GetAt(*--p));
            if (!other->IsDeleted()) {
                after = std::find(index->undeleted.begin(), index->undeleted.end(), other) + 1;
                break;
            }
        }
        index->undeleted.insert(after, item);
        index->order.insert(index->order.begin() + rank, node);
        index->byID.emplace(id, item);
        index->byName[key].push_back(item);
        WatchItem(*item);
        index->Take(self);
    } catch (const std::bad_alloc&) {
        index->valid = false;
    }
}

void CUniqueList::InsertSorted(CBaseItem* item) {
    const CString name = item->GetName();
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        const POSITION current = pos;
        if (GetNextItem(pos)->GetName().CollateNoCase(name) >= 0) {
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
            items.push_back(GetNextItem(pos));
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
    if (const Index* index = Current()) {
        const auto found = index->byID.find(IdKey(id));
        return found != index->byID.end() ? found->second : nullptr;
    }
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        CBaseItem* item = GetNextItem(pos);
        if (item->GetUniqueID() == id) {
            return item;
        }
    }
    return nullptr;
}

CBaseItem* CUniqueList::FindByName(const CString& name) const {
    const bool wasCurrent = m_index->Matches(*this);
    if (const Index* index = Current()) {
        m_index->checkedCurrent = wasCurrent;
        const auto found = index->byName.find(NameKey(name));
        if (found == index->byName.end()) {
            return nullptr;
        }
        for (CBaseItem* item : found->second) {
            if (item->GetName().CompareNoCase(name) == 0) {
                return item;
            }
        }
        return nullptr;
    }
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        CBaseItem* item = GetNextItem(pos);
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
    if (const Index* current = Current()) {
        const auto at = static_cast<std::size_t>(index);
        return at < current->undeleted.size() ? current->undeleted[at]->GetUniqueID() : CUID();
    }
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        CBaseItem* item = GetNextItem(pos);
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

// How an item tells the list that indexes it that a value the indexes are built from changed
// (lists/ObjectList.h states the rule). A list owns one ItemChangeCount, shared with the items its
// indexes took in: an item bumps the count of the list that last watched it, and no other.
#pragma once

#include <memory>

#include "lkmdb7/items/BaseItem.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

struct ItemChangeCount {
    ULONGLONG value = 0;
};

class ItemChangeWatch {
  public:
    // From now on, the item's indexed changes bump count (and no longer another list's).
    static void Watch(const CBaseItem& item, const std::shared_ptr<ItemChangeCount>& count) {
        auto& current = const_cast<CBaseItem&>(item).m_changeCount;
        if (current != count) {
            current = count;
        }
    }
    // Whether the item's indexed changes bump count.
    static bool IsWatchedBy(const CBaseItem& item, const ItemChangeCount* count) {
        return item.m_changeCount.get() == count;
    }
};

}  // namespace LKMDB7

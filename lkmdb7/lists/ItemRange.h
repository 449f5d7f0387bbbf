// Walking the items of a list with a range-for:
//
//     for (CRecord& record : Items(db.GetRecordList())) { ... }
//     for (const CBaseItem& item : Items(std::as_const(someList))) { ... }
//
// Items(list) yields the list's own item class: CRecord for a CRecordList, CTypeItem for a
// CTypesList, CCategoryItem for a CCategoryList, CBaseItem for any other CObjectList; const when
// the list is const. Walking never changes the list (nor its modification count). The item being
// visited may be removed from the list (DeleteItem) inside the loop, since the walk has already
// moved past it; adding or removing any other item ends the walk's validity.
//
// An item of a class other than the list's own (added with AddItem) raises CInvalidArgException
// when the walk reaches it, rather than being handed out as the wrong class.
#pragma once

#include <cstddef>
#include <iterator>
#include <string>
#include <type_traits>

#include "lkmdb7/items/BaseItem.h"
#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/lists/CategoryList.h"
#include "lkmdb7/lists/ObjectList.h"
#include "lkmdb7/lists/RecordList.h"
#include "lkmdb7/lists/TypesList.h"
#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

// The item class that a list holds.
template <class List>
struct ListItemClass {
    using type = CBaseItem;
};
template <>
struct ListItemClass<CRecordList> {
    using type = CRecord;
};
template <>
struct ListItemClass<CTypesList> {
    using type = CTypeItem;
};
template <>
struct ListItemClass<CCategoryList> {
    using type = CCategoryItem;
};

// Item is the class handed out, const-qualified for a const list.
template <class Item>
class ItemRange {
  public:
    class iterator {
      public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::remove_const_t<Item>;
        using difference_type = std::ptrdiff_t;
        using pointer = Item*;
        using reference = Item&;

        iterator() = default;
        Item& operator*() const { return *current_; }
        Item* operator->() const { return current_; }
        iterator& operator++() {
            Advance();
            return *this;
        }
        iterator operator++(int) {
            iterator before = *this;
            Advance();
            return before;
        }
        bool operator==(const iterator& other) const { return current_ == other.current_; }

      private:
        friend class ItemRange;
        iterator(const CObList* list, POSITION head) : list_(list), next_(head) { Advance(); }

        void Advance() {
            if (next_ == nullptr) {
                current_ = nullptr;
                return;
            }
            // The const overload: it hands out no writable slot, so the list stays unmodified.
            CObject* object = list_->GetNext(next_);
            using Class = std::remove_const_t<Item>;
            if (object == nullptr || !object->IsKindOf(Class::GetThisClass())) {
                throw CInvalidArgException(std::string("list walk: an item is not a ") +
                                           Class::GetThisClass()->m_lpszClassName);
            }
            current_ = static_cast<Item*>(static_cast<Class*>(object));
        }

        const CObList* list_ = nullptr;
        POSITION next_ = nullptr;
        Item* current_ = nullptr;
    };

    explicit ItemRange(const CObjectList& list) : list_(&list) {}
    iterator begin() const { return iterator(list_, list_->GetHeadPosition()); }
    iterator end() const { return iterator(); }

  private:
    const CObjectList* list_;
};

template <class List>
requires std::is_base_of_v<CObjectList, std::remove_const_t<List>>
auto Items(List& list) {
    using Item = typename ListItemClass<std::remove_const_t<List>>::type;
    if constexpr (std::is_const_v<List>) {
        return ItemRange<const Item>(list);
    } else {
        return ItemRange<Item>(list);
    }
}

}  // namespace LKMDB7

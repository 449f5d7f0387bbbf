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
    using type = CBaseItem;  // the item class
};
// A CRecordList holds CRecord items.
template <>
struct ListItemClass<CRecordList> {
    using type = CRecord;  // the item class
};
// A CTypesList holds CTypeItem items.
template <>
struct ListItemClass<CTypesList> {
    using type = CTypeItem;  // the item class
};
// A CCategoryList holds CCategoryItem items.
template <>
struct ListItemClass<CCategoryList> {
    using type = CCategoryItem;  // the item class
};

// Item is the class handed out, const-qualified for a const list.
template <class Item>
class ItemRange {
  public:
    // A forward iterator over the list's items, in list order. Moving to an item that is not of
    // the class Item throws CInvalidArgException. Valid while the list is not changed.
    class iterator {
      public:
        // @{
        // The standard iterator traits.
        using iterator_category = std::forward_iterator_tag;
        using value_type = std::remove_const_t<Item>;
        using difference_type = std::ptrdiff_t;
        using pointer = Item*;
        using reference = Item&;
        // @}

        // The end of every range.
        iterator() = default;
        // @{
        // The item, still the list's; the end must not be dereferenced.
        Item& operator*() const { return *current_; }
        Item* operator->() const { return current_; }
        // @}
        // @{
        // Moves to the next item, or to the end; may throw as above.
        iterator& operator++() {
            Advance();
            return *this;
        }
        iterator operator++(int) {
            iterator before = *this;
            Advance();
            return before;
        }
        // @}
        // Whether both are at the same item, or both at the end.
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

    // A range over list, which must outlive it; Items(list) makes one.
    explicit ItemRange(const CObjectList& list) : list_(&list) {}
    // At the first item; throws as iterator's operator++ when that is not an Item.
    iterator begin() const { return iterator(list_, list_->GetHeadPosition()); }
    iterator end() const { return iterator(); }  // past the last item

  private:
    const CObjectList* list_;
};

// The items of list as its own item class (ListItemClass), const for a const list. A read-only
// walk: it keeps the list's indexes (ObjectList.h). Deleted items are walked too.
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

// CUniqueList: a list of named items kept in name order, the common base of the types list and
// the category list. It also holds their shared lookup rules (by unique ID, by name, by position
// among undeleted items, and the name fallback "Unfiled").
//
// Lookups are answered from an index of the whole list (by unique ID, by lower-cased name, by
// position among undeleted items), under the index validity rule of ObjectList.h: the answers are
// always those of a walk of the list. When memory for the index runs out, lookups walk the list.
#pragma once

#include <memory>

#include "lkmdb7/lists/ObjectList.h"

namespace LKMDB7 {

class ListIndexAccess;

// The base of CTypesList and CCategoryList; see the top of this header.
class LKMDB7_EXPORT CUniqueList : public CObjectList {
  public:
    CUniqueList();
    ~CUniqueList() override;

    // Gives the item a fresh unique ID when it has none, then inserts it in name order.
    void AddItemSorted(CBaseItem* item);
    // Inserts before the first item whose name collates (without regard to case) equal to or
    // after the new name, so an equal name lands before the others; else at the tail.
    void InsertSorted(CBaseItem* item);
    // Re-sorts the whole list into the order InsertSorted gives; no item is destroyed. May raise
    // CMemoryException, the list then unchanged.
    void SortByName();

  protected:
    // First item whose unique ID equals id, deleted ones included; null when none.
    CBaseItem* FindByUniqueID(const CUID& id) const;
    // First undeleted item whose name equals name without regard to case; null when none.
    CBaseItem* FindByName(const CString& name) const;
    // Unique ID of the item at index among undeleted items; null for none or a negative index.
    CUID UniqueIDByIndex(int index) const;
    // Name of FindByUniqueID(id), or "Unfiled".
    CString NameOf(const CUID& id) const;
    // The base rule by sync type, then a match by unique ID.
    CBaseItem* MatchByUniqueID(CBaseItem* item);

  private:
    friend class ListIndexAccess;
    struct Index;

    // The index, current for the list as it is; null when it cannot be built.
    const Index* Current() const;
    // AddItemSorted of a new item after a FindByName found the index current, when nothing but
    // the new item (and items of other lists) changed since: the item goes in by binary search
    // and the index stays current instead of being rebuilt for the next lookup.
    void AddCheckedItemSorted(CBaseItem* item);
    // Walks that built the index so far.
    ULONGLONG IndexBuilds() const;

    std::unique_ptr<Index> m_index;
};

}  // namespace LKMDB7

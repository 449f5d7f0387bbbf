// CUniqueList: a list of named items kept in name order, the common base of the types list and
// the category list. It also holds their shared lookup rules (by unique ID, by name, by position
// among undeleted items, and the name fallback "Unfiled").
#pragma once

#include "lkmdb7/lists/ObjectList.h"

namespace LKMDB7 {

class LKMDB7_EXPORT CUniqueList : public CObjectList {
public:
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
};

}  // namespace LKMDB7

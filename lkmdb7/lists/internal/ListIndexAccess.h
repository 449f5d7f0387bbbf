// The lists' index-keeping adds, for the database's bulk paths (CDatabaseObj7::AddRecord...), and
// the count of index builds, for tests of the index validity rule (ObjectList.h). Nothing else
// of the lists' privates is reachable from outside them.
#pragma once

#include "lkmdb7/items/BaseItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/lists/RecordList.h"
#include "lkmdb7/lists/UniqueList.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

class ListIndexAccess {
  public:
    // Whether a record in the list (deleted ones included) carries recordID.
    static bool HasRecordID(const CRecordList& list, DWORD recordID) {
        return list.HasRecordID(recordID);
    }
    // The first record ID from recordID upwards (wrapping) that no record carries.
    static DWORD NextFreeRecordID(const CRecordList& list, DWORD recordID) {
        return list.NextFreeRecordID(recordID);
    }
    // Appends a record whose ID HasRecordID found free just before; the list owns it.
    static void AddCheckedRecord(CRecordList& list, CRecord* record) {
        list.AddCheckedRecord(record);
    }
    // AddItemSorted of a new item whose name a lookup just found absent; the list owns it.
    static void AddCheckedItemSorted(CUniqueList& list, CBaseItem* item) {
        list.AddCheckedItemSorted(item);
    }

    static ULONGLONG IndexBuilds(const CRecordList& list) { return list.IndexBuilds(); }
    static ULONGLONG IndexBuilds(const CUniqueList& list) { return list.IndexBuilds(); }
};

}  // namespace LKMDB7

// CObjectList: the owning list of stored items, and the framing of a list in the database file.
//
// Ownership: the list owns every item it holds and destroys it (through its virtual destructor)
// in DeleteItem, PurgeDeleted, Reset and its own destructor. GetItemByRecordID with removal hands
// the item to the caller. An item pointer must not be added twice, and a pointer that is not in
// the list is never destroyed by it.
//
// Framing (little-endian): a count (u16, or FFFF then u32 when it is 0xFFFF or more), then each
// item as a tagged object - a new class description (FFFF, schema u16, name length u16, name) or
// a class reference (8000|index, or 7FFF then u32 80000000|index), then the item's body. Indices
// are shared by classes and objects across all lists of one archive and start at 1.
//
// Index validity, the one rule for every lookup that a list caches (CRecordList's views and record
// IDs, CUniqueList's names and identifiers): an index is used only while both counts it was built
// under are unchanged, so its answers are always those of a walk of the list.
//  - GetModificationCount() (CObList) grows with every change to the list itself, and with every
//    non-const GetNext, GetPrev, GetAt, GetHead or GetTail, since those hand out a slot that the
//    caller could overwrite. Read-only loops keep the indexes: walk with Items(list) (ItemRange.h),
//    GetNextItem, or the const overloads (std::as_const(list).GetNext(pos)).
//  - GetItemChanges() grows whenever an item of this list changes its record ID, identifier, name,
//    category or deleted flag; setting one to the value it holds (as reading an item back from its
//    own packed form does) is no change. It belongs to this list alone: editing another list or
//    another database's items leaves it alone. An item reports to the list whose index last took
//    it in.
// A record class whose GetTypeID answers something other than what SetTypeID stored is outside
// this rule.
#pragma once

#include <memory>

#include "lkmdb7/foundation/Uid.h"
#include "lkmdb7/items/BaseItem.h"
#include "lkmdb7/platform/CObList.h"
#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

// Sync targets; only 0 and 1 change how MatchItem works.
enum SyncType : DWORD {
    kSyncDesktop = 0,
    kSyncPalm = 1,
    kSyncWinCE = 2,
    kSyncSymbian = 3,
    kSyncStandalone = 4,
    kSyncBlackBerry = 5,
    kSyncIPhone = 6,
    kSyncUnknown = 7
};

// "Lockmera Desktop", "Palm", ... ; "Unknown" for values outside the enumeration.
LKMDB7_EXPORT const char* SyncTypeName(SyncType type);

struct ItemChangeCount;

// The base of the three lists of a database: owns its items (see the top of this header).
class LKMDB7_EXPORT CObjectList : public CObList {
  public:
    CObjectList();
    ~CObjectList() override;
    CObjectList(const CObjectList&) = delete;
    CObjectList& operator=(const CObjectList&) = delete;

    // Which list this is: 0 records, 1 types, 2 categories (CBaseItem::GetListType).
    virtual int GetListType() const = 0;
    // Appends at the tail; the list owns the item from then on.
    virtual void AddItem(CBaseItem* item);
    // Removes and destroys this very item; null or a pointer not in the list does nothing.
    virtual void DeleteItem(CBaseItem* item);
    // An item that was synced stays, marked deleted; any other is removed and destroyed.
    virtual void SetDeleted(CBaseItem* item, const CString& path, int unused);
    // The list's counterpart of an item from elsewhere: by record ID for sync type 0, by PK ID
    // for 1, null for any other.
    virtual CBaseItem* MatchItem(CBaseItem* item);
    // First item with this record ID; null for 0.
    virtual CBaseItem* GetRecord(DWORD recordID);
    // First item whose PK ID equals pk; null for the null identifier.
    virtual CBaseItem* GetRecordByPK(CUID& pk);
    // A new, empty item of the list's class, owned by the caller.
    virtual CBaseItem* CreateItem() = 0;

    // First item with this record ID (0 included); with remove, taken out and owned by the caller.
    CBaseItem* GetItemByRecordID(DWORD recordID, bool remove);
    // Sets the cloud-sync flag of every item, deleted ones included.
    void MarkAllCloudSync(bool value);
    // Sets the needs-sync flag of every item, deleted ones included.
    void MarkAllNeedSync(bool value);
    // Removes and destroys every item marked deleted (CBaseItem::IsDeleted); pointers to them
    // are then invalid. Nothing is saved.
    void PurgeDeleted();
    // Removes and destroys every item.
    void Reset();
    // Sets every item's attachment-deleted value (CBaseItem::IsAttachmentDeleted) to 0.
    void ResetDeletedAttachmentField();
    // @{
    // The sync target that MatchItem follows; kSyncDesktop unless set.
    SyncType GetSyncType() const { return m_syncType; }
    void SetSyncType(SyncType type) { m_syncType = type; }
    // @}

    // Item at a position, as the list holds it.
    static CBaseItem* ItemAt(CObject* object) { return static_cast<CBaseItem*>(object); }
    // The item at position, which moves to the next one (null past the end). Hands out no
    // writable slot, so the list's indexes stay.
    CBaseItem* GetNextItem(POSITION& position) const { return ItemAt(CObList::GetNext(position)); }
    // See the index validity rule above.
    ULONGLONG GetItemChanges() const;

  protected:
    // Writes or reads the framing; read items are appended. Items read must be of `required` or a
    // class derived from it, so that the list never holds an item of a foreign kind.
    // Throws CArchiveException; the items read before a fault stay in the list.
    void SerializeItems(CArchive& ar, const CRuntimeClass* required, const char* listName);
    // Makes item report its indexed changes to this list; for index builds, for each item taken in.
    void WatchItem(const CBaseItem& item) const;

  private:
    CString m_name;
    SyncType m_syncType = kSyncDesktop;
    std::shared_ptr<ItemChangeCount> m_itemChanges;
};

}  // namespace LKMDB7

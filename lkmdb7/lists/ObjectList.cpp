#include "lkmdb7/lists/ObjectList.h"

#include <memory>
#include <new>

#include "lkmdb7/items/internal/ItemChangeWatch.h"
#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

const char* SyncTypeName(SyncType type) {
    switch (type) {
        case kSyncDesktop:
            return "Lockmera Desktop";
        case kSyncPalm:
            return "Palm";
        case kSyncWinCE:
            return "WinCE";
        case kSyncSymbian:
            return "Symbian";
        case kSyncStandalone:
            return "Standalone";
        case kSyncBlackBerry:
            return "BlackBerry";
        case kSyncIPhone:
            return "iPhone";
        default:
            return "Unknown";
    }
}

CObjectList::CObjectList() {
    try {
        m_itemChanges = std::make_shared<ItemChangeCount>();
    } catch (const std::bad_alloc&) {
        AfxThrowMemoryException();
    }
}

CObjectList::~CObjectList() {
    Reset();
}

ULONGLONG CObjectList::GetItemChanges() const {
    return m_itemChanges->value;
}

void CObjectList::WatchItem(const CBaseItem& item) const {
    ItemChangeWatch::Watch(item, m_itemChanges);
}

void CObjectList::AddItem(CBaseItem* item) {
    AddTail(item);
}

void CObjectList::DeleteItem(CBaseItem* item) {
    if (item == nullptr) {
        return;
    }
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        const POSITION current = pos;
        if (GetNextItem(pos) == item) {
            RemoveAt(current);
            delete item;
            return;
        }
    }
}

void CObjectList::SetDeleted(CBaseItem* item, const CString& /*path*/, int /*unused*/) {
    if (item == nullptr) {
        return;
    }
    if (item->WasSynced()) {
        item->SetDeleted(true);
    } else {
        DeleteItem(item);
    }
}

CBaseItem* CObjectList::MatchItem(CBaseItem* item) {
    if (item == nullptr) {
        return nullptr;
    }
    switch (m_syncType) {
        case kSyncDesktop:
            return GetRecord(item->GetRecordID());
        case kSyncPalm: {
            CUID pk = item->GetPKID();
            return GetRecordByPK(pk);
        }
        default:
            return nullptr;
    }
}

CBaseItem* CObjectList::GetRecord(DWORD recordID) {
    return recordID == 0 ? nullptr : GetItemByRecordID(recordID, false);
}

CBaseItem* CObjectList::GetRecordByPK(CUID& pk) {
    if (pk.IsNull()) {
        return nullptr;
    }
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        CBaseItem* item = GetNextItem(pos);
        if (item->GetPKID() == pk) {
            return item;
        }
    }
    return nullptr;
}

CBaseItem* CObjectList::GetItemByRecordID(DWORD recordID, bool remove) {
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        const POSITION current = pos;
        CBaseItem* item = GetNextItem(pos);
        if (item->GetRecordID() == recordID) {
            if (remove) {
                RemoveAt(current);
            }
            return item;
        }
    }
    return nullptr;
}

void CObjectList::MarkAllCloudSync(bool value) {
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        GetNextItem(pos)->setCloudSync(value);
    }
}

void CObjectList::MarkAllNeedSync(bool value) {
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        GetNextItem(pos)->SetNeedsSync(value);
    }
}

void CObjectList::PurgeDeleted() {
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        const POSITION current = pos;
        CBaseItem* item = GetNextItem(pos);
        if (item->IsDeleted()) {
            RemoveAt(current);
            delete item;
        }
    }
}

void CObjectList::Reset() {
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        delete GetNextItem(pos);
    }
    RemoveAll();
}

void CObjectList::ResetDeletedAttachmentField() {
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        GetNextItem(pos)->SetAttachmentDeleted(0);
    }
}

void CObjectList::SerializeItems(CArchive& ar, const CRuntimeClass* required,
                                 const char* listName) {
    SerializeObjects(ar, required, listName);
}

}  // namespace LKMDB7

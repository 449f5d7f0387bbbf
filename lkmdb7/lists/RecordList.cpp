#include "lkmdb7/lists/RecordList.h"

#include <array>
#include <new>
#include <unordered_map>

#include "lkmdb7/platform/CArchive.h"

namespace LKMDB7 {

namespace {

constexpr std::size_t kCribSize = 40;
// Views indexed at once: a host shows one view and counts a few others beside it.
constexpr std::size_t kViewsKept = 4;

// The state of the list and of all items that an index was built from.
struct Stamp {
    ULONGLONG list = 0;
    ULONGLONG items = 0;
    bool valid = false;

    bool Matches(const CObjectList& owner) const {
        return valid && list == owner.GetModificationCount() && items == owner.GetItemChanges();
    }
    void Take(const CObjectList& owner) {
        list = owner.GetModificationCount();
        items = owner.GetItemChanges();
        valid = true;
    }
};

}  // namespace

struct CRecordList::Indexes {
    struct ViewIndex {
        CUID type;
        CUID category;
        std::vector<CRecord*> records;
        Stamp stamp;
        ULONGLONG lastUse = 0;
    };
    std::array<ViewIndex, kViewsKept> views;
    ULONGLONG uses = 0;
    // Walks that built an index (views and record IDs alike), for tests of the validity rule.
    ULONGLONG builds = 0;

    // The first record of each record ID in list order, as a walk finds it.
    std::unordered_map<DWORD, CRecord*> byRecordID;
    Stamp idStamp;
    // Whether the record-ID index was current at the last HasRecordID.
    bool checkedCurrent = false;
    // Every ID in [runStart, runEnd) is taken; empty when equal. Valid with the index, which only
    // grows while it stays current.
    DWORD runStart = 0;
    DWORD runEnd = 0;
};

CRecordList::CRecordList() : m_indexes(std::make_unique<Indexes>()) {}

CRecordList::~CRecordList() = default;

ULONGLONG CRecordList::IndexBuilds() const {
    return m_indexes->builds;
}

CBaseItem* CRecordList::CreateItem() {
    return new CRecord;
}

const std::vector<CRecord*>& CRecordList::View(const CUID& type, const CUID& category) {
    Indexes& indexes = *m_indexes;
    const CRecordList& self = *this;
    ++indexes.uses;
    Indexes::ViewIndex* slot = nullptr;
    for (auto& view : indexes.views) {
        if (view.stamp.valid && view.type == type && view.category == category) {
            slot = &view;
            break;
        }
    }
    if (slot != nullptr && slot->stamp.Matches(self)) {
        slot->lastUse = indexes.uses;
        return slot->records;
    }
    if (slot == nullptr) {
        slot = &indexes.views[0];
        for (auto& view : indexes.views) {
            if (view.lastUse < slot->lastUse) {
                slot = &view;
            }
        }
    }
    slot->stamp.valid = false;
    slot->type = type;
    slot->category = category;
    slot->records.clear();
    ++indexes.builds;
    // Room for every record up front: memory the view does not fill is never touched, and a view
    // of a few records gives the rest back below.
    slot->records.reserve(static_cast<std::size_t>(self.GetCount()));
    for (POSITION pos = self.GetHeadPosition(); pos != nullptr;) {
        CBaseItem* item = self.GetNextItem(pos);
        WatchItem(*item);
        // Only records are in a view; anything else added to the list is passed over.
        auto* record = dynamic_cast<CRecord*>(item);
        if (record != nullptr && record->IsInView(type, category)) {
            slot->records.push_back(record);
        }
    }
    if (slot->records.size() < slot->records.capacity() / 2) {
        slot->records.shrink_to_fit();
    }
    slot->stamp.Take(self);
    slot->lastUse = indexes.uses;
    return slot->records;
}

int CRecordList::GetCount(const CUID& type, const CUID& category) {
    return static_cast<int>(View(type, category).size());
}

CRecord* CRecordList::GetRecord(const CUID& type, const CUID& category, int index) {
    if (index < 0) {
        return nullptr;
    }
    const auto& records = View(type, category);
    const auto at = static_cast<std::size_t>(index);
    return at < records.size() ? records[at] : nullptr;
}

void CRecordList::SetDeleted(CBaseItem* item, const CString& path) {
    auto* record = dynamic_cast<CRecord*>(item);
    if (record == nullptr) {
        return;
    }
    if (record->HasAttachment() != 0 && !path.IsEmpty()) {
        record->RemoveAttachment(path);
    }
    record->SetDeleted(true);
}

CRecord* CRecordList::GetRecordByID(DWORD recordID) const {
    // A host that looks up many records by ID after a change pays one walk, not one each.
    bool indexed = false;
    try {
        RecordIDIndex();
        indexed = true;
    } catch (const std::bad_alloc&) {
        // Lookups never fail: without room for the index, walk.
    }
    if (indexed) {
        const auto found = m_indexes->byRecordID.find(recordID);
        return found != m_indexes->byRecordID.end() ? found->second : nullptr;
    }
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        auto* record = dynamic_cast<CRecord*>(GetNextItem(pos));
        if (record != nullptr && record->GetRecordID() == recordID) {
            return record;
        }
    }
    return nullptr;
}

void CRecordList::RecordIDIndex() const {
    Indexes& indexes = *m_indexes;
    if (!indexes.idStamp.Matches(*this)) {
        indexes.idStamp.valid = false;
        indexes.runStart = indexes.runEnd = 0;
        indexes.byRecordID.clear();
        indexes.byRecordID.reserve(static_cast<std::size_t>(GetCount()));
        ++indexes.builds;
        for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
            CBaseItem* item = GetNextItem(pos);
            WatchItem(*item);
            if (auto* record = dynamic_cast<CRecord*>(item)) {
                indexes.byRecordID.emplace(record->GetRecordID(), record);
            }
        }
        indexes.idStamp.Take(*this);
    }
}

std::vector<CRecord*> CRecordList::FindRecords(const CString& text, WORD fields,
                                               unsigned flags) const {
    const bool matchCase = (flags & kFindMatchCase) != 0;
    const bool wholeWord = (flags & kFindWholeWord) != 0;
    const bool note = (flags & kFindInNote) != 0;
    const int bits = fields & kFindAllFields;
    std::vector<CRecord*> found;
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        auto* record = dynamic_cast<CRecord*>(GetNextItem(pos));
        if (record != nullptr && !record->IsDeleted() &&
            record->ContainsText(text, matchCase, wholeWord, bits, note)) {
            found.push_back(record);
        }
    }
    return found;
}

bool CRecordList::HasRecordID(DWORD recordID) const {
    RecordIDIndex();
    m_indexes->checkedCurrent = true;
    return m_indexes->byRecordID.count(recordID) != 0;
}

DWORD CRecordList::NextFreeRecordID(DWORD recordID) const {
    Indexes& indexes = *m_indexes;
    if (!HasRecordID(recordID)) {
        return recordID;
    }
    DWORD id = recordID;
    const bool inRun =
        indexes.runStart < indexes.runEnd && id >= indexes.runStart && id < indexes.runEnd;
    if (inRun) {
        id = indexes.runEnd;
    }
    while (indexes.byRecordID.count(id) != 0) {
        ++id;
    }
    if (id > recordID) {  // no wrap: [recordID, id) are all taken
        if (!inRun) {
            indexes.runStart = recordID;
        }
        indexes.runEnd = id;
    }
    return id;
}

void CRecordList::AddCheckedRecord(CRecord* record) {
    Indexes& indexes = *m_indexes;
    // The list and its items must be as the index saw them; the new record's own setters do not
    // count, as no index of this list has taken it in yet.
    const bool keep = indexes.checkedCurrent && indexes.idStamp.Matches(*this);
    indexes.checkedCurrent = false;
    AddItem(record);
    if (keep) {
        WatchItem(*record);
        const DWORD id = record->GetRecordID();
        indexes.byRecordID.emplace(id, record);
        if (id == indexes.runEnd && indexes.runStart < indexes.runEnd) {
            ++indexes.runEnd;
        }
        indexes.idStamp.Take(*this);
    } else {
        indexes.idStamp.valid = false;
    }
}

void CRecordList::UpdateRecordsOnTypeChange(CTypeItem& type, WORD labelFields, WORD maskFields,
                                            bool copyIcon) {
    const CUID typeID = type.GetUniqueID();
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        auto* record = dynamic_cast<CRecord*>(GetNextItem(pos));
        if (record == nullptr || !record->IsInView(typeID, CUID_ALL)) {
            continue;
        }
        for (int i = 0; i < kFieldCount; ++i) {
            const auto bit = static_cast<WORD>(1U << i);
            if ((labelFields & bit) != 0) {
                record->ClearFieldLabel(i);
            }
            if ((maskFields & bit) != 0) {
                record->SetMask(i, (type.GetMaskBits() & bit) != 0);
            }
        }
        if (copyIcon) {
            record->SetIconIndex(type.GetIconIndex());
        }
        record->SetNeedsSync(true);
        record->renewTimeStamp();
        record->setCloudSync(false);
    }
}

void CRecordList::Serialize(CArchive& ar, WORD /*version*/) {
    SerializeItems(ar, LKMDB7_RUNTIME_CLASS(CRecord), "record list");
}

void CRecordList::LegacySerialize(CArchive& ar, BYTE* crib) {
    if (ar.IsStoring()) {
        ar.Write(crib, static_cast<UINT>(kCribSize));
    } else {
        ar.ReadExact(crib, kCribSize, "crib");
    }
    SerializeItems(ar, LKMDB7_RUNTIME_CLASS(CRecord), "record list");
}

}  // namespace LKMDB7

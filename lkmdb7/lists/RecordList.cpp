#include "lkmdb7/lists/RecordList.h"

#include "lkmdb7/platform/CArchive.h"

namespace LKMDB7 {

namespace {
constexpr std::size_t kCribSize = 40;
}  // namespace

CBaseItem* CRecordList::CreateItem() { return new CRecord; }

int CRecordList::GetCount(const CUID& type, const CUID& category) {
    int count = 0;
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        if (static_cast<CRecord*>(GetNext(pos))->IsInView(type, category)) {
            ++count;
        }
    }
    return count;
}

CRecord* CRecordList::GetRecord(const CUID& type, const CUID& category, int index) {
    if (index < 0) {
        return nullptr;
    }
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        auto* record = static_cast<CRecord*>(GetNext(pos));
        if (record->IsInView(type, category) && index-- == 0) {
            return record;
        }
    }
    return nullptr;
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
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        auto* record = dynamic_cast<CRecord*>(GetNext(pos));
        if (record != nullptr && record->GetRecordID() == recordID) {
            return record;
        }
    }
    return nullptr;
}

void CRecordList::UpdateRecordsOnTypeChange(CTypeItem& type, WORD labelFields, WORD maskFields,
                                            bool copyIcon) {
    const CUID typeID = type.GetUniqueID();
    for (POSITION pos = GetHeadPosition(); pos != nullptr;) {
        auto* record = static_cast<CRecord*>(GetNext(pos));
        if (!record->IsInView(typeID, CUID_ALL)) {
            continue;
        }
        for (int i = 0; i < 10; ++i) {
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
    SerializeItems(ar, RUNTIME_CLASS(CRecord), "record list");
}

void CRecordList::LegacySerialize(CArchive& ar, BYTE* crib) {
    if (ar.IsStoring()) {
        ar.Write(crib, static_cast<UINT>(kCribSize));
    } else {
        ar.ReadExact(crib, kCribSize, "crib");
    }
    SerializeItems(ar, RUNTIME_CLASS(CRecord), "record list");
}

}  // namespace LKMDB7

// CRecordList: the password records of a database, in file order, counted and indexed by type
// and category (records flagged deleted are in no view).
//
// Views and record IDs are answered from indexes that the list keeps for the last few views
// asked for and for all record IDs, under the index validity rule of ObjectList.h: the answers
// are always those of a walk of the list.
#pragma once

#include <memory>
#include <vector>

#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/lists/ObjectList.h"

namespace LKMDB7 {

class ListIndexAccess;

// How FindRecords compares and whether it searches the note; combine with |.
enum FindFlags : unsigned {
    kFindMatchCase = 0x1,  // letter case must match (otherwise both sides compare lower-cased)
    kFindWholeWord = 0x2,  // only between spaces, tabs, CR, LF or the ends of a text
    kFindInNote = 0x4,     // the note too
};
// Every field: bits 0-9 of the fields argument of FindRecords.
inline constexpr WORD kFindAllFields = 0x3FF;

// Owned by its CDatabaseObj7 (GetRecordList); holds CRecord items.
class LKMDB7_EXPORT CRecordList : public CObjectList {
  public:
    CRecordList();
    ~CRecordList() override;

    int GetListType() const override { return 0; }
    CBaseItem* CreateItem() override;

    // Records in the view of (type, category); CUID_ALL matches any.
    virtual int GetCount(const CUID& type, const CUID& category);
    // The record at index among those in the view, in list order; null when out of range.
    virtual CRecord* GetRecord(const CUID& type, const CUID& category, int index);
    // Marks a record deleted (it stays in the list) and removes its attachment file when the
    // database path is not empty. Items that are not records are left alone.
    virtual void SetDeleted(CBaseItem* item, const CString& path);
    using CObjectList::GetCount;
    using CObjectList::GetRecord;
    using CObjectList::SetDeleted;

    // First record with this record ID (0 included, deleted ones included), or null.
    CRecord* GetRecordByID(DWORD recordID) const;
    // The records not marked deleted in which text occurs, in list order: in an unpacked field
    // whose bit is set in fields (bit i for field i, 0-9; higher bits ignored), or, with
    // kFindInNote, in the note. Secret fields are searched in clear, labels never. The
    // comparison is TextMatches' (PathUtils.h): an empty text occurs in every text searched.
    // The records stay the list's: a pointer is valid until the list destroys that record
    // (DeleteItem, PurgeDeleted, Reset). Throws std::bad_alloc only.
    std::vector<CRecord*> FindRecords(const CString& text, WORD fields, unsigned flags) const;
    // Brings the undeleted records of type in line after the type was edited: labels dropped and
    // mask bits copied for the fields whose bits are set (bits 0-9), the icon copied on request;
    // every such record then needs sync, gets a new time stamp and loses cloud-sync.
    void UpdateRecordsOnTypeChange(CTypeItem& type, WORD labelFields, WORD maskFields,
                                   bool copyIcon);

    // Writes or reads the framing (ObjectList.h), whatever the version; read records are
    // appended. Throws CArchiveException; the records read before a fault stay in the list.
    void Serialize(CArchive& ar, WORD version);
    using CObject::Serialize;
    // The older form: 40 raw crib bytes, then the framing.
    void LegacySerialize(CArchive& ar, BYTE* crib);

  private:
    friend class ListIndexAccess;
    struct Indexes;

    // Makes the record-ID index current for the list as it is. Throws std::bad_alloc, leaving
    // the index invalid.
    void RecordIDIndex() const;
    // Whether a record in the list (deleted ones included) carries recordID: GetRecordByID != null.
    bool HasRecordID(DWORD recordID) const;
    // The first record ID from recordID upwards (wrapping past 0xFFFFFFFF) that no record carries.
    // A run of taken IDs found once is skipped in one step by later calls, so many adds in a row
    // cost no more than one walk up that run.
    DWORD NextFreeRecordID(DWORD recordID) const;
    // Appends a record whose ID HasRecordID found free just before, when nothing but the new
    // record changed since: the record-ID index then stays current instead of being rebuilt
    // for the next add.
    void AddCheckedRecord(CRecord* record);
    // The records in the view, in list order, from an index current for the list as it is.
    const std::vector<CRecord*>& View(const CUID& type, const CUID& category);
    // Walks that built an index so far.
    ULONGLONG IndexBuilds() const;

    std::unique_ptr<Indexes> m_indexes;
};

}  // namespace LKMDB7

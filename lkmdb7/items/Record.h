// CRecord: one stored password record.
//
// Packed body (16-bit numbers big-endian, texts each followed by one zero byte):
//   0-1 CRC, 2-9 type ID, 10-17 category ID, 18-19 icon index, 20-21 field mask,
//   then fields 0 to 9, the note (CR dropped; LF read back as CR LF), the view count as decimal
//   text, the attached file name, the attached file key, and - only when some label override is
//   set - the ten label overrides.
// Older layouts: below 6, six fields and no extended strings (field 9 "Unknown", label 9
// "Date Mod"); 6, ten fields and no extended strings; from 7, as above.
//
// The identifier slot of the base item holds the record's type ID; the record's own identity is
// its PK ID.
//
// Reading what was just set. Every text is held twice: the working value, which setters change
// and the next packing writes, and the unpacked copy, which only reading a packed record changes
// (a load, PuffPalmRecord). GetField and GetFieldLabelA read the unpacked copy, so after
// SetField, or for a record that AddRecord just made, they still show the last unpacked value
// (empty for a new record), as devices that sync expect. GetWorkingField reads the working value
// (GetCustom, like GetField, the unpacked copy):
//
//   record->SetField(1, "s3cret");
//   record->GetField(1, false);   // still the value the last unpacking gave
//   record->GetWorkingField(1);   // "s3cret": what the next save writes
//   record->PackPalmRecord(true);
//   record->PuffPalmRecord(true);
//   record->GetField(1, false);   // "s3cret" too, now
#pragma once

#include "lkmdb7/items/BaseItem.h"

namespace LKMDB7 {

class CTypeItem;

// A stored password record; owned by the CRecordList that holds it.
class LKMDB7_EXPORT CRecord : public CBaseItem {
    LKMDB7_DECLARE_SERIAL(CRecord);

  public:
    CRecord();

    int GetListType() const override { return 0; }
    void SetPKID(const CUID& id) override { m_pkID = id; }
    CUID GetPKID() const override { return m_pkID; }
    // Base assignment; from another record also the record ID, note, category, attachment
    // texts and label overrides. The PK ID and the unpacked copies are never copied.
    CBaseItem& operator=(CBaseItem& source) override;
    // As above, plus the view count and the reminder date.
    void operator=(CRecord& source);
    LONG CalculateRecordSize() override;
    char* WritePalmRecord(char* buffer) override;
    void PuffPalmRecordV1() override {}  // does nothing for a record
    CString GetNote() const override { return CString(NoteText()); }
    int GetNoteSize() const override;
    int WriteNote(char*& p) override;
    void ReadNote(const char*& p, const char* end) override;
    // @{
    // The identifier of the record's type (CTypeItem::GetUniqueID); empty: no type.
    virtual void SetTypeID(const CUID& id) { SetUniqueID(id); }
    virtual CUID GetTypeID() const { return GetUniqueID(); }
    // @}

    // --- fields ---
    // Unpacked field i (0 to 9); "****" for a non-empty secret field when mask is true.
    CString GetField(int i, bool mask) const;
    // Sets working field i (0 to 9), which GetWorkingField and the next packing read; GetField
    // shows it only once the record is packed and read back. Throws CInvalidArgException for i
    // outside 0 to 9.
    void SetField(int i, const CString& value) { SetCustom(i, value); }
    // Working field i (0 to 9): what SetField set and the next packing writes. i outside 0 to 9
    // throws CInvalidArgException.
    CString GetWorkingField(int i) const {
        CheckFieldIndex(i, "GetWorkingField");
        return CString(WorkingText(i));
    }
    // Sets working fields 0 to 9 from values (CBaseItem::SetCustom).
    void SetFields(const CStringArray& values) { SetCustom(values); }
    // Whether working field i is non-empty; i outside 0 to 9 throws CInvalidArgException.
    bool HasFieldText(int i) const {
        CheckFieldIndex(i, "HasFieldText");
        return !WorkingText(i).empty();
    }
    // @{
    // Whether field i is secret (bit i of the mask; CBaseItem::GetMask).
    bool GetFieldMask(int i) const { return GetMask(i); }
    void SetFieldMask(int i, bool on) { SetMask(i, on); }
    // @}
    using CBaseItem::GetFieldMask;
    using CBaseItem::SetFieldMask;

    // --- labels ---
    // The label shown for field i: the record's working override, else type's label i, else
    // (no type) "Field 1" to "Field 10"; with colon, a ':' appended unless it ends in one. i
    // outside 0 to 9 throws CInvalidArgException.
    CString GetFieldLabel(int i, const CTypeItem* type, bool colon) const;
    // The ten labels of GetFieldLabel (without colons) into out, resized to ten.
    void GetFieldLabels(const CTypeItem* type, CStringArray& out) const;
    // The unpacked label override of field i (empty: none); i outside 0 to 9 throws
    // CInvalidArgException.
    CString GetFieldLabelA(int i) const;
    // Whether the unpacked label override of field i is non-empty (GetFieldLabelA).
    bool HasFieldLabel(int i) const { return !GetFieldLabelA(i).IsEmpty(); }
    // Sets the working label override of field i; a label equal to type's own clears it. i
    // outside 0 to 9 throws CInvalidArgException.
    void SetFieldLabel(int i, const CTypeItem* type, const CString& label);
    // Sets the ten working label overrides from labels; missing entries clear theirs.
    void SetFieldLabels(const CStringArray& labels);
    // Clears the working label override of field i (0 to 9, else CInvalidArgException).
    void ClearFieldLabel(int i);
    // Clears the ten working label overrides.
    void ClearFieldLabels();
    // How many working label overrides are non-empty.
    int GetNumFieldLabelsWithText() const;
    // The ten working label overrides (empty: none), copied out.
    CStringArray GetLabelOverrides() const;

    // --- note ---
    // Sets the note (GetNote), which the next packing writes with CR dropped.
    void SetNote(const CString& note) { SetNoteText(note.str()); }
    bool HasNote() const { return !NoteText().empty(); }  // whether GetNote is not empty

    // --- identifiers ---
    // @{
    // The identifier of the record's category (CCategoryItem::GetUniqueID); empty: none.
    CUID GetCategoryID() const { return m_categoryID; }
    void SetCategoryID(const CUID& id);
    // @}

    // --- view count, reminder ---
    // @{
    // How many times the record was shown; stored in the packed record as decimal text.
    int GetViewCount() const { return m_viewCount; }
    void SetViewCount(int count) { m_viewCount = count; }
    // @}
    // Counts one more view; returns the count before it.
    int RecordViewed() { return m_viewCount++; }
    // @{
    // The host's reminder date text, kept as given in memory only: no file stores it.
    CString GetReminderDate() const { return RareText(kReminderDate); }
    void SetReminderDate(const CString& date) { SetRareText(kReminderDate, date); }
    // @}

    // --- attachment ---
    // @{
    // The attached file's name as the user knows it; setting it also sets AttachmentPresent to
    // whether it is non-empty.
    CString GetAttachedFileName() const { return RareText(kAttachedFileName); }
    void SetAttachedFileName(const CString& name);
    // @}
    // @{
    // The key of the attached file's encryption; setting it also sets AttachmentPresent to
    // whether it is non-empty.
    CString GetAttachedFileEncryptionKey() const { return RareText(kAttachedFileKey); }
    void SetAttachedFileEncryptionKey(const CString& key);
    // @}
    // 1 when the attached file's name is not empty, else 0.
    int HasAttachment() const { return RareText(kAttachedFileName).IsEmpty() ? 0 : 1; }
    // The record ID in lower-case hexadecimal followed by ".lfa".
    CString GetEncryptedAttachedFileName() const;
    // Deletes the attachment file from the "Files" folder beside the database file and clears
    // the attachment texts. Returns the deletion's result (non-zero on success); never throws.
    int RemoveAttachment(const CString& databasePath);

    // --- set-up, copy, search ---
    // Takes type's identifier, icon and mask (null: no type, icon 24, no mask) and clears the
    // label overrides.
    void InitFromType(const CTypeItem* type);
    // Copies source's working label overrides and mask; null is ignored.
    void Duplicate(const CRecord* source);
    // Whether the record is not deleted and has this type and category (CUID_ALL matches any).
    bool IsInView(const CUID& typeID, const CUID& categoryID) const;
    // Unpacked fields whose bit is set in fieldBits, then always the note.
    bool ContainsText(const CString& text, bool matchCase, bool wholeWord, int fieldBits) const;
    // As ContainsText, the note searched only when note is true.
    bool ContainsText(const CString& text, bool matchCase, bool wholeWord, int fieldBits,
                      bool note) const;

  protected:
    bool TakesArchivedPKID() const override { return true; }
    char* ReadPackedRecord(char* record, const char* end, std::size_t length) override;

  private:
    // Text slot of label override 0; the others follow.
    static constexpr int kLabelSlot = kFieldCount;
    // Rare-text slots of the attachment texts and the reminder date.
    static constexpr int kAttachedFileName = kFirstSubclassRareText;
    static constexpr int kAttachedFileKey = kFirstSubclassRareText + 1;
    static constexpr int kReminderDate = kFirstSubclassRareText + 2;
    static_assert(kReminderDate < RareTexts::kSlots);

    void CopyLabelOverrides(const CRecord& source);
    // The note from its packed text: each LF read back as CR LF.
    void UnpackNote(std::string_view packed);
    // The bytes that UnpackNote makes of packed.
    static std::size_t UnpackedNoteLength(std::string_view packed);

    CUID m_categoryID;
    CUID m_pkID;
    int m_viewCount = 0;
};

}  // namespace LKMDB7

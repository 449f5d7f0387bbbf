// CBaseItem: what every stored item has (record ID, identifier, ten working texts and their
// unpacked copies, mask, icon, sync flags, time stamp) and its packed record.
//
// Working values and unpacked copies are kept apart on purpose: setters and the packed writers use
// the working values, while GetCustom (and the record's GetField) read the copy that the last
// unpacking of a packed record left. Hosts rely on that to show what a device last sent.
//
// The item owns its packed record buffer. After an unpacking of that buffer (a load), the unpacked
// copies read their bytes from it rather than holding their own, until it changes; a packing that
// writes the same texts keeps those bytes as its plain copy, and the copies go on reading them.
// Packed records are untrusted input: unpacking and the two-argument ReadPalmRecord are bounded by
// the record's length, and a record shorter than its form's fixed header is refused with
// CArchiveException (the item is then unchanged). Only the one-argument ReadPalmRecord trusts its
// bytes.
#pragma once

#include <cstddef>
#include <memory>
#include <string_view>
#include <utility>
#include <vector>

#include "lkmdb7/foundation/Uid.h"
#include "lkmdb7/items/ItemTexts.h"
#include "lkmdb7/items/PackedFormat.h"
#include "lkmdb7/items/RareTexts.h"
#include "lkmdb7/platform/CObject.h"
#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/CStringArray.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

class CArchive;

// The secret-field mask that a caller gives a record or a record type: bit i marks field i (0 to
// 9) secret. Higher bits name no field. A file from elsewhere may carry them: loading,
// SetMaskBits and saving keep them as they are, but what a user or a script gives goes through
// CheckFieldMask first.
inline constexpr WORD kFieldMaskBits = 0x3FF;
// value as a mask when it sets no bit outside kFieldMaskBits; otherwise throws
// CInvalidArgException naming the value in hexadecimal.
LKMDB7_EXPORT WORD CheckFieldMask(unsigned long long value);

class PackedCursor;
struct ItemChangeCount;
class ItemChangeWatch;

// The base of every stored item; owned by the list that holds it (lists/ObjectList.h).
class LKMDB7_EXPORT CBaseItem : public CObject {
    LKMDB7_DECLARE_SERIAL(CBaseItem);

  public:
    CBaseItem();
    ~CBaseItem() override;
    CBaseItem(const CBaseItem&) = delete;

    // Writes the item body when storing, reads it when loading (schemas 0 to 9).
    // Throws CArchiveException (end of data, named field), CFileException, CMemoryException.
    void Serialize(CArchive& ar) override;

    // --- virtual operations, in the order hosts know them ---
    // The list the class belongs in: 0 records, 1 types, 2 categories; -1 for the base.
    virtual int GetListType() const { return -1; }
    // The identifier slot: a type's or category's identity, a record's type ID.
    virtual void SetUniqueID(const CUID& id);
    virtual CUID GetUniqueID() const { return m_uniqueID; }  // see SetUniqueID
    // The item's own identity: the identifier slot, except for a record (its PK ID).
    virtual void SetPKID(const CUID& id);
    virtual CUID GetPKID() const { return m_uniqueID; }  // see SetPKID
    // Whether the record ID is not 0: a deletion then only marks the item (SetDeleted).
    virtual bool WasSynced() const { return m_recordID != 0; }
    // True when the ten working values are all empty.
    virtual bool IsEmpty() const;
    // Whether the item is built in (a type or category: see CCategory::IsBuiltin); false here.
    virtual bool IsBuiltin() const { return false; }
    // Copies the record ID, flags, working texts, mask, identifier, icon, packed record, CRC and
    // FailedChecksumAtLoad, and the time stamp when source's is above 0; never the unpacked
    // copies. Throws CMemoryException.
    virtual CBaseItem& operator=(CBaseItem& source);
    // Full length of the packed record that the next packing makes, tail included.
    virtual LONG CalculateRecordSize() { return static_cast<LONG>(kPackedTailSize); }
    // Writes bytes 0 to L-8 of the packed record at buffer; returns the position after them.
    virtual char* WritePalmRecord(char* buffer);
    // Reads a current-form record of `length` bytes and nothing past them; returns the position
    // after the last byte used, or null for a record shorter than its header. The form for
    // untrusted bytes (files, devices). The base reads nothing and returns null.
    char* ReadPalmRecord(char* record, std::size_t length) {
        return ReadPackedRecord(record, record + length, length);
    }
    // Reads a current-form record as its class lays it out: the header, then texts up to their
    // zero bytes, however far. The caller vouches that every text the layout reads is
    // terminated; only the label-block test looks at a length, this item's packed length. For
    // the host's sync layer, which hands over records it built itself; untrusted bytes go to the
    // bounded form above.
    char* ReadPalmRecord(char* record) {
        return ReadPackedRecord(record, nullptr, m_palmRecord.size());
    }
    // Takes a copy of count bytes as the packed record (unread: PuffPalmRecord reads it), its
    // first two bytes (big-endian) as the CRC, and clears FailedChecksumAtLoad. Throws
    // CInvalidArgException for a negative count or null bytes, CMemoryException.
    virtual void SetPalmRecord(char* bytes, int count);
    // Copies the packed record to buffer, which must hold PalmRecord().size() bytes; returns the
    // bytes copied, 0 when there is none.
    virtual int GetPalmRecord(char* buffer) const;
    // Throws CInvalidArgException, the item unchanged, when the record would be longer than
    // kMaxPackedRecordSize (see CheckPackedSize).
    virtual void PackPalmRecord(bool encipher);
    // Reads the packed record (current form) into the working values and unpacked copies,
    // deciphering it in place first when decipher is set and a record cipher is in force. No
    // record: nothing. Throws CArchiveException for a record shorter than its header,
    // CMemoryException.
    virtual void PuffPalmRecord(bool decipher);
    // Reads the packed record in the first old form (layouts up to 2; not enciphered).
    // Throws as PuffPalmRecord.
    virtual void PuffPalmRecordV1();
    // Reads the packed record in the second old form (layout 4), deciphered in place under the
    // record cipher in force, and takes its CRC (bytes 4-5, big-endian). Throws as PuffPalmRecord.
    virtual void PuffPalmRecordV2();
    // The item's name (a type's or category's); empty for the base and records.
    virtual CString GetName() const { return CString(); }
    // Bytes the packed name takes, its zero byte included; 0 for the base.
    virtual int GetNameSize() const { return 0; }
    // Writes the packed name at p and moves p past it; returns the bytes written (0 here).
    virtual int WriteName(char*& p);
    // Name and note readers take the end of the record, so they never read past it.
    virtual void ReadName(const char*& p, const char* end);
    // The note (a record's); empty for the base.
    virtual CString GetNote() const { return CString(); }
    // Bytes the packed note takes, its zero byte included; 0 for the base.
    virtual int GetNoteSize() const { return 0; }
    // Writes the packed note at p and moves p past it; returns the bytes written (0 here).
    virtual int WriteNote(char*& p);
    // Reads a packed note from p, never past end, and moves p past it; nothing here.
    virtual void ReadNote(const char*& p, const char* end);

    // CalculateRecordSize(), when packing can make it: throws CInvalidArgException naming the
    // item and the limit when the record would be longer than kMaxPackedRecordSize.
    LONG CheckPackedSize();

    // --- identity ---
    // The record ID: the item's number in the file and on devices. A new item draws one from the
    // clock (GenerateRecordID).
    DWORD GetRecordID() const { return m_recordID; }
    void SetRecordID(DWORD id);  // see GetRecordID
    // Whole seconds of local time since 1904-01-01; reseeds the shared generator first.
    static DWORD GenerateRecordID();

    // --- working values and unpacked copies ---
    // Throws CInvalidArgException for an index outside the working values.
    void SetCustom(int i, const CString& value);
    // Sets working values 0 to 9 from values; entries past its end set empty texts, entries
    // past 9 are ignored. Throws CMemoryException.
    void SetCustom(const CStringArray& values);
    // The unpacked copy of entry i (0 to 9); other indices throw CInvalidArgException.
    CString GetCustom(int i) const;

    // --- field mask (bit numbers taken modulo 32; bits 16-31 never set; see CheckFieldMask) ---
    // @{
    // Bit i set: field i is secret.
    bool GetMask(int bit) const { return GetFieldMask(m_mask, bit); }
    void SetMask(int bit, bool on) { SetFieldMask(m_mask, bit, on); }
    WORD GetMaskBits() const { return m_mask; }
    void SetMaskBits(WORD mask) { m_mask = mask; }
    // @}
    // @{
    // Reads or changes bit `bit` of mask.
    static bool GetFieldMask(WORD mask, int bit);
    static void SetFieldMask(WORD& mask, int bit, bool on);
    // @}

    // --- flags and host values ---
    // @{
    // Whether devices have yet to learn of a change to the item; stored in the file.
    bool NeedsSync() const { return m_needsSync; }
    void SetNeedsSync(bool on) { m_needsSync = on; }
    // @}
    // Whether the item is marked deleted: it stays in its list and the file until purged
    // (CObjectList::PurgeDeleted).
    bool IsDeleted() const { return m_deleted; }
    // Also sets needs-sync and clears cloud-sync, whatever the value.
    void SetDeleted(bool deleted);
    // @{
    // Whether the cloud service has the item as it is; stored in the file.
    bool getCloudSync() const { return m_cloudSync; }
    void setCloudSync(bool on) { m_cloudSync = on; }
    // @}
    // @{
    // Whether the item is kept off devices and the cloud (a bit of the item flags).
    bool IsLocalOnly() const { return (m_itemFlags & kLocalOnlyFlag) != 0; }
    void SetLocalOnly(bool on);
    // @}
    // @{
    // Kept for the host and written to the file as they are; the library gives them no meaning.
    bool AttachmentPresent() const { return m_attachmentPresent != 0; }
    void SetHasAttachment(bool on) { m_attachmentPresent = on ? 1 : 0; }
    LONG IsAttachmentDeleted() const { return m_attachmentDeleted; }
    void SetAttachmentDeleted(LONG value) { m_attachmentDeleted = value; }
    // @}
    // @{
    // The host's values for its sync of the item; never stored in the file.
    unsigned char GetAttribs() const { return m_attribs; }
    void SetAttribs(unsigned char attribs) { m_attribs = attribs; }
    int SyncStatus() const { return m_syncStatus; }
    void SetSyncStatus(int status) { m_syncStatus = status; }
    void SetVirginSync() { m_virginSync = true; }
    bool IsVirginSync() const { return m_virginSync; }
    // @}
    // @{
    // The item's icon number (24 unless set); a record's 255 means "its type's icon". Stored as
    // 16 bits.
    int GetIconIndex() const { return m_iconIndex; }
    void SetIconIndex(int index) { m_iconIndex = static_cast<WORD>(index); }
    // @}
    // @{
    // The CRC-16 that heads the packed record, as last packed, read or set.
    WORD GetCRC() const { return m_crc; }
    void SetCRC(WORD crc) { m_crc = crc; }
    // @}
    // @{
    // Seconds of UTC since 1970-01-01: when the item was made, unless set since; renewTimeStamp
    // sets now. Stored in the file.
    LONG getTimeStamp() const { return m_timeStamp; }
    void setTimeStamp(LONG stamp) { m_timeStamp = stamp; }
    void renewTimeStamp();
    // @}

    // --- comparison, logging ---
    // True only when both items hold packed records of equal length and bytes.
    bool CompareRecord(const CBaseItem* other) const;
    // Does nothing; kept for hosts that call it.
    void logRecord(char*) {}

    // --- packed record access ---
    // The packed record's bytes, as stored (enciphered when packed so); valid until it changes.
    const std::vector<BYTE>& PalmRecord() const { return m_palmRecord; }
    // Whether the item holds a packed record (one was read, set or packed).
    bool HasPalmRecord() const { return m_hasPalmRecord; }
    // True when the item was read from a file (or assigned from one that was) and its packed
    // record failed its CRC-16 as deciphered then: a wrong key or damage, so its texts are
    // misread. CDatabaseObj7::Save refuses while such an item is in a list; replacing it
    // (operator=, SetPalmRecord) or deleting it from its list is what clears it.
    bool FailedChecksumAtLoad() const { return m_checksumFailedAtLoad; }
    // Exchanges the packed record with bytes (present: whether there is one). Lets a change that
    // repacks many items put every one back when a later one fails. Throws CMemoryException, the
    // item unchanged, only when its unpacked copies still read from its packed bytes (the first
    // exchange after a load or a save) and there is no room to copy them; the exchange that
    // follows it with nothing but packings between never throws.
    void SwapPalmRecord(std::vector<BYTE>& bytes, bool& present);
    // Layout version: the schema of this item's class without the versionable flag.
    UINT LayoutVersion() const;
    // False for the classes that keep the base's packed writer (a plain CBaseItem or CCategory):
    // PackPalmRecord refuses them.
    bool HasPackedForm();

    // --- values carried through the archive only ---
    // The item flags word of the file (bit 0: local only); the others are kept as read.
    WORD GetItemFlags() const { return m_itemFlags; }

  protected:
    // The class's packed reader: the texts end at `end`, or at their zero bytes alone when end is
    // null; `length` is the record length that the label-block test of a record uses.
    virtual char* ReadPackedRecord(char* record, const char* end, std::size_t length);
    // @{
    // Text slots: 0 to 9 hold the item's ten texts, 10 to 19 a record's label overrides; each a
    // working value and its unpacked copy (ItemTexts). The caller checks the slot. Views stay
    // valid until the item's texts or its packed record next change.
    std::string_view WorkingText(int slot) const { return m_texts.Working(slot); }
    void SetWorkingText(int slot, std::string_view text) { m_texts.SetWorking(slot, text); }
    // @}
    CString GetUnpacked(int slot) const { return CString(m_texts.Unpacked(slot)); }  // a copy
    // An unpacking's text for slot: its working value and its unpacked copy. A text that lies in
    // the packed record is not copied. May throw std::bad_alloc, the slot then unchanged.
    void UnpackText(int slot, std::string_view text);
    // The bytes that UnpackText(text) copies, for ReserveUnpacked.
    std::size_t CopiedOnUnpack(std::string_view text) const {
        return InPalmRecord(text) ? 0 : text.size();
    }
    // Room for bytes more bytes of unpacked copies, so that an unpacking allocates once.
    void ReserveUnpacked(std::size_t bytes) { m_texts.ReserveUnpacked(bytes); }
    // @{
    // A record's note, held with the texts (ItemTexts::Note); a view valid as WorkingText's.
    std::string_view NoteText() const { return m_texts.Note(); }
    void SetNoteText(std::string_view text) { m_texts.SetNote(text); }
    // @}
    // Makes the note length bytes of unspecified content and returns them, for the caller to
    // fill before the item's next change.
    char* OverwriteNoteText(std::size_t length) { return m_texts.OverwriteNote(length); }
    // Throws CInvalidArgException naming the operation when i is not a field number (0 to 9).
    static void CheckFieldIndex(int i, const char* operation);
    // @{
    // Texts that are nearly always empty (RareTexts): slots 0 and 1 hold the extra strings,
    // kFirstSubclassRareText on are a record's. The reference is valid until the slot's next
    // change.
    const CString& RareText(int slot) const { return m_rareTexts.Get(slot); }
    void SetRareText(int slot, CString text) { m_rareTexts.Set(slot, std::move(text)); }
    // @}
    static constexpr int kFirstSubclassRareText = 2;  // the first rare-text slot of a subclass
    // Installs a packed record, freeing the previous one.
    void InstallPalmRecord(std::vector<BYTE> bytes);
    // Reads the old forms' name, texts and note from byte `start` on.
    void ReadOldForm(std::size_t start);
    // Every write of a value that list indexes are built from (record ID, identifier, name, a
    // record's category, the deleted flag) goes with one of these: they tell the list that
    // watches the item (lists/ObjectList.h has the rule).
    void NoteIndexedValueChange() const;
    void NoteIdentityChange() const { NoteIndexedValueChange(); }  // identifier or record ID
    void NoteNameChange() const { NoteIndexedValueChange(); }      // name
    // Whether the PK identifier of an archived body belongs to this item (records only; other
    // items take their identity from the packed record).
    virtual bool TakesArchivedPKID() const;

  private:
    friend class ItemChangeWatch;
    struct PackedPlain;

    void StoreBody(CArchive& ar);
    void LoadBody(CArchive& ar);
    // Every change to the packed record other than PackPalmRecord's own comes after this: the
    // kept plain bytes go, and the unpacked copies stop reading from them or from the packed
    // record. Throws CMemoryException, the item unchanged.
    void ForgetPackedPlain();
    // Copies in the unpacked texts that read from the packed record or the kept plain bytes.
    // Throws CMemoryException, the item unchanged.
    void OwnTexts();
    bool InPalmRecord(std::string_view text) const;

    // Largest members first, so that the small ones share what would otherwise be padding, and a
    // record's own members can take the padding at the end.
    ItemTexts m_texts;
    RareTexts m_rareTexts;
    std::vector<BYTE> m_palmRecord;
    // While the packed record is what the last enciphering PackPalmRecord made: that packing's
    // plain bytes, so that packing the same content again re-enciphers only the blocks that the
    // new tail reaches (every 8-byte block is enciphered on its own). Null otherwise. After a
    // first packing of a loaded item, these are the bytes that its unpacked copies read.
    std::unique_ptr<PackedPlain> m_packedPlain;
    // The change count of the list whose indexes last took this item in; null before. Shared, so
    // that an item outliving its list never writes to freed memory. Not copied by operator=.
    std::shared_ptr<ItemChangeCount> m_changeCount;
    int m_syncStatus = 0;
    DWORD m_recordID;
    LONG m_attachmentPresent = 0;
    LONG m_attachmentDeleted = 0;
    DWORD m_extraValue1 = 0;
    DWORD m_extraValue3 = 0;
    LONG m_timeStamp;
    CUID m_uniqueID;
    WORD m_mask = 0;
    WORD m_iconIndex = 24;
    WORD m_crc = 0;
    WORD m_extraValue2 = 0;
    WORD m_itemFlags = 0;
    unsigned char m_attribs = 0;
    // Flags in one byte: a loaded record's object is counted in hundreds of thousands.
    bool m_needsSync : 1 = false;
    bool m_deleted : 1 = false;
    bool m_cloudSync : 1 = false;
    bool m_hasPalmRecord : 1 = false;
    bool m_virginSync : 1 = false;
    // The packed record failed its checksum when the file was read: its texts are misread (a
    // wrong key, or damage), and packing them afresh would make the loss permanent.
    bool m_checksumFailedAtLoad : 1 = false;
};

}  // namespace LKMDB7

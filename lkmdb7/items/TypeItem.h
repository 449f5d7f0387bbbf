// CTypeItem: a record type - a name, ten field labels, a default mask, an icon and the host's
// column settings.
//
// Packed body (16-bit numbers big-endian):
//   0-1 CRC, 2-9 unique ID, 10-11 icon index, 12-13 field mask, 14-21 zero (ignored),
//   22.. name, then the ten working labels, each followed by one zero byte.
// Layout versions below 6 hold six labels; label 9 then reads "Date Mod".
//
// The archive body is the common item body followed by the 96-byte column block.
#pragma once

#include "lkmdb7/foundation/ShowColumns.h"
#include "lkmdb7/items/Category.h"

namespace LKMDB7 {

// The one label of a field that nobody named: "Field 1" for field 0 to "Field 10" for field 9, as
// a person counts them; any other index gives "Field 10". Every fallback of the library (a type's
// empty label, a record without a type, the labels of a type made on the fly) uses it.
LKMDB7_EXPORT CString DefaultFieldLabel(int i);

// A record type: a name, ten field labels, a mask and an icon that its records start from, and
// column settings; owned by the CTypesList that holds it.
class LKMDB7_EXPORT CTypeItem : public CCategory {
    LKMDB7_DECLARE_SERIAL(CTypeItem);

  public:
    CTypeItem() = default;
    // Turns a plain category of an old file into a type: base assignment and the name.
    explicit CTypeItem(CCategory& source);

    // CCategory's assignments: base assignment, then the name.
    using CCategory::operator=;
    // Base assignment, the name and the column settings.
    CTypeItem& operator=(CTypeItem& source);

    void Serialize(CArchive& ar) override;
    int GetListType() const override { return 1; }
    LONG CalculateRecordSize() override;
    char* WritePalmRecord(char* buffer) override;

    // Unpacked label i, or DefaultFieldLabel(i) when it is empty. i must be 0 to 9.
    CString GetLabel(int i) const;
    // The ten working labels.
    void GetLabels(CStringArray& out) const;
    // Working label i; an index outside 0 to 9 throws CInvalidArgException.
    void SetLabel(int i, const CString& text) { SetCustom(i, text); }
    // Working labels 0 to 9 from labels; missing entries set empty labels (CBaseItem::SetCustom).
    void SetLabels(const CStringArray& labels) { SetCustom(labels); }
    // Working labels DefaultFieldLabel(0) to (9): "Field 1" to "Field 10".
    void SetDefaultLabels();

    // @{
    // The host's column settings for the type's records, stored in the file.
    CShowColumns& GetColumnInfo() { return m_columns; }
    const CShowColumns& GetColumnInfo() const { return m_columns; }
    void SetColumnInfo(const CShowColumns& columns) { m_columns = columns; }
    // @}

    // Same name (case-sensitive), mask and icon, and labels 0 to 8 equal without regard to case.
    bool IsEqual(const CTypeItem* other) const;

  protected:
    char* ReadPackedRecord(char* record, const char* end, std::size_t length) override;

  private:
    CShowColumns m_columns;
};

}  // namespace LKMDB7

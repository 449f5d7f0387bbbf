// CCategory: an item with a name; the common base of record types and categories. Plain CCategory
// objects come only from the types list of files older than version 5.
#pragma once

#include "lkmdb7/items/BaseItem.h"

namespace LKMDB7 {

// See the top of this header; owned by the list that holds it.
class LKMDB7_EXPORT CCategory : public CBaseItem {
    LKMDB7_DECLARE_SERIAL(CCategory);

  public:
    CCategory() = default;

    // Base assignment, then the name when the source is a CCategory or derived from it.
    CBaseItem& operator=(CBaseItem& source) override;
    // As the base-class form above. Throws CMemoryException.
    CCategory& operator=(CCategory& source);

    bool WasSynced() const override { return IsBuiltin() || GetRecordID() != 0; }
    // Built in: identifier bytes 0 to 6 all zero, whatever byte 7 holds (the null one included).
    bool IsBuiltin() const override;

    CString GetName() const override { return m_name; }
    // Sets the name that GetName returns and the next packing writes (Windows-1252).
    void SetName(const CString& name) {
        if (m_name != name) {
            m_name = name;
            NoteNameChange();
        }
    }
    int GetNameSize() const override;
    int WriteName(char*& p) override;
    void ReadName(const char*& p, const char* end) override;

  private:
    CString m_name;
};

}  // namespace LKMDB7

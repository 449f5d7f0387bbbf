// A growable array of CString. Every indexed access is checked: an index outside the array
// raises the invalid-argument exception, which item code relies on to refuse bad field numbers.
#pragma once

#include <cstddef>
#include <vector>

#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

// A value: copies own their texts. See the top of this header.
class LKMDB7_EXPORT CStringArray {
  public:
    CStringArray() = default;

    // @{
    // The number of entries.
    int GetSize() const { return static_cast<int>(items_.size()); }
    int GetCount() const { return GetSize(); }
    // @}
    int GetUpperBound() const { return GetSize() - 1; }  // the last index; -1 when empty
    bool IsEmpty() const { return items_.empty(); }      // GetSize() is 0
    // Grows or shrinks to size entries; new entries are empty texts. A negative size raises
    // CInvalidArgException.
    void SetSize(int size);

    // @{
    // The entry at index, still the array's; valid until the array next changes size.
    const CString& GetAt(int index) const {
        Check(index, "GetAt");
        return items_[static_cast<std::size_t>(index)];
    }
    CString& ElementAt(int index) {
        Check(index, "ElementAt");
        return items_[static_cast<std::size_t>(index)];
    }
    // @}
    // Replaces the entry at index.
    void SetAt(int index, const CString& value);
    // @{
    // GetAt, ElementAt.
    const CString& operator[](int index) const { return GetAt(index); }
    CString& operator[](int index) { return ElementAt(index); }
    // @}

    // Appends value; returns its index.
    int Add(const CString& value);
    // Inserts before index; an index at or past the end appends, padding with empty texts.
    void InsertAt(int index, const CString& value);
    // Sets the entry, growing the array with empty texts when index is past its end.
    void SetAtGrow(int index, const CString& value);
    // Removes count entries from index on; a range outside the array raises CInvalidArgException
    // and removes nothing.
    void RemoveAt(int index, int count = 1);
    void RemoveAll() { items_.clear(); }                               // removes every entry
    void Copy(const CStringArray& source) { items_ = source.items_; }  // becomes a copy of source

  private:
    void Check(int index, const char* op) const {
        if (index < 0 || index >= GetSize()) {
            ThrowOutside(index, op);
        }
    }
    [[noreturn]] void ThrowOutside(int index, const char* op) const;
    std::vector<CString> items_;
};

}  // namespace LKMDB7

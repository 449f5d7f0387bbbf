// A growable array of CString. Every indexed access is checked: an index outside the array
// raises the invalid-argument exception, which item code relies on to refuse bad field numbers.
#pragma once

#include <cstddef>
#include <vector>

#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

class LKMDB7_EXPORT CStringArray {
  public:
    CStringArray() = default;

    int GetSize() const { return static_cast<int>(items_.size()); }
    int GetCount() const { return GetSize(); }
    int GetUpperBound() const { return GetSize() - 1; }
    bool IsEmpty() const { return items_.empty(); }
    // New entries are empty texts.
    void SetSize(int size);

    const CString& GetAt(int index) const {
        Check(index, "GetAt");
        return items_[static_cast<std::size_t>(index)];
    }
    CString& ElementAt(int index) {
        Check(index, "ElementAt");
        return items_[static_cast<std::size_t>(index)];
    }
    void SetAt(int index, const CString& value);
    const CString& operator[](int index) const { return GetAt(index); }
    CString& operator[](int index) { return ElementAt(index); }

    int Add(const CString& value);
    // Inserts before index; an index at or past the end appends, padding with empty texts.
    void InsertAt(int index, const CString& value);
    // Sets the entry, growing the array with empty texts when index is past its end.
    void SetAtGrow(int index, const CString& value);
    void RemoveAt(int index, int count = 1);
    void RemoveAll() { items_.clear(); }
    void Copy(const CStringArray& source) { items_ = source.items_; }

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

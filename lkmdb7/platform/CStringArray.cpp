#include "lkmdb7/platform/CStringArray.h"

#include <string>

#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

void CStringArray::ThrowOutside(int index, const char* op) const {
    AfxThrowInvalidArgException(std::string("CStringArray::") + op + ": index " +
                                std::to_string(index) + " outside an array of " +
                                std::to_string(GetSize()));
}

void CStringArray::SetSize(int size) {
    if (size < 0) {
        AfxThrowInvalidArgException("CStringArray::SetSize: negative size");
    }
    items_.resize(static_cast<std::size_t>(size));
}

void CStringArray::SetAt(int index, const CString& value) {
    Check(index, "SetAt");
    items_[static_cast<std::size_t>(index)] = value;
}

int CStringArray::Add(const CString& value) {
    items_.push_back(value);
    return GetSize() - 1;
}

void CStringArray::InsertAt(int index, const CString& value) {
    if (index < 0) {
        AfxThrowInvalidArgException("CStringArray::InsertAt: negative index");
    }
    if (index >= GetSize()) {
        SetAtGrow(index, value);
        return;
    }
    items_.insert(items_.begin() + index, value);
}

void CStringArray::SetAtGrow(int index, const CString& value) {
    if (index < 0) {
        AfxThrowInvalidArgException("CStringArray::SetAtGrow: negative index");
    }
    if (index >= GetSize()) {
        items_.resize(static_cast<std::size_t>(index) + 1);
    }
    items_[static_cast<std::size_t>(index)] = value;
}

void CStringArray::RemoveAt(int index, int count) {
    if (count < 0 || index < 0 || index + count > GetSize()) {
        AfxThrowInvalidArgException("CStringArray::RemoveAt: range outside the array");
    }
    items_.erase(items_.begin() + index, items_.begin() + index + count);
}

}  // namespace LKMDB7

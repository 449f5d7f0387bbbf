// CCategoryItem: a category, a named group of records.
//
// Packed body (after the common 22-byte header, 16-bit numbers big-endian):
//   0-1 CRC, 2-9 unique ID, 10-21 zero (ignored on reading), 22.. name and one zero byte.
#pragma once

#include "lkmdb7/items/Category.h"

namespace LKMDB7 {

// A category of records; owned by the CCategoryList that holds it.
class LKMDB7_EXPORT CCategoryItem : public CCategory {
    LKMDB7_DECLARE_SERIAL(CCategoryItem);

  public:
    CCategoryItem() = default;

    // CCategory's assignments: base assignment, then the name.
    using CCategory::operator=;
    // As CCategory's assignment. Throws CMemoryException.
    CCategoryItem& operator=(CCategoryItem& source);

    int GetListType() const override { return 2; }
    LONG CalculateRecordSize() override;
    char* WritePalmRecord(char* buffer) override;

  protected:
    char* ReadPackedRecord(char* record, const char* end, std::size_t length) override;
};

}  // namespace LKMDB7

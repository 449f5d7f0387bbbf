// RareTexts: texts that nearly every item leaves empty (every item's two extra strings, a
// record's attached file name and key and its reminder date), kept in one block made when the
// first of them is set and freed when the last is emptied: an item without any costs a pointer.
//
// Not copyable (items copy these texts one by one). Set may throw std::bad_alloc, the texts then
// unchanged. The caller checks slot numbers.
#pragma once

#include <array>
#include <memory>

#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

// Owned by its item (CBaseItem); see the top of this header.
class LKMDB7_EXPORT RareTexts {
  public:
    static constexpr int kSlots = 5;  // slots 0 to 4

    RareTexts();
    ~RareTexts();
    RareTexts(const RareTexts&) = delete;
    RareTexts& operator=(const RareTexts&) = delete;

    // The text of slot, empty when unset; the reference is valid until the next Set.
    const CString& Get(int slot) const;
    // Sets the text of slot; the block is made for the first text and freed when all are empty.
    void Set(int slot, CString text);
    // Whether a block is held (for tests and measurements).
    bool HasBlock() const { return texts_ != nullptr; }

  private:
    std::unique_ptr<std::array<CString, kSlots>> texts_;
};

}  // namespace LKMDB7

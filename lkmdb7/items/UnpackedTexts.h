// UnpackedTexts: the texts that the last unpacking of an item's packed record left (the unpacked
// copies of the item's ten texts and of a record's ten label overrides), kept in one buffer with
// an offset and a length per slot instead of one string object each: a loaded record carries
// twenty of them, most short.
//
// A value type; copies own their bytes. Set may throw std::bad_alloc (the slot keeps its text).
// Texts are bytes as they are, zero bytes included.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

class LKMDB7_EXPORT UnpackedTexts {
  public:
    static constexpr int kSlots = 20;

    // The text of slot (0 to kSlots - 1; the caller checks the range): empty until set.
    std::string_view View(int slot) const {
        const Slot& s = slots_[static_cast<std::size_t>(slot)];
        return std::string_view(bytes_.data() + s.offset, s.length);
    }
    CString Get(int slot) const { return CString(View(slot)); }
    void Set(int slot, std::string_view text);
    // Room for `bytes` more bytes of text, so that an unpacking allocates once.
    void Reserve(std::size_t bytes);

  private:
    struct Slot {
        std::uint32_t offset = 0;
        std::uint32_t length = 0;
    };
    // Rewrites the buffer with only the live texts, once replaced texts outweigh them.
    void CompactIfWasteful();

    std::string bytes_;
    std::array<Slot, kSlots> slots_{};
    std::size_t live_ = 0;  // sum of the slots' lengths
};

}  // namespace LKMDB7

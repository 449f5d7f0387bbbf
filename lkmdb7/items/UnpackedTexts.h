// UnpackedTexts: the texts that the last unpacking of an item's packed record left (the unpacked
// copies of the item's ten texts and of a record's ten label overrides), kept in one buffer with
// an offset and a length per slot instead of one string object each: a loaded record carries
// twenty of them, most short. ItemTexts also keeps working values that differ from their copies
// in one.
//
// Offsets and lengths take 16 bits each while the buffer stays within 64 KiB, as it does for
// every record that packing can make; texts of longer records read from elsewhere switch the
// object to a 32-bit table of its own.
//
// A value type; copies own their bytes. Set may throw std::bad_alloc (the slot keeps its text).
// Texts are bytes as they are, zero bytes included.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "lkmdb7/items/PackedFormat.h"
#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

class LKMDB7_EXPORT UnpackedTexts {
  public:
    // A text per field, then a record's label per field.
    static constexpr int kSlots = 2 * kFieldCount;

    UnpackedTexts() = default;
    UnpackedTexts(const UnpackedTexts& other);
    UnpackedTexts& operator=(const UnpackedTexts& other);
    UnpackedTexts(UnpackedTexts&&) noexcept = default;
    UnpackedTexts& operator=(UnpackedTexts&&) noexcept = default;
    ~UnpackedTexts() = default;

    // The text of slot (0 to kSlots - 1; the caller checks the range): empty until set.
    std::string_view View(int slot) const {
        const Slot s = At(slot);
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
    struct NarrowSlot {
        std::uint16_t offset = 0;
        std::uint16_t length = 0;
    };
    using WideTable = std::array<Slot, kSlots>;

    Slot At(int slot) const {
        const auto i = static_cast<std::size_t>(slot);
        if (wide_ != nullptr) {
            return (*wide_)[i];
        }
        return Slot{narrow_[i].offset, narrow_[i].length};
    }
    // Stores s, which must fit the table in use (see Fits).
    void Put(int slot, Slot s);
    bool Fits(std::size_t offset, std::size_t length) const;
    // Switches to the 32-bit table; may throw std::bad_alloc, the object then unchanged.
    void Widen();
    // Rewrites the buffer with only the live texts, once replaced texts outweigh them.
    void CompactIfWasteful();

    std::string bytes_;
    std::array<NarrowSlot, kSlots> narrow_{};
    std::unique_ptr<WideTable> wide_;  // null while every offset and length fits 16 bits
    std::size_t live_ = 0;             // sum of the slots' lengths
};

}  // namespace LKMDB7

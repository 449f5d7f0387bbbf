// UnpackedTexts: the texts that the last unpacking of an item's packed record left (the unpacked
// copies of the item's ten texts and of a record's ten label overrides, and a record's note), kept
// in one buffer with an offset and a length per slot instead of one string object each: a loaded
// record carries twenty-one of them, most short. ItemTexts also keeps working values that differ
// from their copies in one.
//
// A slot may also borrow its text from bytes the owner keeps (an item's deciphered packed record,
// which holds every text that its unpacking left): a loaded item then keeps its texts once. The
// owner calls Own before those bytes change or go.
//
// Offsets and lengths take 16 bits each while the buffer stays within 64 KiB, as it does for
// every record that packing can make; texts of longer records read from elsewhere switch the
// object to a 32-bit table of its own.
//
// A value type; copies own their bytes, borrowed ones included. Set may throw std::bad_alloc (the
// slot keeps its text). Texts are bytes as they are, zero bytes included.
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

static_assert(2 * kFieldCount + 1 <= 32, "one bit per slot");

// See the top of this header.
class LKMDB7_EXPORT UnpackedTexts {
  public:
    // A text per field, then a record's label per field, then the note.
    static constexpr int kNoteSlot = 2 * kFieldCount;
    static constexpr int kSlots = kNoteSlot + 1;  // the fields, the labels and the note

    UnpackedTexts() = default;
    // @{
    // A copy that owns its bytes, borrowed ones included. May throw std::bad_alloc.
    UnpackedTexts(const UnpackedTexts& other);
    UnpackedTexts& operator=(const UnpackedTexts& other);
    // @}
    // @{
    // The moved-to object borrows what the moved-from one did.
    UnpackedTexts(UnpackedTexts&&) noexcept = default;
    UnpackedTexts& operator=(UnpackedTexts&&) noexcept = default;
    // @}
    ~UnpackedTexts() = default;

    // The text of slot (0 to kSlots - 1; the caller checks the range): empty until set.
    std::string_view View(int slot) const {
        const Slot s = At(slot);
        return std::string_view((Borrowed(slot) ? source_ : bytes_.data()) + s.offset, s.length);
    }
    CString Get(int slot) const { return CString(View(slot)); }  // View(slot), copied
    // Gives slot its own copy of text, which may lie in this object's bytes. May throw
    // std::bad_alloc, the slot then unchanged.
    void Set(int slot, std::string_view text);
    // Gives slot `length` bytes of unspecified content and returns them, for the caller to fill
    // before the next change of this object.
    char* Overwrite(int slot, std::size_t length);
    // Room for `bytes` more bytes of text, so that an unpacking allocates once.
    void Reserve(std::size_t bytes);
    // Points slot at text, which lies in the bytes from `source` on: the caller keeps them alive
    // and unchanged until it calls Own (the object may then be destroyed without Own). Every
    // borrowing slot shares one source: borrowing from another one owns the texts first. May
    // throw std::bad_alloc, the object then unchanged.
    void Borrow(int slot, const char* source, std::string_view text);
    // Copies every borrowed text into the object's own buffer. May throw std::bad_alloc, the
    // object then unchanged.
    void Own();
    bool Borrows() const { return borrowed_ != 0; }  // whether some slot borrows its text
    // The bytes that borrowed slots read from; null when none borrows.
    const void* Source() const { return borrowed_ != 0 ? source_ : nullptr; }

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

    static std::uint32_t Bit(int slot) { return std::uint32_t{1} << static_cast<unsigned>(slot); }
    bool Borrowed(int slot) const { return (borrowed_ & Bit(slot)) != 0; }
    Slot At(int slot) const {
        const auto i = static_cast<std::size_t>(slot);
        if (wide_ != nullptr) {
            return (*wide_)[i];
        }
        return Slot{narrow_[i].offset, narrow_[i].length};
    }
    // The slot's own bytes: none for a borrowed text, which has no room to reuse.
    Slot OwnSlot(int slot) const { return Borrowed(slot) ? Slot{} : At(slot); }
    // Points slot at `length` bytes of the object's own: the slot's own when they are enough, else
    // new ones at the end, which may move the buffer. Does not compact.
    char* Place(int slot, std::size_t length);
    // Stores s, which must fit the table in use (see Fits).
    void Put(int slot, Slot s);
    bool Fits(std::size_t offset, std::size_t length) const;
    // Switches to the 32-bit table; may throw std::bad_alloc, the object then unchanged.
    void Widen();
    // Rewrites the buffer with only the live texts, once replaced texts outweigh them.
    void CompactIfWasteful();

    std::string bytes_;
    std::array<NarrowSlot, kSlots> narrow_{};
    // The sum of the owned slots' lengths; 32 bits, as the buffer never grows past them. Beside the
    // table, so that it takes the padding after the odd number of slots.
    std::uint32_t live_ = 0;
    std::uint32_t borrowed_ = 0;  // a bit per slot whose offset is from source_
    const char* source_ = nullptr;
    std::unique_ptr<WideTable> wide_;  // null while every offset and length fits 16 bits
};

}  // namespace LKMDB7

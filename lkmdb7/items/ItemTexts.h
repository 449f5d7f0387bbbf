// ItemTexts: an item's text slots (its ten texts, then a record's ten label overrides), each a
// working value beside the unpacked copy that the last unpacking left; and a record's note, a
// working value with no copy, kept in the unpacked copies' buffer so that it takes no allocation
// of its own.
//
// An unpacking gives both the same text, and nearly every slot stays so until the item is edited.
// So a working value equal to its unpacked copy is not stored twice: it follows the copy (a bit
// per slot says which values are stored apart), and the values that differ live in a second
// buffer, made when the first one differs and freed when none does. Which way a value is held is
// not observable: Working returns the working value, Unpacked the copy, whatever the bits.
//
// The unpacked copies may borrow their bytes from the item's packed record (UnpackedTexts); working
// values held apart never do.
//
// Not copyable (items copy their working values through their setters). SetWorking and Unpack
// may throw std::bad_alloc, the slot then unchanged. The caller checks slot numbers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

#include "lkmdb7/items/UnpackedTexts.h"
#include "lkmdb7/platform/Export.h"

namespace LKMDB7 {

// Owned by its item (CBaseItem); see the top of this header.
class LKMDB7_EXPORT ItemTexts {
  public:
    // Slots with a working value and an unpacked copy; the note is not one of them.
    static constexpr int kSlots = UnpackedTexts::kNoteSlot;

    ItemTexts();
    ~ItemTexts();
    ItemTexts(const ItemTexts&) = delete;
    ItemTexts& operator=(const ItemTexts&) = delete;

    // Views stay valid until the next change of this object.
    std::string_view Working(int slot) const {
        return StoredApart(slot) ? apart_->View(slot) : unpacked_.View(slot);
    }
    std::string_view Unpacked(int slot) const { return unpacked_.View(slot); }  // valid as above
    // text may be a view of this object's own texts.
    void SetWorking(int slot, std::string_view text);
    // The working value and the unpacked copy of slot both become text.
    void Unpack(int slot, std::string_view text);
    // The same, borrowing text from the bytes at source on (UnpackedTexts::Borrow has the rule).
    void Unpack(int slot, const char* source, std::string_view text);
    // Copies every borrowed text in; may throw std::bad_alloc, the object then unchanged.
    void Own() { unpacked_.Own(); }
    bool Borrows() const { return unpacked_.Borrows(); }  // whether some copy borrows its bytes
    // Whether some unpacked copy reads from the bytes at source.
    bool BorrowsFrom(const void* source) const {
        return unpacked_.Borrows() && unpacked_.Source() == source;
    }
    // @{
    // The note. Setting it leaves every working value and unpacked copy as it was. text may be a
    // view of this object's own texts.
    std::string_view Note() const { return unpacked_.View(UnpackedTexts::kNoteSlot); }
    void SetNote(std::string_view text) { unpacked_.Set(UnpackedTexts::kNoteSlot, text); }
    // @}
    // Makes the note `length` bytes of unspecified content and returns them, for the caller to
    // fill before the next change of this object.
    char* OverwriteNote(std::size_t length) {
        return unpacked_.Overwrite(UnpackedTexts::kNoteSlot, length);
    }
    // Room for `bytes` more bytes of unpacked text, so that an unpacking allocates once.
    void ReserveUnpacked(std::size_t bytes) { unpacked_.Reserve(bytes); }
    // Room for `bytes` more bytes of working values held apart, so that setting several at once
    // allocates once: bytes counts only values that will differ from their copies. May throw
    // std::bad_alloc, the values unchanged.
    void ReserveWorking(std::size_t bytes);

    // Whether slot's working value is held apart from its unpacked copy (for tests and
    // measurements; the values read the same either way).
    bool StoredApart(int slot) const { return (apartBits_ & Bit(slot)) != 0; }

  private:
    static std::uint32_t Bit(int slot) { return std::uint32_t{1} << static_cast<unsigned>(slot); }
    // Drops slot's own working value, so that it follows the unpacked copy again. Never throws.
    void Follow(int slot);

    UnpackedTexts unpacked_;
    // Null while no bit is set, but between ReserveWorking and the sets that it prepares.
    std::unique_ptr<UnpackedTexts> apart_;
    std::uint32_t apartBits_ = 0;
};

static_assert(ItemTexts::kSlots <= 32, "one bit per slot");

}  // namespace LKMDB7

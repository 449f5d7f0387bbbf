// ItemTexts: an item's text slots (its ten texts, then a record's ten label overrides), each a
// working value beside the unpacked copy that the last unpacking left.
//
// An unpacking gives both the same text, and nearly every slot stays so until the item is edited.
// So a working value equal to its unpacked copy is not stored twice: it follows the copy (a bit
// per slot says which values are stored apart), and the values that differ live in a second
// buffer, made when the first one differs and freed when none does. Which way a value is held is
// not observable: Working returns the working value, Unpacked the copy, whatever the bits.
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

class LKMDB7_EXPORT ItemTexts {
  public:
    static constexpr int kSlots = UnpackedTexts::kSlots;

    ItemTexts();
    ~ItemTexts();
    ItemTexts(const ItemTexts&) = delete;
    ItemTexts& operator=(const ItemTexts&) = delete;

    // Views stay valid until the next change of this object.
    std::string_view Working(int slot) const {
        return StoredApart(slot) ? apart_->View(slot) : unpacked_.View(slot);
    }
    std::string_view Unpacked(int slot) const { return unpacked_.View(slot); }
    // text may be a view of this object's own texts.
    void SetWorking(int slot, std::string_view text);
    // The working value and the unpacked copy of slot both become text.
    void Unpack(int slot, std::string_view text);
    // Room for `bytes` more bytes of unpacked text, so that an unpacking allocates once.
    void ReserveUnpacked(std::size_t bytes) { unpacked_.Reserve(bytes); }

    // Whether slot's working value is held apart from its unpacked copy (for tests and
    // measurements; the values read the same either way).
    bool StoredApart(int slot) const { return (apartBits_ & Bit(slot)) != 0; }

  private:
    static std::uint32_t Bit(int slot) { return std::uint32_t{1} << static_cast<unsigned>(slot); }
    // Drops slot's own working value, so that it follows the unpacked copy again. Never throws.
    void Follow(int slot);

    UnpackedTexts unpacked_;
    std::unique_ptr<UnpackedTexts> apart_;  // null while no bit is set
    std::uint32_t apartBits_ = 0;
};

static_assert(ItemTexts::kSlots <= 32, "one bit per slot");

}  // namespace LKMDB7

#include "lkmdb7/items/ItemTexts.h"

namespace LKMDB7 {

ItemTexts::ItemTexts() = default;
ItemTexts::~ItemTexts() = default;

void ItemTexts::SetWorking(int slot, std::string_view text) {
    if (text == unpacked_.View(slot)) {
        Follow(slot);
        return;
    }
    if (apart_ == nullptr) {
        apart_ = std::make_unique<UnpackedTexts>();
    }
    try {
        apart_->Set(slot, text);
    } catch (...) {
        if (apartBits_ == 0) {
            apart_.reset();
        }
        throw;
    }
    apartBits_ |= Bit(slot);
}

void ItemTexts::ReserveWorking(std::size_t bytes) {
    if (bytes == 0) {
        return;
    }
    if (apart_ == nullptr) {
        auto apart = std::make_unique<UnpackedTexts>();
        apart->Reserve(bytes);
        apart_ = std::move(apart);  // an empty block with no bit set reads as no block at all
        return;
    }
    apart_->Reserve(bytes);
}

void ItemTexts::Unpack(int slot, std::string_view text) {
    unpacked_.Set(slot, text);
    Follow(slot);
}

void ItemTexts::Unpack(int slot, const char* source, std::string_view text) {
    unpacked_.Borrow(slot, source, text);
    Follow(slot);
}

void ItemTexts::Follow(int slot) {
    if (!StoredApart(slot)) {
        return;
    }
    apartBits_ &= ~Bit(slot);
    if (apartBits_ == 0) {
        apart_.reset();
    } else {
        // An empty text takes the old one's place: nothing is allocated.
        apart_->Set(slot, {});
    }
}

}  // namespace LKMDB7

#include "lkmdb7/items/UnpackedTexts.h"

#include <cstring>
#include <functional>
#include <limits>
#include <new>

namespace LKMDB7 {

namespace {

constexpr std::size_t kNarrowMax = std::numeric_limits<std::uint16_t>::max();

std::uint32_t Narrow(std::size_t n) {
    if (n > std::numeric_limits<std::uint32_t>::max()) {
        throw std::bad_alloc();
    }
    return static_cast<std::uint32_t>(n);
}

}  // namespace

UnpackedTexts::UnpackedTexts(const UnpackedTexts& other)
    : bytes_(other.bytes_),
      narrow_(other.narrow_),
      wide_(other.wide_ != nullptr ? std::make_unique<WideTable>(*other.wide_) : nullptr),
      live_(other.live_) {}

UnpackedTexts& UnpackedTexts::operator=(const UnpackedTexts& other) {
    if (this != &other) {
        UnpackedTexts copy(other);
        *this = std::move(copy);
    }
    return *this;
}

bool UnpackedTexts::Fits(std::size_t offset, std::size_t length) const {
    return wide_ != nullptr || (offset <= kNarrowMax && length <= kNarrowMax);
}

void UnpackedTexts::Widen() {
    auto wide = std::make_unique<WideTable>();
    for (int i = 0; i < kSlots; ++i) {
        (*wide)[static_cast<std::size_t>(i)] = At(i);
    }
    wide_ = std::move(wide);
}

void UnpackedTexts::Put(int slot, Slot s) {
    const auto i = static_cast<std::size_t>(slot);
    if (wide_ != nullptr) {
        (*wide_)[i] = s;
    } else {
        narrow_[i] =
            NarrowSlot{static_cast<std::uint16_t>(s.offset), static_cast<std::uint16_t>(s.length)};
    }
}

void UnpackedTexts::Set(int slot, std::string_view text) {
    Slot s = At(slot);
    const std::uint32_t length = Narrow(text.size());
    // A text no longer than the one it replaces takes its place; others go at the end.
    if (text.size() <= s.length) {
        if (!text.empty()) {
            std::memmove(bytes_.data() + s.offset, text.data(), text.size());
        }
    } else {
        const std::uint32_t offset = Narrow(bytes_.size());
        if (!Fits(offset, length)) {
            Widen();  // before the append, so that a failure changes nothing
        }
        const std::less<const char*> before;
        const bool inside = !before(text.data(), bytes_.data()) &&
                            before(text.data(), bytes_.data() + bytes_.size());
        if (inside) {
            // One slot copied to another: growing may move the bytes that text points at.
            const std::string copy(text);
            bytes_.append(copy);
        } else {
            bytes_.append(text.data(), text.size());  // unchanged if it throws
        }
        s.offset = offset;
    }
    live_ = live_ - s.length + length;
    s.length = length;
    Put(slot, s);
    CompactIfWasteful();
}

void UnpackedTexts::Reserve(std::size_t bytes) {
    bytes_.reserve(bytes_.size() + bytes);
}

void UnpackedTexts::CompactIfWasteful() {
    if (bytes_.size() <= 2 * live_ + 64) {
        return;
    }
    std::string compact;
    try {
        compact.reserve(live_);
    } catch (const std::bad_alloc&) {
        return;  // the texts stay as they are, only less tightly packed
    }
    // Offsets only shrink here, so every slot still fits the table in use.
    for (int i = 0; i < kSlots; ++i) {
        Slot s = At(i);
        const std::size_t at = compact.size();
        compact.append(bytes_, s.offset, s.length);
        s.offset = static_cast<std::uint32_t>(at);
        Put(i, s);
    }
    bytes_.swap(compact);
}

}  // namespace LKMDB7

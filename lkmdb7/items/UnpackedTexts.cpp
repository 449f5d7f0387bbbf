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
      live_(other.live_),
      borrowed_(other.borrowed_),
      source_(other.source_),
      wide_(other.wide_ != nullptr ? std::make_unique<WideTable>(*other.wide_) : nullptr) {
    Own();  // other's source outlives this call, not necessarily the copy
}

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

char* UnpackedTexts::Place(int slot, std::size_t length) {
    Slot s = OwnSlot(slot);
    const std::uint32_t narrowed = Narrow(length);
    // A text no longer than the one it replaces takes its place; others go at the end.
    if (length > s.length) {
        const std::uint32_t offset = Narrow(bytes_.size());
        Narrow(bytes_.size() + length);  // every offset, length and their sum stay 32-bit
        if (!Fits(offset, narrowed)) {
            Widen();  // before the append, so that a failure changes nothing
        }
        bytes_.resize(bytes_.size() + length);  // unchanged if it throws
        s.offset = offset;
    }
    live_ = live_ - s.length + narrowed;
    s.length = narrowed;
    Put(slot, s);
    borrowed_ &= ~Bit(slot);
    return bytes_.data() + s.offset;
}

void UnpackedTexts::Set(int slot, std::string_view text) {
    const std::less<const char*> before;
    const bool inside =
        !before(text.data(), bytes_.data()) && before(text.data(), bytes_.data() + bytes_.size());
    std::string copy;
    if (inside && text.size() > OwnSlot(slot).length) {
        // One slot copied to another: growing may move the bytes that text points at.
        copy.assign(text);
        text = copy;
    }
    char* const to = Place(slot, text.size());
    if (!text.empty()) {
        std::memmove(to, text.data(), text.size());
    }
    CompactIfWasteful();
}

char* UnpackedTexts::Overwrite(int slot, std::size_t length) {
    Place(slot, length);
    CompactIfWasteful();
    return bytes_.data() + At(slot).offset;
}

void UnpackedTexts::Reserve(std::size_t bytes) {
    bytes_.reserve(bytes_.size() + bytes);
}

void UnpackedTexts::Borrow(int slot, const char* source, std::string_view text) {
    if (borrowed_ != 0 && source != source_) {
        Own();
    }
    const std::size_t offset = text.empty() ? 0 : static_cast<std::size_t>(text.data() - source);
    const std::uint32_t narrowed = Narrow(text.size());
    Narrow(offset + text.size());
    if (!Fits(offset, narrowed)) {
        Widen();
    }
    live_ -= OwnSlot(slot).length;
    Put(slot, Slot{static_cast<std::uint32_t>(offset), narrowed});
    borrowed_ |= Bit(slot);
    source_ = source;
    CompactIfWasteful();
}

void UnpackedTexts::Own() {
    if (borrowed_ == 0) {
        return;
    }
    std::size_t total = live_;
    for (int i = 0; i < kSlots; ++i) {
        if (Borrowed(i)) {
            total += At(i).length;
        }
    }
    Narrow(total);
    if (!Fits(total, total)) {
        Widen();  // the table reads the same either way, so nothing observable changes yet
    }
    std::string owned;
    owned.reserve(total);
    for (int i = 0; i < kSlots; ++i) {
        Slot s = At(i);
        const char* const base = Borrowed(i) ? source_ : bytes_.data();
        const std::size_t at = owned.size();
        owned.append(base + s.offset, s.length);
        s.offset = static_cast<std::uint32_t>(at);
        Put(i, s);
    }
    bytes_.swap(owned);
    live_ = static_cast<std::uint32_t>(total);
    borrowed_ = 0;
    source_ = nullptr;
}

void UnpackedTexts::CompactIfWasteful() {
    if (bytes_.size() <= 2 * std::size_t{live_} + 64) {
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
        if (Borrowed(i)) {
            continue;
        }
        Slot s = At(i);
        const std::size_t at = compact.size();
        compact.append(bytes_, s.offset, s.length);
        s.offset = static_cast<std::uint32_t>(at);
        Put(i, s);
    }
    bytes_.swap(compact);
}

}  // namespace LKMDB7

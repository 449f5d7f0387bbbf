#include "lkmdb7/items/UnpackedTexts.h"

#include <cstring>
#include <functional>
#include <limits>
#include <new>

namespace LKMDB7 {

namespace {

std::uint32_t Narrow(std::size_t n) {
    if (n > std::numeric_limits<std::uint32_t>::max()) {
        throw std::bad_alloc();
    }
    return static_cast<std::uint32_t>(n);
}

}  // namespace

void UnpackedTexts::Set(int slot, std::string_view text) {
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    const std::uint32_t length = Narrow(text.size());
    // A text no longer than the one it replaces takes its place; others go at the end.
    if (text.size() <= s.length) {
        if (!text.empty()) {
            std::memmove(bytes_.data() + s.offset, text.data(), text.size());
        }
    } else {
        const std::uint32_t offset = Narrow(bytes_.size());
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
    for (Slot& s : slots_) {
        const std::size_t at = compact.size();
        compact.append(bytes_, s.offset, s.length);
        s.offset = static_cast<std::uint32_t>(at);
    }
    bytes_.swap(compact);
}

}  // namespace LKMDB7

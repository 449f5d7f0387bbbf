// Map from an object's address to a 32-bit index, for archives that number every object they
// store. Open addressing in one array that doubles when half full: a save of many items makes one
// allocation per doubling rather than one per object. Keys are never null and never removed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

class PointerIndexMap {
  public:
    // The index stored for key, or null. The pointer is valid until the next Insert.
    const DWORD* Find(const void* key) const {
        if (slots_.empty()) {
            return nullptr;
        }
        const std::size_t mask = slots_.size() - 1;
        for (std::size_t i = Home(key, mask);; i = (i + 1) & mask) {
            if (slots_[i].key == key) {
                return &slots_[i].value;
            }
            if (slots_[i].key == nullptr) {
                return nullptr;
            }
        }
    }

    // key must not be stored yet. May throw std::bad_alloc, leaving the map as it was.
    void Insert(const void* key, DWORD value) {
        if (2 * (count_ + 1) > slots_.size()) {
            Grow();
        }
        Place(slots_, key, value);
        ++count_;
    }

  private:
    struct Slot {
        const void* key = nullptr;
        DWORD value = 0;
    };

    static std::size_t Home(const void* key, std::size_t mask) {
        // Fibonacci hashing: objects are aligned, so the low bits of the address carry little.
        const auto bits = static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(key));
        return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ULL) >> 32) & mask;
    }

    static void Place(std::vector<Slot>& slots, const void* key, DWORD value) {
        const std::size_t mask = slots.size() - 1;
        std::size_t i = Home(key, mask);
        while (slots[i].key != nullptr) {
            i = (i + 1) & mask;
        }
        slots[i] = Slot{key, value};
    }

    void Grow() {
        std::vector<Slot> bigger(slots_.empty() ? 64 : 2 * slots_.size());
        for (const Slot& slot : slots_) {
            if (slot.key != nullptr) {
                Place(bigger, slot.key, slot.value);
            }
        }
        slots_.swap(bigger);
    }

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

}  // namespace LKMDB7

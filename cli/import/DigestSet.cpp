#include "cli/import/DigestSet.h"

namespace lkmdb {

std::size_t DigestSet::Find(const std::vector<Slot>& slots, const RecordDigest& d) {
    const std::size_t mask = slots.size() - 1;
    // b went through a final mix, so its low bits are as good as any.
    for (auto i = static_cast<std::size_t>(d.b) & mask;; i = (i + 1) & mask) {
        if (!slots[i].used || slots[i].digest == d) {
            return i;
        }
    }
}

bool DigestSet::Contains(const RecordDigest& d) const {
    return !slots_.empty() && slots_[Find(slots_, d)].used;
}

void DigestSet::Insert(const RecordDigest& d) {
    if (2 * (count_ + 1) > slots_.size()) {
        Grow();
    }
    Slot& slot = slots_[Find(slots_, d)];
    if (!slot.used) {
        slot = Slot{d, true};
        ++count_;
    }
}

void DigestSet::Grow() {
    std::vector<Slot> bigger(slots_.empty() ? 1024 : 2 * slots_.size());
    for (const Slot& slot : slots_) {
        if (slot.used) {
            bigger[Find(bigger, slot.digest)] = slot;
        }
    }
    slots_.swap(bigger);
}

}  // namespace lkmdb

// The set of record digests that an import checks each row against: open addressing in one array
// that doubles when half full, so that a large import makes one allocation per doubling rather
// than one per row, and a lookup touches one cache line where a node-based set touches several.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace lkmdb {

// 128 bits that stand for a record's content: two hashes, b finally mixed.
struct RecordDigest {
    std::uint64_t a = 0;
    std::uint64_t b = 0;
    friend bool operator==(const RecordDigest&, const RecordDigest&) = default;
};

class DigestSet {
  public:
    bool Contains(const RecordDigest& d) const;
    // Adds d when absent. May throw std::bad_alloc, leaving the set as it was.
    void Insert(const RecordDigest& d);
    std::size_t Size() const { return count_; }

  private:
    struct Slot {
        RecordDigest digest;
        bool used = false;
    };
    // The slot that holds d, or the empty slot where it belongs.
    static std::size_t Find(const std::vector<Slot>& slots, const RecordDigest& d);
    void Grow();

    std::vector<Slot> slots_;
    std::size_t count_ = 0;
};

}  // namespace lkmdb

// What both backends' ReadRegularFile do around their own read calls: the buffer is sized once
// from the file's length, plus the byte beyond the limit that tells a file too large (or grown
// since), and a file over the limit is refused with its contents wiped.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

namespace lkmdb {

// bytes is full after `got` bytes: room for more, up to that byte beyond the limit.
inline void MakeRoomToRead(std::string& bytes, std::size_t got, std::size_t limit) {
    if (got == bytes.size() && got <= limit) {
        bytes.resize(std::min(limit + 1, got * 2));
    }
}

// The end of a read that filled `got` bytes: empty, or why the file is refused.
inline std::string FinishRead(std::string& bytes, std::size_t got, std::size_t limit) {
    bytes.resize(got);
    if (got > limit) {
        std::fill(bytes.begin(), bytes.end(), '\0');
        bytes.clear();
        return "is larger than " + std::to_string(limit >> 20) + " MiB";
    }
    return {};
}

}  // namespace lkmdb

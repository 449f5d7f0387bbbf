#include "lkmdb7/items/internal/PackedText.h"

#include <cstring>
#include <string>

namespace LKMDB7 {

std::string_view PackedCursor::ReadView() {
    const BYTE* zero =
        end_ == nullptr
            ? pos_ + std::strlen(reinterpret_cast<const char*>(pos_))
            : static_cast<const BYTE*>(std::memchr(pos_, 0, static_cast<std::size_t>(end_ - pos_)));
    const BYTE* stop = zero ? zero : end_;
    const std::string_view text(reinterpret_cast<const char*>(pos_),
                                static_cast<std::size_t>(stop - pos_));
    pos_ = zero ? zero + 1 : end_;
    return text;
}

CString PackedCursor::ReadTextExpandingLineFeeds() {
    const std::string_view raw = ReadView();
    std::string out;
    out.reserve(raw.size() + 8);
    for (char c : raw) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return CString(std::move(out));
}

std::size_t PackedTextLength(std::string_view text) {
    const void* zero = std::memchr(text.data(), 0, text.size());
    return zero == nullptr ? text.size()
                           : static_cast<std::size_t>(static_cast<const char*>(zero) - text.data());
}

BYTE* WritePackedText(BYTE* p, std::string_view text) {
    const std::size_t n = PackedTextLength(text);
    if (n > 0) {
        std::memcpy(p, text.data(), n);
    }
    p[n] = 0;
    return p + n + 1;
}

}  // namespace LKMDB7

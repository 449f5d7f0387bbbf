// Bounded access to the texts and numbers of a packed record.
//
// Packed records come from files and devices, so they are untrusted: every read stops at the end
// of the bytes it was given. A text runs to its zero byte or to the end of the record, whichever
// comes first. 16-bit numbers inside packed records are big-endian.
//
// A cursor without an end (null) finds texts by their zero bytes alone; it serves only callers
// that vouch for the bytes (the one-argument ReadPalmRecord of the items).
#pragma once

#include <cstddef>
#include <string_view>

#include "lkmdb7/foundation/Uid.h"
#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

class LKMDB7_EXPORT PackedCursor {
  public:
    PackedCursor(const BYTE* begin, const BYTE* end) : begin_(begin), pos_(begin), end_(end) {}

    // The text up to the next zero byte (or the end of the record); moves past that zero byte.
    CString ReadText() { return CString(ReadView()); }
    // The same text as bytes of the record, valid while the record is.
    std::string_view ReadView();
    // The text as ReadText does, converting every LF to CR LF and keeping other bytes.
    CString ReadTextExpandingLineFeeds();

    std::size_t Consumed() const { return static_cast<std::size_t>(pos_ - begin_); }
    const BYTE* Position() const { return pos_; }

  private:
    const BYTE* begin_;
    const BYTE* pos_;
    const BYTE* end_;
};

// Bytes of a text as it is packed: up to its first zero byte, since a text ends there.
std::size_t PackedTextLength(std::string_view text);
inline std::size_t PackedTextLength(const CString& text) {
    return PackedTextLength(std::string_view(text.str()));
}

// Writes the packed bytes of text and one zero byte at p; returns the position after them.
BYTE* WritePackedText(BYTE* p, std::string_view text);
inline BYTE* WritePackedText(BYTE* p, const CString& text) {
    return WritePackedText(p, std::string_view(text.str()));
}

inline CUID ReadUidAt(const BYTE* p) {
    return CUID::FromBytes(p);
}
inline void WriteUidAt(BYTE* p, const CUID& id) {
    const BYTE* b = id.Bytes();
    for (int i = 0; i < 8; ++i) {
        p[i] = b[i];
    }
}

}  // namespace LKMDB7

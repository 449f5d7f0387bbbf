// Encoding and decoding of fixed-width integers in a byte buffer. Every integer that the library
// puts into a file or a packed record goes through these, never through a struct or pointer cast,
// so the bytes are the same on every host. The caller guarantees that p points at enough bytes.
#pragma once

#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// Little-endian: the database file.
constexpr void PutLE16(BYTE* p, WORD v) noexcept {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

constexpr void PutLE32(BYTE* p, DWORD v) noexcept {
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    p[3] = static_cast<BYTE>(v >> 24);
}

constexpr void PutLE64(BYTE* p, ULONGLONG v) noexcept {
    PutLE32(p, static_cast<DWORD>(v));
    PutLE32(p + 4, static_cast<DWORD>(v >> 32));
}

constexpr WORD GetLE16(const BYTE* p) noexcept {
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

constexpr DWORD GetLE32(const BYTE* p) noexcept {
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) |
           (static_cast<DWORD>(p[2]) << 16) | (static_cast<DWORD>(p[3]) << 24);
}

constexpr ULONGLONG GetLE64(const BYTE* p) noexcept {
    return static_cast<ULONGLONG>(GetLE32(p)) | (static_cast<ULONGLONG>(GetLE32(p + 4)) << 32);
}

// Big-endian: 16-bit numbers inside packed records and the parts of a generated identifier.
constexpr void PutBE16(BYTE* p, WORD v) noexcept {
    p[0] = static_cast<BYTE>(v >> 8);
    p[1] = static_cast<BYTE>(v);
}

constexpr void PutBE32(BYTE* p, DWORD v) noexcept {
    p[0] = static_cast<BYTE>(v >> 24);
    p[1] = static_cast<BYTE>(v >> 16);
    p[2] = static_cast<BYTE>(v >> 8);
    p[3] = static_cast<BYTE>(v);
}

constexpr WORD GetBE16(const BYTE* p) noexcept {
    return static_cast<WORD>((p[0] << 8) | p[1]);
}

constexpr DWORD GetBE32(const BYTE* p) noexcept {
    return (static_cast<DWORD>(p[0]) << 24) | (static_cast<DWORD>(p[1]) << 16) |
           (static_cast<DWORD>(p[2]) << 8) | static_cast<DWORD>(p[3]);
}

}  // namespace LKMDB7

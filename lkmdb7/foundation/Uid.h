// CUID, the 8-byte identifier of stored items. New identifiers come from process-wide generator
// state (foundation/internal/UidGenerator.h), which is not locked: the library is used from one
// thread at a time. Nothing here throws except std::bad_alloc.
#pragma once

#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// A plain 8-byte value; stored and exchanged as its bytes in order. Null (all 0) by default.
struct LKMDB7_EXPORT CUID {
    BYTE m_bytes[8] = {};  // the identifier, byte 0 first

    // The first 8 bytes at bytes (which must hold 8).
    static CUID FromBytes(const BYTE* bytes);
    const BYTE* Bytes() const { return m_bytes; }  // the 8 bytes, valid as long as this

    bool IsNull() const;  // all 8 bytes are 0

    // Overwrites this identifier with a fresh one: node word, counter word and the low 32 bits of
    // the local seconds since 1904, each big-endian.
    void Generate();

    // 16 lower-case hexadecimal digits, byte 0 first.
    CString ToHex() const;

    friend bool operator==(const CUID&, const CUID&) = default;  // byte for byte
};
static_assert(sizeof(CUID) == 8, "CUID is stored as exactly its 8 bytes");

// The filter value that matches every record type or every category.
inline constexpr CUID CUID_ALL{{0, 0, 0, 0, 0, 0, 0xFF, 0xFF}};

}  // namespace LKMDB7

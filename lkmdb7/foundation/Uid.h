// CUID, the 8-byte identifier of stored items, and the process-wide generator state behind new
// identifiers and record IDs: the MT19937 generator, the node word and the clock since 1904.
//
// The generator state is shared by the whole process and not locked: the library is used from
// one thread at a time. Nothing here throws except std::bad_alloc.
#pragma once

#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Clock.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// A plain 8-byte value; stored and exchanged as its bytes in order. Null (all 0) by default.
struct LKMDB7_EXPORT CUID {
    BYTE m_bytes[8] = {};

    // The first 8 bytes at bytes (which must hold 8).
    static CUID FromBytes(const BYTE* bytes);
    const BYTE* Bytes() const { return m_bytes; }

    bool IsNull() const;

    // Overwrites this identifier with a fresh one: node word, counter word and the low 32 bits of
    // the local seconds since 1904, each big-endian.
    void Generate();

    // 16 lower-case hexadecimal digits, byte 0 first.
    CString ToHex() const;

    friend bool operator==(const CUID&, const CUID&) = default;
};
static_assert(sizeof(CUID) == 8, "CUID is stored as exactly its 8 bytes");

// The filter value that matches every record type or every category.
inline constexpr CUID CUID_ALL{{0, 0, 0, 0, 0, 0, 0xFF, 0xFF}};

// Restarts the shared MT19937 sequence from seed (reference initialisation).
LKMDB7_EXPORT void SeedRandom(DWORD seed);
// The next output of the shared MT19937; seeds it with 5489 if it has never been seeded.
LKMDB7_EXPORT DWORD NextRandom();
// SeedRandom(seed) followed by one NextRandom() whose output is dropped; cheap when the
// generator is already in the state that this leaves.
LKMDB7_EXPORT void SeedRandomAndDraw(DWORD seed);

// This machine's node word, computed afresh: from NetBIOS where there is one, otherwise the
// CRC-16 (initial value 3557) of a zero-filled 600-byte buffer holding the hardware addresses in
// order; when that gives nothing or 0, NextRandom() % 65535.
LKMDB7_EXPORT WORD GetNodeID();

// Whole seconds from 1904-01-01 00:00:00 to t, both taken as they are (no zone shift). 0 for a
// time that SystemTimeToFileTime rejects or that lies before 1904.
LKMDB7_EXPORT ULONGLONG SecondsSince1904(const SYSTEMTIME& t);
// SecondsSince1904 of the current local time.
LKMDB7_EXPORT ULONGLONG NowSince1904();

// Testing hooks. The first sets the counter word that the next Generate increments (seeding the
// generator first, as the first Generate would); the second puts the random generator back to
// its never-seeded state; the third seeds for identifiers as Generate does when the tick count
// reads tickCount, and the fourth answers the seed marker that this leaves.
LKMDB7_EXPORT void SetUidCounterForTesting(WORD counter);
LKMDB7_EXPORT void ResetRandomForTesting();
LKMDB7_EXPORT void SeedUidGeneratorForTesting(DWORD tickCount);
LKMDB7_EXPORT DWORD UidSeedMarkerForTesting();

}  // namespace LKMDB7

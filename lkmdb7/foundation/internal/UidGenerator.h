// The process-wide generator state behind new identifiers and record IDs (CUID::Generate,
// CBaseItem's record IDs): the MT19937 generator, the node word and the clock since 1904.
//
// Shared by the whole process and not locked: the library is used from one thread at a time.
// Nothing here throws.
#pragma once

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"
#include "lkmdb7/platform/internal/Clock.h"

namespace LKMDB7 {

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

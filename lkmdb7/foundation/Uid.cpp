#include "lkmdb7/foundation/Uid.h"

#include <cstring>

#include "lkmdb7/foundation/internal/Crc16.h"
#include "lkmdb7/foundation/internal/UidGenerator.h"
#include "lkmdb7/platform/internal/NetworkAdapters.h"

namespace LKMDB7 {

namespace {

// MT19937, 32-bit, with the reference initialisation, twist and tempering.
constexpr int kStateWords = 624;
constexpr int kShift = 397;

struct Generator {
    DWORD words[kStateWords] = {};
    int left = 1;  // so that the first output regenerates the state
    bool seeded = false;
    // The last seed and the outputs drawn since it (counting stops at 2): with one output after
    // seed s the state is a function of s alone, which SeedRandomAndDraw uses.
    DWORD lastSeed = 0;
    int drawsSinceSeed = 0;
};

// Identifier state: seed marker (0 = the generator has not been seeded for identifiers yet), the
// last counter word handed out and the cached node word (0 = not computed).
struct UidState {
    DWORD seedMarker = 0;
    WORD counter = 0;
    WORD node = 0;
};

Generator g_random;
UidState g_uid;

void Twist(Generator& g) {
    for (int i = 0; i < kStateWords; ++i) {
        const DWORD y = (g.words[i] & 0x80000000u) | (g.words[(i + 1) % kStateWords] & 0x7FFFFFFFu);
        g.words[i] = g.words[(i + kShift) % kStateWords] ^ (y >> 1) ^ ((y & 1u) ? 0x9908B0DFu : 0u);
    }
}

// The first step of Generate with the given tick count. A tick count of 0 leaves the marker at
// "not seeded", so the next Generate seeds again from a later count.
void SeedUidGenerator(DWORD ticks) {
    g_uid.seedMarker = ticks;
    SeedRandom(ticks);
    g_uid.counter = static_cast<WORD>(NextRandom() % 65535);
}

void SeedUidGeneratorOnce() {
    if (g_uid.seedMarker == 0) {
        SeedUidGenerator(GetTickCount());
    }
}

void PutBigEndian16(BYTE* out, WORD value) {
    out[0] = static_cast<BYTE>(value >> 8);
    out[1] = static_cast<BYTE>(value);
}

void PutBigEndian32(BYTE* out, DWORD value) {
    out[0] = static_cast<BYTE>(value >> 24);
    out[1] = static_cast<BYTE>(value >> 16);
    out[2] = static_cast<BYTE>(value >> 8);
    out[3] = static_cast<BYTE>(value);
}

}  // namespace

void SeedRandom(DWORD seed) {
    g_random.words[0] = seed;
    for (DWORD i = 1; i < DWORD{kStateWords}; ++i) {
        const DWORD prev = g_random.words[i - 1];
        g_random.words[i] = 1812433253u * (prev ^ (prev >> 30)) + i;
    }
    g_random.seeded = true;
    g_random.left = 1;
    g_random.lastSeed = seed;
    g_random.drawsSinceSeed = 0;
}

void SeedRandomAndDraw(DWORD seed) {
    // Seeding costs a pass over the whole state and the draw a twist of it; items made within one
    // tick of the clock would redo both only to reach the state they start from.
    if (g_random.seeded && g_random.lastSeed == seed && g_random.drawsSinceSeed == 1) {
        return;
    }
    SeedRandom(seed);
    (void)NextRandom();
}

DWORD NextRandom() {
    if (--g_random.left == 0) {
        if (!g_random.seeded) {
            SeedRandom(5489);
        }
        Twist(g_random);
        g_random.left = kStateWords;
    }
    if (g_random.drawsSinceSeed < 2) {
        ++g_random.drawsSinceSeed;
    }
    DWORD y = g_random.words[kStateWords - g_random.left];
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

WORD GetNodeID() {
    bool ok = false;
    const WORD netbios = NodeWordFromNetbios(ok);
    if (ok && netbios != 0) {
        return netbios;
    }
    const auto addresses = HardwareAddresses();
    if (!addresses.empty()) {
        BYTE buffer[600] = {};
        const size_t count = addresses.size() < 100 ? addresses.size() : 100;
        for (size_t i = 0; i < count; ++i) {
            std::memcpy(buffer + i * 6, addresses[i].data(), 6);
        }
        const WORD crc = Crc16(buffer, sizeof buffer, 3557);
        if (crc != 0) {
            return crc;
        }
    }
    return static_cast<WORD>(NextRandom() % 65535);
}

ULONGLONG SecondsSince1904(const SYSTEMTIME& t) {
    static constexpr SYSTEMTIME kEpoch1904{1904, 1, 0, 1, 0, 0, 0, 0};
    FILETIME time{};
    FILETIME epoch{};
    if (!SystemTimeToFileTime(&t, &time) || !SystemTimeToFileTime(&kEpoch1904, &epoch)) {
        return 0;
    }
    const ULONGLONG ticks = (ULONGLONG{time.dwHighDateTime} << 32) | time.dwLowDateTime;
    const ULONGLONG base = (ULONGLONG{epoch.dwHighDateTime} << 32) | epoch.dwLowDateTime;
    // Before 1904 the difference would wrap to a huge count.
    return ticks < base ? 0 : (ticks - base) / 10000000;
}

ULONGLONG NowSince1904() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return SecondsSince1904(now);
}

void SetUidCounterForTesting(WORD counter) {
    SeedUidGeneratorOnce();
    g_uid.counter = counter;
}

void SeedUidGeneratorForTesting(DWORD tickCount) {
    SeedUidGenerator(tickCount);
}

DWORD UidSeedMarkerForTesting() {
    return g_uid.seedMarker;
}

void ResetRandomForTesting() {
    g_random = Generator{};
}

CUID CUID::FromBytes(const BYTE* bytes) {
    CUID id;
    std::memcpy(id.m_bytes, bytes, sizeof id.m_bytes);
    return id;
}

bool CUID::IsNull() const {
    return *this == CUID{};
}

void CUID::Generate() {
    SeedUidGeneratorOnce();
    if (g_uid.node == 0) {
        g_uid.node = GetNodeID();
    }
    g_uid.counter = static_cast<WORD>(g_uid.counter + 1);
    PutBigEndian16(m_bytes, g_uid.node);
    PutBigEndian16(m_bytes + 2, g_uid.counter);
    PutBigEndian32(m_bytes + 4, static_cast<DWORD>(NowSince1904()));
}

CString CUID::ToHex() const {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const BYTE b : m_bytes) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0F];
    }
    return CString(std::move(hex));
}

}  // namespace LKMDB7

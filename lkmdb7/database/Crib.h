// The crib: the 40-byte password check at the start of the database file. The library stores any
// 40 bytes that a host gives it; these helpers compute one for a password, so that every host of
// the library (lkmdb, an application, the Python module) writes and checks the same crib. They
// are optional: a host may keep its own.
//
// Layout (all bytes; docs/file-format.md has a worked example):
//   0-3    tag "LK7C" (4C 4B 37 43): never all zero, and tells ours from another host's
//   4      layout 0x01: bcrypt "$2b$" over the password, hash cut to 18 bytes
//   5      cost: 2^cost rounds of bcrypt's key setup, 4 to kCribMaxCost
//   6-21   salt, 16 random bytes
//   22-39  the first 18 of bcrypt's 23 hash bytes
//
// The password is the same bytes that key the record cipher (SetRecordCipherPassword): the text
// up to its terminating zero, in Windows-1252 for text typed elsewhere. A crib adds no strength
// to the record cipher (docs/security.md): it stops a wrong password before records are read.
#pragma once

#include <cstddef>

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

inline constexpr BYTE kCribTag[4] = {'L', 'K', '7', 'C'};  // bytes 0-3 of a crib of ours
inline constexpr BYTE kCribLayout = 0x01;                  // byte 4 of a crib of ours
inline constexpr std::size_t kCribSaltOffset = 6;          // where the salt starts
inline constexpr std::size_t kCribSaltSize = 16;           // bcrypt's salt
inline constexpr std::size_t kCribHashOffset = kCribSaltOffset + kCribSaltSize;  // the hash's start
inline constexpr std::size_t kCribHashSize = 18;  // bytes of bcrypt's hash kept
// About 0.1 s on a desktop of 2020; each step up doubles it.
inline constexpr int kCribDefaultCost = 10;
// bcrypt's lowest cost.
inline constexpr int kCribMinCost = 4;
// A crib with a higher cost is not taken for ours: checking it could take hours.
inline constexpr int kCribMaxCost = 16;

// What a crib is (GetCribKind).
enum class CribKind {
    kNone,     // 40 zero bytes: the database has no password
    kOurs,     // made by MakeCrib
    kForeign,  // anything else: another host's; only that host can check it
};

// What the 40 bytes at crib are.
LKMDB7_EXPORT CribKind GetCribKind(const unsigned char* crib);

// Writes the crib of password (its bytes up to the terminating zero) into out (40 bytes), with a
// fresh random salt. Throws CInvalidArgException for a null or empty password or a cost outside
// kCribMinCost..kCribMaxCost, CFileException when the system's random source fails.
LKMDB7_EXPORT void MakeCrib(const char* password, unsigned char* out, int cost = kCribDefaultCost);
// The same with a given salt (kCribSaltSize bytes): the same inputs give the same crib.
LKMDB7_EXPORT void MakeCribWithSalt(const char* password, const BYTE* salt, int cost,
                                    unsigned char* out);

// True when crib is ours and was made from password. False for any other crib (none or foreign)
// and for a null or empty password. Takes as long as the crib's cost says.
LKMDB7_EXPORT bool CribMatches(const unsigned char* crib, const char* password);

}  // namespace LKMDB7

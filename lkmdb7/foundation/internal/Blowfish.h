// Blowfish block cipher in electronic code book mode, used for packed records and the record
// cipher. A block is 8 bytes whose halves are read and written big-endian: bytes 0-3 (byte 0 most
// significant) form the left half, bytes 4-7 the right half.
#pragma once

#include <cstddef>

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// A key schedule: 18 P-array words, then four S-boxes of 256 words, all in host order (4168
// bytes). The caller owns and allocates it; nothing here keeps a pointer to it. Wipe it with
// BlowfishWipe before it is freed or reused for another key.
struct BlowfishKey {
    DWORD p[18];
    DWORD s[4][256];
};

// Computes the schedule for keyLength bytes of key. Only the first 72 bytes take part; longer keys
// give the schedule of their 72-byte prefix. A keyLength of 0 or less means an empty key: the
// schedule is derived from the initial constants alone (the same as for a single zero byte), and
// keyBytes is not read (it may be null).
// Throws CInvalidArgException when key is null, or keyBytes is null with keyLength > 0.
LKMDB7_EXPORT void BlowfishSetKey(BlowfishKey* key, const BYTE* keyBytes, int keyLength);

// Fills the schedule with the initial constants alone (the digits of pi), before any key.
// Throws CInvalidArgException when key is null.
LKMDB7_EXPORT void BlowfishInitState(BlowfishKey* key);

// The key expansion from the schedule's current state, as bcrypt's expensive setup repeats it:
// XORs the key bytes, taken cyclically (only the first 72 take part), into the P-array, then
// refills P and the S-boxes by enciphering a chain that starts from the zero block. With a salt
// (16 bytes), each block of the chain is first XORed with the next 8 salt bytes, cyclically;
// a null salt XORs nothing, and BlowfishSetKey is BlowfishInitState followed by this.
// Throws CInvalidArgException when key is null, or keyBytes is null with keyLength > 0.
LKMDB7_EXPORT void BlowfishExpandKey(BlowfishKey* key, const BYTE* keyBytes, std::size_t keyLength,
                                     const BYTE* salt);

// Enciphers or deciphers one block given as its two halves, replaced in place. Throws
// CInvalidArgException when any pointer is null.
LKMDB7_EXPORT void BlowfishEncryptBlock(const BlowfishKey* key, DWORD* left, DWORD* right);
LKMDB7_EXPORT void BlowfishDecryptBlock(const BlowfishKey* key, DWORD* left, DWORD* right);

// Enciphers (encrypt true) or deciphers the whole 8-byte blocks of buffer in place; the last
// length % 8 bytes are left as they are. Each block stands alone (no chaining). The buffer may
// have any alignment. Allocates nothing. Throws CInvalidArgException when key is null, or buffer
// is null while length >= 8.
LKMDB7_EXPORT void BlowfishCryptBytes(const BlowfishKey* key, BYTE* buffer, std::size_t length,
                                      bool encrypt);

// The 16-bit form that packed-record callers use: a longer buffer is passed with its length
// modulo 65536 and only that many bytes are processed. encrypt: non-zero enciphers.
LKMDB7_EXPORT void BlowfishCryptBuffer(const BlowfishKey* key, BYTE* buffer, WORD length,
                                       BYTE encrypt);

// Zeroes every word of the schedule with writes the compiler may not drop. A null key is ignored.
LKMDB7_EXPORT void BlowfishWipe(BlowfishKey* key);

}  // namespace LKMDB7

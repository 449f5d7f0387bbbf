// Fixed-width names of the host platform. Their widths are part of the file format and of the
// API: the same on 32-bit Windows and 64-bit POSIX (where `long` would be 8 bytes).
//
// On Windows they are exactly the types of <windows.h> (DWORD is `unsigned long` there), so that
// a host may include both headers in either order and pass values and pointers between the two
// APIs. The names live in namespace LKMDB7 and never clash with a host's own. The library
// defines no TRUE or FALSE: a BOOL result is 0 or 1, and `true`/`false` convert to those.
#pragma once

#include <cstdint>

// Every name of the library; its macros are LKMDB7_... .
namespace LKMDB7 {

#if defined(_WIN32)
using BYTE = unsigned char;
using WORD = unsigned short;
using DWORD = unsigned long;
using LONG = long;
using UINT = unsigned int;
using BOOL = int;
using ULONGLONG = unsigned long long;
using LONGLONG = long long;
using SCODE = long;
#else
using BYTE = std::uint8_t;        // 8 bits, unsigned
using WORD = std::uint16_t;       // 16 bits, unsigned
using DWORD = std::uint32_t;      // 32 bits, unsigned
using LONG = std::int32_t;        // the 32-bit `long` of the Windows API
using UINT = std::uint32_t;       // 32 bits, unsigned
using BOOL = std::int32_t;        // 32 bits: 0 false, 1 true
using ULONGLONG = std::uint64_t;  // 64 bits, unsigned
using LONGLONG = std::int64_t;    // 64 bits, signed
using SCODE = std::int32_t;       // a 32-bit status code (COleException)
#endif
using HANDLE = void*;  // an opaque handle of the platform layer

static_assert(sizeof(BYTE) == 1 && sizeof(WORD) == 2 && sizeof(DWORD) == 4 && sizeof(LONG) == 4 &&
                  sizeof(UINT) == 4 && sizeof(BOOL) == 4 && sizeof(ULONGLONG) == 8 &&
                  sizeof(LONGLONG) == 8 && sizeof(SCODE) == 4,
              "the widths are part of the file format");

}  // namespace LKMDB7

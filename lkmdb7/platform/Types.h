// Fixed-width names of the host platform. Their widths are part of the file format and of the
// API: the same on 32-bit Windows and 64-bit POSIX (where `long` would be 8 bytes).
#pragma once

#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;  // the 32-bit `long` of the Windows API
using UINT = std::uint32_t;
using BOOL = std::int32_t;
using ULONGLONG = std::uint64_t;
using LONGLONG = std::int64_t;
using SCODE = std::int32_t;
using HANDLE = void*;

#ifndef FALSE
#define FALSE 0
#endif
#ifndef TRUE
#define TRUE 1
#endif

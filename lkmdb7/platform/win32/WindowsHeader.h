// <windows.h> for the Win32 backend, next to the library's own fixed-width names.
// windows.h declares DWORD, LONG and SCODE as `long` types, while Types.h gives them the same
// widths as <cstdint> types so that they agree with POSIX builds; and its ERROR_* macros would
// rewrite the enumerators of SystemError.h. So the library's headers come first, and windows.h
// is read with its three clashing names renamed. Its prototypes then take `unsigned long` where
// they say DWORD: out-parameters must be declared as `unsigned long` (WinDword below).
#pragma once

#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/Types.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif

#define DWORD LKMDB7_WIN32_DWORD
#define LONG LKMDB7_WIN32_LONG
#define SCODE LKMDB7_WIN32_SCODE
#include <windows.h>
#undef DWORD
#undef LONG
#undef SCODE

using WinDword = LKMDB7_WIN32_DWORD;

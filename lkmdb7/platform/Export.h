// Symbol visibility of the library. Everything a host may call is marked LKMDB7_EXPORT; the rest
// stays hidden (a shared object on POSIX, a DLL on Windows).
#pragma once

#if defined(_WIN32)
#if defined(LKMDB7_BUILDING)
// Exported from the DLL being built.
#define LKMDB7_EXPORT __declspec(dllexport)
#else
// Imported from the library's DLL.
#define LKMDB7_EXPORT __declspec(dllimport)
#endif
#else
// Visible outside the shared object.
#define LKMDB7_EXPORT __attribute__((visibility("default")))
#endif

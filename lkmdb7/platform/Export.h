// Symbol visibility of the library. Everything a host may call is marked LKMDB7_EXPORT; the rest
// stays hidden (a shared object on POSIX, a DLL on Windows).
#pragma once

#if defined(_WIN32)
#if defined(LKMDB7_BUILDING)
#define LKMDB7_EXPORT __declspec(dllexport)
#else
#define LKMDB7_EXPORT __declspec(dllimport)
#endif
#else
#define LKMDB7_EXPORT __attribute__((visibility("default")))
#endif

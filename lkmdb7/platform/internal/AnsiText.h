// Text rules of the machine's ANSI code page, which the single-byte CString follows: conversion
// from 16-bit text, case mapping, and comparison without regard to case. The Win32 backend asks
// the system (the ANSI code page and the user's locale); the POSIX backend applies Windows-1252,
// the code page of the files, with its accented letters folding and sorting with their base
// letter. Both keep one rule: two texts compare equal without regard to case exactly when their
// lower-case forms are equal, so a lower-cased text can key a lookup by name.
#pragma once

#include <string>
#include <string_view>

namespace LKMDB7 {

// 16-bit code units (UTF-16) to ANSI bytes; a character without a byte becomes '?'.
// Throws std::bad_alloc.
std::string AnsiFromUtf16(std::u16string_view units);

// Lower or upper case, byte for byte (the length never changes).
void AnsiMakeLower(std::string& text);
void AnsiMakeUpper(std::string& text);

// Negative, 0 or positive: the lower-case forms compared byte for byte.
int AnsiCompareNoCase(std::string_view a, std::string_view b);

// Negative, 0 or positive: the locale's order without regard to case, as names are sorted.
int AnsiCollateNoCase(std::string_view a, std::string_view b);

}  // namespace LKMDB7

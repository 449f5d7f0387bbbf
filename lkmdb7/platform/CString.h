// Single-byte text (Windows-1252 in files made on Windows; bytes are kept as they are).
// A value type over std::string: copies own their bytes. Case mapping and the comparisons without
// regard to case follow the ANSI code page (platform/internal/AnsiText.h): the system's on Windows,
// Windows-1252 elsewhere. CompareNoCase equality is equality of the MakeLower forms.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

#if defined(__GNUC__) && !defined(__clang__) && defined(_WIN32)
// Has the compiler check the arguments from a against the printf format in argument f (GCC on
// Windows: the formats of the C library the library is built with).
#define LKMDB7_PRINTF_FORMAT(f, a) __attribute__((format(gnu_printf, f, a)))
#elif defined(__GNUC__)
// Has the compiler check the arguments from a against the printf format in argument f.
#define LKMDB7_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
// Has the compiler check printf formats where it can; nothing here.
#define LKMDB7_PRINTF_FORMAT(f, a)
#endif

namespace LKMDB7 {

// See the top of this header. Every const char* argument may be null, which reads as "".
class LKMDB7_EXPORT CString {
  public:
    CString() = default;  // empty
    // The text up to its zero byte.
    CString(const char* text);  // NOLINT(google-explicit-constructor): the platform converts freely
    // The first length bytes of text, zero bytes included (a negative length: none).
    CString(const char* text, int length);
    // @{
    // The bytes of text.
    CString(std::string text);       // NOLINT(google-explicit-constructor)
    CString(std::string_view text);  // NOLINT(google-explicit-constructor)
    // @}
    // ch repeated (a negative count: none).
    CString(char ch, int repeat);

    int GetLength() const { return static_cast<int>(s_.size()); }  // in bytes
    bool IsEmpty() const { return s_.empty(); }                    // GetLength() is 0
    void Empty() { s_.clear(); }                                   // makes it empty
    // @{
    // The bytes with a zero byte after them; valid until the text next changes.
    const char* GetString() const { return s_.c_str(); }
    operator const char*() const { return s_.c_str(); }  // NOLINT(google-explicit-constructor)
    // @}
    // @{
    // The bytes, as the string that holds them.
    const std::string& str() const { return s_; }
    std::string& str() { return s_; }
    // @}

    // Character at index; an index outside the text raises the invalid-argument exception.
    char GetAt(int index) const;
    // Replaces the character at index; an index outside the text raises the invalid-argument
    // exception.
    void SetAt(int index, char ch);

    // Position of the first occurrence at or after start, or -1. An empty needle is found at start
    // when start is within the text.
    int Find(const char* needle, int start = 0) const;
    int Find(char ch, int start = 0) const;  // as above, for one character
    // Position of the last occurrence of ch, or -1.
    int ReverseFind(char ch) const;

    // @{
    // Parts of the text, clamped to it: a negative count or first counts as 0, and a part past
    // the end is empty or shortened. Left and Right take count bytes from that end; Mid takes
    // from first on, count bytes or the rest.
    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;
    // @}

    // @{
    // Maps the letters to one case in the ANSI code page; returns this text.
    CString& MakeLower();
    CString& MakeUpper();
    // @}
    // @{
    // Removes spaces, tabs, CR, LF, VT and FF from the start, the end or both; returns this text.
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim();
    // @}
    // Replaces every occurrence of from, left to right and not overlapping, with to; returns how
    // many. An empty from replaces nothing.
    int Replace(const char* from, const char* to);
    // Removes every ch; returns how many.
    int Remove(char ch);

    // Byte-wise comparison: negative, 0 or positive.
    int Compare(const char* other) const;
    // Comparison of the lower-case forms: negative, 0 or positive.
    int CompareNoCase(const char* other) const;
    // The locale's collation without regard to case, as sorted lists order names.
    int CollateNoCase(const char* other) const;

    // @{
    // Replaces the text with the printf formatting of the arguments. A format that the C
    // library rejects throws CInvalidArgException; std::bad_alloc when memory runs out.
    void Format(const char* format, ...) LKMDB7_PRINTF_FORMAT(2, 3);
    void FormatV(const char* format, va_list args);
    // @}

    // @{
    // Appends; returns this text.
    CString& operator+=(const CString& other);
    CString& operator+=(const char* other);
    CString& operator+=(char ch);
    // @}

    // @{
    // Byte-wise equality.
    friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
    friend bool operator==(const CString& a, const char* b) { return a.s_ == (b ? b : ""); }
    // @}
    // @{
    // The two texts one after the other.
    friend CString operator+(const CString& a, const CString& b) { return CString(a.s_ + b.s_); }
    friend CString operator+(const CString& a, const char* b) {
        return CString(a.s_ + (b ? b : ""));
    }
    friend CString operator+(const char* a, const CString& b) {
        return CString((a ? a : "") + b.s_);
    }
    friend CString operator+(const CString& a, char b) { return CString(a.s_ + b); }
    // @}

  private:
    std::string s_;
};

}  // namespace LKMDB7

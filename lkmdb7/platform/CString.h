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
#define LKMDB7_PRINTF_FORMAT(f, a) __attribute__((format(gnu_printf, f, a)))
#elif defined(__GNUC__)
#define LKMDB7_PRINTF_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define LKMDB7_PRINTF_FORMAT(f, a)
#endif

namespace LKMDB7 {

class LKMDB7_EXPORT CString {
  public:
    CString() = default;
    CString(const char* text);  // NOLINT(google-explicit-constructor): the platform converts freely
    CString(const char* text, int length);
    CString(std::string text);       // NOLINT(google-explicit-constructor)
    CString(std::string_view text);  // NOLINT(google-explicit-constructor)
    CString(char ch, int repeat);

    int GetLength() const { return static_cast<int>(s_.size()); }
    bool IsEmpty() const { return s_.empty(); }
    void Empty() { s_.clear(); }
    const char* GetString() const { return s_.c_str(); }
    operator const char*() const { return s_.c_str(); }  // NOLINT(google-explicit-constructor)
    const std::string& str() const { return s_; }
    std::string& str() { return s_; }

    // Character at index; an index outside the text raises the invalid-argument exception.
    char GetAt(int index) const;
    void SetAt(int index, char ch);

    // Position of the first occurrence at or after start, or -1. An empty needle is found at start
    // when start is within the text.
    int Find(const char* needle, int start = 0) const;
    int Find(char ch, int start = 0) const;
    int ReverseFind(char ch) const;

    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;

    CString& MakeLower();
    CString& MakeUpper();
    CString& TrimLeft();
    CString& TrimRight();
    CString& Trim();
    int Replace(const char* from, const char* to);
    int Remove(char ch);

    // Byte-wise comparison: negative, 0 or positive.
    int Compare(const char* other) const;
    // Comparison of the lower-case forms: negative, 0 or positive.
    int CompareNoCase(const char* other) const;
    // The locale's collation without regard to case, as sorted lists order names.
    int CollateNoCase(const char* other) const;

    void Format(const char* format, ...) LKMDB7_PRINTF_FORMAT(2, 3);
    void FormatV(const char* format, va_list args);

    CString& operator+=(const CString& other);
    CString& operator+=(const char* other);
    CString& operator+=(char ch);

    friend bool operator==(const CString& a, const CString& b) { return a.s_ == b.s_; }
    friend bool operator==(const CString& a, const char* b) { return a.s_ == (b ? b : ""); }
    friend CString operator+(const CString& a, const CString& b) { return CString(a.s_ + b.s_); }
    friend CString operator+(const CString& a, const char* b) {
        return CString(a.s_ + (b ? b : ""));
    }
    friend CString operator+(const char* a, const CString& b) {
        return CString((a ? a : "") + b.s_);
    }
    friend CString operator+(const CString& a, char b) { return CString(a.s_ + b); }

  private:
    std::string s_;
};

}  // namespace LKMDB7

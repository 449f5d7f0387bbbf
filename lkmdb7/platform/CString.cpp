#include "lkmdb7/platform/CString.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "lkmdb7/platform/Exceptions.h"
#include "lkmdb7/platform/internal/AnsiText.h"

namespace LKMDB7 {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::size_t ClampCount(int count) {
    return count < 0 ? 0 : static_cast<std::size_t>(count);
}

}  // namespace

CString::CString(const char* text) : s_(text ? text : "") {}
CString::CString(const char* text, int length)
    : s_(text ? std::string(text, ClampCount(length)) : std::string()) {}
CString::CString(std::string text) : s_(std::move(text)) {}
CString::CString(std::string_view text) : s_(text) {}
CString::CString(char ch, int repeat) : s_(ClampCount(repeat), ch) {}

char CString::GetAt(int index) const {
    if (index < 0 || index >= GetLength()) {
        AfxThrowInvalidArgException("CString::GetAt: index " + std::to_string(index) +
                                    " outside a text of " + std::to_string(GetLength()));
    }
    return s_[static_cast<std::size_t>(index)];
}

void CString::SetAt(int index, char ch) {
    if (index < 0 || index >= GetLength()) {
        AfxThrowInvalidArgException("CString::SetAt: index " + std::to_string(index) +
                                    " outside a text of " + std::to_string(GetLength()));
    }
    s_[static_cast<std::size_t>(index)] = ch;
}

int CString::Find(const char* needle, int start) const {
    if (start < 0 || start > GetLength()) {
        return -1;
    }
    const std::size_t pos = s_.find(needle ? needle : "", static_cast<std::size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::Find(char ch, int start) const {
    if (start < 0 || start > GetLength()) {
        return -1;
    }
    const std::size_t pos = s_.find(ch, static_cast<std::size_t>(start));
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

int CString::ReverseFind(char ch) const {
    const std::size_t pos = s_.rfind(ch);
    return pos == std::string::npos ? -1 : static_cast<int>(pos);
}

CString CString::Left(int count) const {
    return CString(s_.substr(0, ClampCount(count)));
}

CString CString::Mid(int first) const {
    const std::size_t f = ClampCount(first);
    return f >= s_.size() ? CString() : CString(s_.substr(f));
}

CString CString::Mid(int first, int count) const {
    const std::size_t f = ClampCount(first);
    return f >= s_.size() ? CString() : CString(s_.substr(f, ClampCount(count)));
}

CString CString::Right(int count) const {
    const std::size_t n = std::min(ClampCount(count), s_.size());
    return CString(s_.substr(s_.size() - n));
}

CString& CString::MakeLower() {
    LKMDB7::AnsiMakeLower(s_);
    return *this;
}

CString& CString::MakeUpper() {
    LKMDB7::AnsiMakeUpper(s_);
    return *this;
}

CString& CString::TrimLeft() {
    std::size_t i = 0;
    while (i < s_.size() && IsBlank(s_[i])) {
        ++i;
    }
    s_.erase(0, i);
    return *this;
}

CString& CString::TrimRight() {
    while (!s_.empty() && IsBlank(s_.back())) {
        s_.pop_back();
    }
    return *this;
}

CString& CString::Trim() {
    return TrimRight().TrimLeft();
}

int CString::Replace(const char* from, const char* to) {
    const std::string f = from ? from : "";
    const std::string t = to ? to : "";
    if (f.empty()) {
        return 0;
    }
    int count = 0;
    std::size_t pos = 0;
    while ((pos = s_.find(f, pos)) != std::string::npos) {
        s_.replace(pos, f.size(), t);
        pos += t.size();
        ++count;
    }
    return count;
}

int CString::Remove(char ch) {
    const std::size_t before = s_.size();
    std::erase(s_, ch);
    return static_cast<int>(before - s_.size());
}

int CString::Compare(const char* other) const {
    const int r = std::strcmp(s_.c_str(), other ? other : "");
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int CString::CompareNoCase(const char* other) const {
    return LKMDB7::AnsiCompareNoCase(s_, other ? other : "");
}

int CString::CollateNoCase(const char* other) const {
    return LKMDB7::AnsiCollateNoCase(s_, other ? other : "");
}

void CString::Format(const char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void CString::FormatV(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n < 0) {
        AfxThrowInvalidArgException("CString::Format: bad format");
    }
    std::vector<char> buf(static_cast<std::size_t>(n) + 1);
    std::vsnprintf(buf.data(), buf.size(), format, args);
    s_.assign(buf.data(), static_cast<std::size_t>(n));
}

CString& CString::operator+=(const CString& other) {
    s_ += other.s_;
    return *this;
}

CString& CString::operator+=(const char* other) {
    s_ += other ? other : "";
    return *this;
}

CString& CString::operator+=(char ch) {
    s_ += ch;
    return *this;
}

}  // namespace LKMDB7

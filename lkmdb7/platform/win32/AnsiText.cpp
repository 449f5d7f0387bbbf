#include "lkmdb7/platform/internal/AnsiText.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "lkmdb7/platform/win32/WinApi.h"

namespace LKMDB7 {

namespace {

// The system calls count in int; longer texts are handled in pieces where that is exact.
constexpr std::size_t kPiece = INT_MAX / 4;

}  // namespace

std::string AnsiFromUtf16(std::u16string_view units) {
    std::string out;
    while (!units.empty()) {
        std::size_t n = std::min(units.size(), kPiece);
        // A surrogate pair is not split between pieces.
        if (n < units.size() && units[n - 1] >= 0xD800 && units[n - 1] <= 0xDBFF) {
            --n;
        }
        const int count = static_cast<int>(n);
        const int size = WideCharToMultiByte(win32::kCodePageAnsi, 0, units.data(), count, nullptr,
                                             0, nullptr, nullptr);
        const std::size_t at = out.size();
        out.resize(at + static_cast<std::size_t>(std::max(size, 0)));
        if (size > 0) {
            WideCharToMultiByte(win32::kCodePageAnsi, 0, units.data(), count, out.data() + at, size,
                                nullptr, nullptr);
        }
        units.remove_prefix(n);
    }
    return out;
}

void AnsiMakeLower(std::string& text) {
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
        const std::size_t n = std::min(text.size() - at, kPiece);
        CharLowerBuffA(text.data() + at, static_cast<DWORD>(n));
    }
}

void AnsiMakeUpper(std::string& text) {
    for (std::size_t at = 0; at < text.size(); at += kPiece) {
        const std::size_t n = std::min(text.size() - at, kPiece);
        CharUpperBuffA(text.data() + at, static_cast<DWORD>(n));
    }
}

int AnsiCompareNoCase(std::string_view a, std::string_view b) {
    std::string la(a);
    std::string lb(b);
    AnsiMakeLower(la);
    AnsiMakeLower(lb);
    const int r = la.compare(lb);
    return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int AnsiCollateNoCase(std::string_view a, std::string_view b) {
    if (a.size() <= kPiece && b.size() <= kPiece) {
        const int r =
            CompareStringA(win32::kLocaleUserDefault, win32::kNormIgnoreCase, a.data(),
                           static_cast<int>(a.size()), b.data(), static_cast<int>(b.size()));
        if (r != 0) {
            return r - 2;  // CSTR_LESS_THAN, CSTR_EQUAL, CSTR_GREATER_THAN are 1, 2, 3
        }
    }
    // Texts the system cannot take: the order of their lower-case forms.
    return AnsiCompareNoCase(a, b);
}

}  // namespace LKMDB7

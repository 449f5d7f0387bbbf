#include "lkmdb7/platform/internal/AnsiText.h"

#include <algorithm>
#include <cstddef>

#include "lkmdb7/platform/internal/Windows1252.h"

namespace LKMDB7 {

namespace {

// The first difference decides; a text that is a prefix of the other sorts first.
template <typename Key>
int CompareBy(std::string_view a, std::string_view b, Key key) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const int ka = key(static_cast<unsigned char>(a[i]));
        const int kb = key(static_cast<unsigned char>(b[i]));
        if (ka != kb) {
            return ka < kb ? -1 : 1;
        }
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace

std::string AnsiFromUtf16(std::u16string_view units) {
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char16_t unit = units[i];
        const bool pair = unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() &&
                          units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF;
        if (pair) {
            ++i;  // one character beyond the code page
            out += '?';
            continue;
        }
        const int byte = Windows1252ByteOf(unit);
        out += byte < 0 ? '?' : static_cast<char>(byte);
    }
    return out;
}

void AnsiMakeLower(std::string& text) {
    for (char& c : text) {
        c = static_cast<char>(Windows1252Lower(static_cast<unsigned char>(c)));
    }
}

void AnsiMakeUpper(std::string& text) {
    for (char& c : text) {
        c = static_cast<char>(Windows1252Upper(static_cast<unsigned char>(c)));
    }
}

int AnsiCompareNoCase(std::string_view a, std::string_view b) {
    return CompareBy(a, b, Windows1252Lower);
}

int AnsiCollateNoCase(std::string_view a, std::string_view b) {
    return CompareBy(a, b, Windows1252CollationWeight);
}

}  // namespace LKMDB7

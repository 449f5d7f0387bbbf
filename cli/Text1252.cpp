#include "cli/Text1252.h"

#include <cstdio>

#include "cli/CliError.h"
#include "lkmdb7/platform/internal/Windows1252.h"

namespace lkmdb {
namespace {

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Describe(char32_t cp) {
    char name[16];
    std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(cp));
    std::string text = name;
    if (cp >= 0xA0) {
        text += " (";
        AppendUtf8(text, cp);
        text += ")";
    }
    return text;
}

}  // namespace

std::string ToUtf8(std::string_view text1252) {
    std::string out;
    out.reserve(text1252.size());
    for (char c : text1252) {
        AppendUtf8(out, LKMDB7::Windows1252ToCodePoint(static_cast<unsigned char>(c)));
    }
    return out;
}

std::string ToWindows1252(std::string_view utf8, std::string_view what) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    const auto invalid = [&](std::size_t at) {
        throw CliError(kExitFailure,
                       std::string(what) + ": not valid UTF-8 at byte " + std::to_string(at + 1));
    };
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        // Length and payload bits of the sequence, and the least code point it may carry.
        std::size_t extra = 0;
        char32_t cp = lead;
        char32_t min = 0;
        if (lead >= 0x80) {
            if ((lead & 0xE0) == 0xC0) {
                extra = 1;
            } else if ((lead & 0xF0) == 0xE0) {
                extra = 2;
            } else if ((lead & 0xF8) == 0xF0) {
                extra = 3;
            } else {
                invalid(i);
            }
            cp = lead & (0x3Fu >> extra);
            min = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        }
        if (utf8.size() - i <= extra) {
            invalid(i);
        }
        for (std::size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            if ((next & 0xC0) != 0x80) {
                invalid(i);
            }
            cp = (cp << 6) | (next & 0x3Fu);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            invalid(i);
        }
        const int byte = LKMDB7::Windows1252ByteOf(cp);
        if (cp == 0) {
            throw CliError(kExitFailure,
                           std::string(what) + ": the character U+0000 cannot be stored");
        }
        if (byte < 0) {
            throw CliError(kExitFailure, std::string(what) + ": the character " + Describe(cp) +
                                             " has no Windows-1252 byte");
        }
        out += static_cast<char>(byte);
        i += extra + 1;
    }
    return out;
}

std::string Printable(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    const auto escape = [&out](const char* format, unsigned value) {
        char text[8];
        std::snprintf(text, sizeof text, format, value);
        out += text;
    };
    std::size_t i = 0;
    while (i < utf8.size()) {
        const auto lead = static_cast<unsigned char>(utf8[i]);
        if (lead < 0x80) {
            switch (lead) {
                case '\n':
                    out += "\\n";
                    break;
                case '\r':
                    out += "\\r";
                    break;
                case '\t':
                    out += "\\t";
                    break;
                default:
                    if (lead < 0x20 || lead == 0x7F) {
                        escape("\\x%02x", lead);
                    } else {
                        out += static_cast<char>(lead);
                    }
            }
            ++i;
            continue;
        }
        // A well-formed sequence passes whole; anything else is shown byte by byte.
        const std::size_t extra = (lead & 0xE0) == 0xC0   ? 1
                                  : (lead & 0xF0) == 0xE0 ? 2
                                  : (lead & 0xF8) == 0xF0 ? 3
                                                          : 0;
        bool valid = extra != 0 && utf8.size() - i > extra;
        char32_t cp = lead & (0x3Fu >> extra);
        for (std::size_t k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(utf8[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3Fu);
        }
        const char32_t min = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        valid = valid && cp >= min && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
        if (!valid) {
            escape("\\x%02x", lead);
            ++i;
        } else if (cp <= 0x9F) {
            escape("\\u%04x", static_cast<unsigned>(cp));
            i += extra + 1;
        } else {
            out.append(utf8.substr(i, extra + 1));
            i += extra + 1;
        }
    }
    return out;
}

std::string PrintableLines(std::string_view utf8) {
    std::string out;
    std::size_t start = 0;
    while (start < utf8.size()) {
        const std::size_t end = utf8.find('\n', start);
        if (end == std::string_view::npos) {
            out += Printable(utf8.substr(start));
            break;
        }
        out += Printable(utf8.substr(start, end - start));
        out += '\n';
        start = end + 1;
    }
    return out;
}

}  // namespace lkmdb

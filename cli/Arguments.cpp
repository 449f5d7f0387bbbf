#include "cli/Arguments.h"

#include <cstdio>

#include "cli/CliError.h"

namespace lkmdb {

using namespace LKMDB7;

WORD ParseMask(const std::string& text, const std::string& what) {
    const unsigned value = ParseBits(text, 0xFFFFFFFFu, what);
    try {
        return CheckFieldMask(value);
    } catch (const CInvalidArgException& e) {
        throw CliError(kExitFailure, what + ": '" + text + "': " + e.what());
    }
}

DWORD ParseRecordID(const std::string& text) {
    return static_cast<DWORD>(ParseBits(text, 0xFFFFFFFFu, "RECORD_ID"));
}

unsigned ParseBits(const std::string& text, unsigned max, const std::string& what) {
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    unsigned long long value = 0;
    bool ok = !digits.empty() && digits.size() <= 16;
    for (char c : digits) {
        int d = -1;
        if (c >= '0' && c <= '9') {
            d = c - '0';
        } else if (hex && c >= 'a' && c <= 'f') {
            d = c - 'a' + 10;
        } else if (hex && c >= 'A' && c <= 'F') {
            d = c - 'A' + 10;
        }
        if (d < 0) {
            ok = false;
            break;
        }
        value = value * (hex ? 16u : 10u) + static_cast<unsigned>(d);
        if (value > max) {
            ok = false;
            break;
        }
    }
    if (!ok) {
        char limit[16];
        std::snprintf(limit, sizeof limit, "0x%X", max);
        throw CliError(kExitFailure, what + ": '" + text + "' is not a number from 0 to " + limit +
                                         " (decimal, or hexadecimal with 0x)");
    }
    return static_cast<unsigned>(value);
}

}  // namespace lkmdb

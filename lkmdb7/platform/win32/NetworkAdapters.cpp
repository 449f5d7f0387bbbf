#include "lkmdb7/platform/internal/NetworkAdapters.h"

#include <algorithm>
#include <cstring>

#include "lkmdb7/foundation/internal/Crc16.h"
#include "lkmdb7/platform/win32/AdapterInfo.h"
#include "lkmdb7/platform/win32/WinApi.h"

namespace LKMDB7 {

namespace {

constexpr BYTE kNcbReset = 0x32;
constexpr BYTE kNcbAdapterStatus = 0x33;
constexpr BYTE kNcbEnumerate = 0x37;
constexpr WORD kStatusSize = 600;

// Each request starts from a cleared control block.
BYTE Request(BYTE command, BYTE adapter, BYTE* buffer, WORD length) {
    win32::NCB ncb{};
    ncb.ncb_command = command;
    ncb.ncb_lana_num = adapter;
    ncb.ncb_buffer = buffer;
    ncb.ncb_length = length;
    if (command == kNcbAdapterStatus) {
        std::memset(ncb.ncb_callname, ' ', sizeof ncb.ncb_callname);
        ncb.ncb_callname[0] = '*';
    }
    return ::Netbios(&ncb);
}

}  // namespace

std::vector<std::array<BYTE, 6>> HardwareAddresses() {
    std::vector<std::array<BYTE, 6>> result;
    for (const auto& address : win32::IpHelperAdapterAddresses()) {
        if (address != std::array<BYTE, 6>{}) {
            result.push_back(address);
        }
    }
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

WORD NodeWordFromNetbios(bool& ok) {
    ok = false;
    BYTE adapters[256] = {};  // count, then the adapter numbers
    if (Request(kNcbEnumerate, 0, adapters, sizeof adapters) != 0 || adapters[0] == 0) {
        return 0;
    }
    for (int i = 1; i <= adapters[0]; ++i) {
        const BYTE adapter = adapters[i];
        if (Request(kNcbReset, adapter, nullptr, 0) != 0) {
            continue;
        }
        // Cleared, so that bytes past a short reply do not make the word vary between runs.
        BYTE status[kStatusSize] = {};
        if (Request(kNcbAdapterStatus, adapter, status, kStatusSize) != 0) {
            continue;
        }
        const WORD word = Crc16(status, kStatusSize, 3557);
        if (word != 0) {
            ok = true;
            return word;
        }
    }
    return 0;
}

}  // namespace LKMDB7

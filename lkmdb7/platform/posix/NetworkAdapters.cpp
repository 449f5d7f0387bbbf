#include "lkmdb7/platform/internal/NetworkAdapters.h"

#include <ifaddrs.h>
#include <net/if.h>
#include <netpacket/packet.h>
#include <sys/socket.h>

#include <algorithm>
#include <cstring>

namespace LKMDB7 {

std::vector<std::array<BYTE, 6>> HardwareAddresses() {
    std::vector<std::array<BYTE, 6>> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return result;
    }
    for (const ifaddrs* ifa = list; ifa != nullptr; ifa = ifa->ifa_next) {
        if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_PACKET ||
            (ifa->ifa_flags & IFF_LOOPBACK) != 0) {
            continue;
        }
        sockaddr_ll link{};
        std::memcpy(&link, ifa->ifa_addr, sizeof link);
        if (link.sll_halen != 6) {
            continue;
        }
        std::array<BYTE, 6> address{};
        std::memcpy(address.data(), link.sll_addr, 6);
        if (address != std::array<BYTE, 6>{}) {
            result.push_back(address);
        }
    }
    ::freeifaddrs(list);
    std::sort(result.begin(), result.end());
    result.erase(std::unique(result.begin(), result.end()), result.end());
    return result;
}

WORD NodeWordFromNetbios(bool& ok) {
    ok = false;
    return 0;
}

}  // namespace LKMDB7

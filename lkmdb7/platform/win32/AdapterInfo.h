// For the Win32 backend only: the bridge to the IP helper, whose declarations need <windows.h>.
// Deliberately free of the library's own type names, so AdapterInfo.cpp can include <windows.h>.
#pragma once

#include <array>
#include <vector>

namespace LKMDB7::win32 {

// The 6-byte addresses of the non-loopback adapters that the IP helper lists, unsorted; empty
// when the IP helper is missing or fails.
std::vector<std::array<unsigned char, 6>> IpHelperAdapterAddresses();

}  // namespace LKMDB7::win32

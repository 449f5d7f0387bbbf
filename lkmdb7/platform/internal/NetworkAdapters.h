// The machine's network adapters, as far as new identifiers need them (foundation/Uid.h).
// Nothing here throws except std::bad_alloc.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <vector>

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// The 6-byte hardware addresses of the machine's network interfaces, sorted bytewise and without
// duplicates; loopback interfaces and all-zero addresses are left out. Empty when there are none
// or they cannot be read.
LKMDB7_EXPORT std::vector<std::array<BYTE, 6>> HardwareAddresses();

// Bytes of a NetBIOS adapter status reply as handed to take; a shorter reply is zero-filled.
inline constexpr std::size_t kNetbiosStatusSize = 600;

// Asks the NetBIOS adapters in turn (reset, then adapter status) and hands each status reply to
// take, until take returns true; adapters are not asked after that. False when NetBIOS is missing
// (every platform but Windows) or take accepted no reply. take may throw; the walk then stops.
LKMDB7_EXPORT bool TakeNetbiosStatus(const std::function<bool(const BYTE* status)>& take);

}  // namespace LKMDB7

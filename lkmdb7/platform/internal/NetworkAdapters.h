// The machine's network adapters, as far as new identifiers need them (foundation/Uid.h).
// Nothing here throws except std::bad_alloc.
#pragma once

#include <array>
#include <vector>

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// The 6-byte hardware addresses of the machine's network interfaces, sorted bytewise and without
// duplicates; loopback interfaces and all-zero addresses are left out. Empty when there are none
// or they cannot be read.
LKMDB7_EXPORT std::vector<std::array<BYTE, 6>> HardwareAddresses();

// The node word from the NetBIOS adapter status of the first adapter that answers with a
// non-zero CRC-16 (initial value 3557 over the 600-byte status reply). ok is false, and the
// result 0, when NetBIOS is missing (every platform but Windows) or no adapter gives a word.
LKMDB7_EXPORT WORD NodeWordFromNetbios(bool& ok);

}  // namespace LKMDB7

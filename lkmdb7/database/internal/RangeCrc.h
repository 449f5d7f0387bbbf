// The packed-record checksum (CRC-16, polynomial 0x1021, as Crc16Bytes) of any byte range of a
// fixed buffer in logarithmic time. The CRC register is linear: after a range [a, b) from a start
// value s it holds Z(s ^ P[a], b - a) ^ P[b], where P[k] is the CRC of the first k bytes from 0 and
// Z(x, n) the register x after n zero bytes. Scanning a damaged file tries a candidate item at
// every byte; this lets each one's checksum be checked without reading its packed record.
#pragma once

#include <cstddef>
#include <vector>

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

class LKMDB7_EXPORT RangeCrc {
  public:
    // Reads the bytes once; they need not outlive the object.
    RangeCrc(const BYTE* data, std::size_t size);

    // Crc16Bytes(data + begin, end - begin, initial); begin <= end <= size.
    WORD Of(std::size_t begin, std::size_t end, WORD initial) const;

    // The register `state` after `count` zero bytes.
    static WORD AfterZeros(WORD state, ULONGLONG count);

  private:
    std::vector<WORD> prefix_;  // prefix_[k]: CRC of the first k bytes from 0
};

}  // namespace LKMDB7

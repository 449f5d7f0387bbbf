// The packed-record checksum (CRC-16, polynomial 0x1021, as Crc16Bytes) of any byte range of a
// fixed buffer in logarithmic time. The CRC register is linear: after a range [a, b) from a start
// value s it holds Z(s ^ P[a], b - a) ^ P[b], where P[k] is the CRC of the first k bytes from 0 and
// Z(x, n) the register x after n zero bytes. Scanning a damaged file tries a candidate item at
// every byte; this lets each one's checksum be checked without reading its packed record.
#pragma once

#include <cstddef>
#include <vector>

#include "lkmdb7/lkmdb7.h"

namespace lkmdb {

using LKMDB7::BYTE;
using LKMDB7::ULONGLONG;
using LKMDB7::WORD;

class RangeCrc {
  public:
    // Reads the bytes once; they need not outlive the object.
    RangeCrc(const LKMDB7::BYTE* data, std::size_t size);

    // Crc16Bytes(data + begin, end - begin, initial); begin <= end <= size.
    LKMDB7::WORD Of(std::size_t begin, std::size_t end, LKMDB7::WORD initial) const;

    // The register `state` after `count` zero bytes.
    static LKMDB7::WORD AfterZeros(LKMDB7::WORD state, LKMDB7::ULONGLONG count);

  private:
    std::vector<LKMDB7::WORD> prefix_;  // prefix_[k]: CRC of the first k bytes from 0
};

}  // namespace lkmdb

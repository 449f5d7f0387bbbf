#include "lkmdb7/items/PackedFormat.h"

#include <algorithm>
#include <cstdio>

#include "lkmdb7/foundation/internal/Crc16.h"
#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

bool PackedRecordHasChecksum(unsigned layout) {
    return layout == 3 || layout >= 5;
}

std::size_t ShortestPackedRecord(unsigned layout) {
    if (layout <= 2) {
        return kOldFormV1HeaderSize;
    }
    return layout == 4 ? kOldFormV2HeaderSize : kPackedHeaderSize + kPackedTailSize;
}

WORD PackedRecordCrc(const BYTE* plain, std::size_t covered) {
    // The packer sums a 16-bit length.
    const auto length = static_cast<std::size_t>(static_cast<WORD>(covered));
    if (plain == nullptr && length != 0) {
        AfxThrowInvalidArgException("PackedRecordCrc: no data");
    }
    static constexpr BYTE kZeros[2] = {0, 0};
    const std::size_t head = std::min<std::size_t>(length, sizeof kZeros);
    const WORD crc = Crc16Bytes(kZeros, head, kPackedCrcInitial);
    return length > head ? Crc16Bytes(plain + head, length - head, crc) : crc;
}

namespace {

std::string Hex4(WORD value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return text;
}

}  // namespace

std::optional<std::string> PackedChecksumFault(const std::vector<BYTE>& plain) {
    constexpr std::size_t kShortest = kPackedHeaderSize + kPackedTailSize;
    if (plain.size() < kShortest) {
        return "packed record of " + std::to_string(plain.size()) + " bytes, shorter than " +
               std::to_string(kShortest);
    }
    const WORD computed = PackedRecordCrc(plain.data(), plain.size() - kPackedTailSize);
    const auto stored = static_cast<WORD>((plain[0] << 8) | plain[1]);
    if (computed == stored) {
        return std::nullopt;
    }
    return DescribeChecksumMismatch(stored, computed);
}

std::string DescribeChecksumMismatch(WORD stored, WORD computed) {
    return "checksum " + Hex4(stored) + " stored, " + Hex4(computed) + " computed";
}

ItemFlagOffsets ItemBodyFlagOffsets(unsigned layout) {
    // Record ID (4), then from layout 6 the PK identifier (8) and the time stamp (4).
    const std::size_t needsSync = 4 + (layout >= 6 ? 12 : 0);
    const std::size_t deleted = needsSync + 2;
    // Layouts up to 2: an old CRC word between the deleted and cloud-sync flags.
    const std::size_t cloudSync = deleted + (layout <= 2 ? 4 : 2);
    return {needsSync, deleted, cloudSync};
}

}  // namespace LKMDB7

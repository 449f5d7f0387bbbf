// Feeds arbitrary bytes to the packed-record readers of each item class. Byte 0 picks the class
// (modulo 3), the reader (bits 2-3: current form with and without deciphering, first and second
// old form) and whether the record cipher is set (bit 4); byte 1 the layout version (modulo 11).
// The rest is the packed record. Every reader ends in the item or in an archive exception, and
// the content it read packs into a record that reads back as the same content.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/Outcome.h"
#include "lkmdb7/lkmdb7.h"

using namespace LKMDB7;

using LKMDB7::CBaseItem;

namespace {

std::unique_ptr<CBaseItem> MakeItem(int kind) {
    switch (kind) {
        case 0:
            return std::make_unique<LKMDB7::CRecord>();
        case 1:
            return std::make_unique<LKMDB7::CTypeItem>();
        default:
            return std::make_unique<LKMDB7::CCategoryItem>();
    }
}

void SetLayoutVersion(UINT version) {
    for (CRuntimeClass* cls :
         {LKMDB7_RUNTIME_CLASS(LKMDB7::CBaseItem), LKMDB7_RUNTIME_CLASS(LKMDB7::CCategory),
          LKMDB7_RUNTIME_CLASS(LKMDB7::CCategoryItem), LKMDB7_RUNTIME_CLASS(LKMDB7::CTypeItem),
          LKMDB7_RUNTIME_CLASS(LKMDB7::CRecord)}) {
        cls->m_wSchema = kVersionableSchema | version;
    }
}

// The packed form of the item's content without its random tail.
std::vector<BYTE> PlainPacked(CBaseItem& item) {
    item.PackPalmRecord(false);
    std::vector<BYTE> bytes = item.PalmRecord();
    bytes.resize(bytes.size() - LKMDB7::kPackedTailSize);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2) {
        lkmdb7_fuzz::Refuse();
        return 0;
    }
    const int kind = data[0] % 3;
    const int reader = (data[0] >> 2) & 3;
    const bool cipher = (data[0] & 0x10) != 0;
    LKMDB7::SetRecordCipherPassword(cipher ? "fuzz password" : nullptr);
    SetLayoutVersion(static_cast<UINT>(data[1] % 11));

    std::vector<char> record(data + 2, data + size);
    std::unique_ptr<CBaseItem> item = MakeItem(kind);
    try {
        item->SetPalmRecord(record.data(), static_cast<int>(record.size()));
        switch (reader) {
            case 0:
                item->PuffPalmRecord(true);
                break;
            case 1:
                item->PuffPalmRecord(false);
                break;
            case 2:
                item->PuffPalmRecordV1();
                break;
            default:
                item->PuffPalmRecordV2();
                break;
        }
    } catch (const CArchiveException&) {
        SetLayoutVersion(9);
        lkmdb7_fuzz::Refuse();
        return 0;
    }

    // What was read must survive a trip through the current form.
    SetLayoutVersion(9);
    item->PackPalmRecord(true);
    // Again: the first packing may have kept the bytes that the item's texts read as its plain
    // copy, and this one packs against that copy.
    item->PackPalmRecord(true);
    std::vector<char> packed(item->PalmRecord().begin(), item->PalmRecord().end());
    const std::vector<BYTE> first = PlainPacked(*item);
    std::unique_ptr<CBaseItem> copy = MakeItem(kind);
    copy->SetPalmRecord(packed.data(), static_cast<int>(packed.size()));
    copy->PuffPalmRecord(true);
    if (PlainPacked(*copy) != first) {
        std::fprintf(stderr, "packing and reading back changed the content\n");
        std::abort();
    }
    return 0;
}

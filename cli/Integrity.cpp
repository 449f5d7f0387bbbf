#include "cli/Integrity.h"

#include <cstdio>
#include <string>
#include <unordered_map>
#include <utility>

#include "cli/Names.h"
#include "cli/Progress.h"
#include "lkmdb7/foundation/internal/Crc16.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

std::string Hex4(WORD value) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(value));
    return text;
}

std::string ItemName(const CBaseItem& item) {
    switch (item.GetListType()) {
        case 0:
            return "record " + std::to_string(item.GetRecordID());
        case 1:
            return "record type " + std::string(item.GetUniqueID().ToHex().str());
        default:
            return "category " + std::string(item.GetUniqueID().ToHex().str());
    }
}

}  // namespace

// The packer sums CRC-16 over bytes 0 to L-8 with bytes 0-1 taken as zero.
std::optional<std::string> ChecksumFault(const CBaseItem& item) {
    return ChecksumFault(item.PalmRecord());
}

std::optional<std::string> ChecksumFault(const std::vector<BYTE>& bytes) {
    constexpr std::size_t kShortest = kPackedHeaderSize + kPackedTailSize;
    if (bytes.size() < kShortest) {
        return "packed record of " + std::to_string(bytes.size()) + " bytes, shorter than " +
               std::to_string(kShortest);
    }
    std::vector<BYTE> covered(bytes.begin(), bytes.end() - kPackedTailSize);
    covered[0] = covered[1] = 0;
    // The packer sums a 16-bit length; a check must do the same.
    const WORD computed =
        Crc16(covered.data(), static_cast<WORD>(covered.size()), kPackedCrcInitial);
    const auto stored = static_cast<WORD>((bytes[0] << 8) | bytes[1]);
    if (computed == stored) {
        return std::nullopt;
    }
    return "checksum " + Hex4(stored) + " stored, " + Hex4(computed) + " computed";
}

bool ChecksumsApply(unsigned fileVersion) {
    return fileVersion == 3 || fileVersion >= 5;
}

Faults FindFaults(Context& ctx, CDatabaseObj7& db, unsigned fileVersion) {
    Faults faults;
    CRecordList& records = db.GetRecordList();
    CTypesList& types = db.GetTypesList();
    CCategoryList& categories = db.GetCategoryList();
    const auto total =
        static_cast<std::size_t>(records.GetCount() + types.GetCount() + categories.GetCount());
    Progress progress(ctx, "verify", total);
    const bool checksums = ChecksumsApply(fileVersion);
    // Lists find a type or category by its unique ID, first come first served: a second one of
    // the same ID is never found, and the records of that ID show the first.
    std::unordered_map<std::string, const CBaseItem*> firstOf[2];
    for (CObjectList* list :
         {static_cast<CObjectList*>(&records), static_cast<CObjectList*>(&types),
          static_cast<CObjectList*>(&categories)}) {
        for (const CBaseItem& item : Items(std::as_const(*list))) {
            progress.Step();
            if (checksums) {
                if (auto fault = ChecksumFault(item)) {
                    faults.push_back(ItemName(item) + ": " + *fault);
                }
            }
            if (item.GetListType() != 0) {
                const std::string id = item.GetUniqueID().ToHex().str();
                auto& first = firstOf[item.GetListType() == 1 ? 0 : 1];
                const auto [at, isFirst] = first.emplace(id, &item);
                if (!isFirst) {
                    faults.push_back(ItemName(item) + " \"" + Shown(item.GetName()) +
                                     "\": its unique ID is also that of \"" +
                                     Shown(at->second->GetName()) +
                                     "\" before it, which the records of that ID show");
                }
                continue;
            }
            const auto& record = static_cast<const CRecord&>(item);
            const CUID type = record.GetTypeID();
            if (!type.IsNull() && types.GetType(type) == nullptr) {
                faults.push_back(ItemName(item) + ": its type " + type.ToHex().str() +
                                 " names no record type");
            }
            const CUID category = record.GetCategoryID();
            if (!category.IsNull() && categories.GetCategory(category) == nullptr) {
                faults.push_back(ItemName(item) + ": its category " + category.ToHex().str() +
                                 " names no category");
            }
        }
    }
    return faults;
}

}  // namespace lkmdb

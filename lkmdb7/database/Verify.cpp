#include "lkmdb7/database/Verify.h"

#include <optional>
#include <string>
#include <unordered_map>
#include <utility>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/items/PackedFormat.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/lists/ItemRange.h"

namespace LKMDB7 {

namespace {

std::array<CObjectList*, kListCount> ListsOf(CDatabaseObj7& db) {
    return {&db.GetRecordList(), &db.GetTypesList(), &db.GetCategoryList()};
}

}  // namespace

std::optional<std::string> ChecksumFault(const CBaseItem& item) {
    if (auto fault = PackedChecksumFault(item.PalmRecord())) {
        return fault;
    }
    if (item.FailedChecksumAtLoad()) {
        // Converted to the current form since, which gave its misread texts a new checksum.
        return std::string("the packed record failed its checksum when the file was read");
    }
    return std::nullopt;
}

VerifyReport VerifyDatabase(CDatabaseObj7& db, unsigned fileVersion,
                            const std::function<void()>& onItem) {
    VerifyReport report;
    report.checksumsChecked = PackedRecordHasChecksum(fileVersion);
    CTypesList& types = db.GetTypesList();
    CCategoryList& categories = db.GetCategoryList();
    // Lists find a type or category by its unique ID, first come first served.
    std::unordered_map<std::string, const CBaseItem*> firstOf[2];
    for (CObjectList* list : ListsOf(db)) {
        for (const CBaseItem& item : Items(std::as_const(*list))) {
            if (onItem) {
                onItem();
            }
            if (report.checksumsChecked) {
                if (auto fault = ChecksumFault(item)) {
                    report.faults.push_back({VerifyFault::kChecksum, &item, nullptr, {}, *fault});
                }
            }
            if (item.GetListType() != 0) {
                const std::string id = item.GetUniqueID().ToHex().str();
                auto& first = firstOf[item.GetListType() == 1 ? 0 : 1];
                const auto [at, isFirst] = first.emplace(id, &item);
                if (!isFirst) {
                    report.faults.push_back({VerifyFault::kDuplicateID, &item, at->second, {}, {}});
                }
                continue;
            }
            const auto& record = static_cast<const CRecord&>(item);
            const CUID type = record.GetTypeID();
            if (!type.IsNull() && types.GetType(type) == nullptr) {
                report.faults.push_back({VerifyFault::kMissingType, &item, nullptr, type, {}});
            }
            const CUID category = record.GetCategoryID();
            if (!category.IsNull() && categories.GetCategory(category) == nullptr) {
                report.faults.push_back(
                    {VerifyFault::kMissingCategory, &item, nullptr, category, {}});
            }
        }
    }
    return report;
}

std::size_t CountChecksumFaults(CDatabaseObj7& db, unsigned fileVersion) {
    if (!PackedRecordHasChecksum(fileVersion)) {
        return 0;
    }
    std::size_t bad = 0;
    for (CObjectList* list : ListsOf(db)) {
        for (const CBaseItem& item : Items(std::as_const(*list))) {
            bad += ChecksumFault(item) ? std::size_t{1} : std::size_t{0};
        }
    }
    return bad;
}

}  // namespace LKMDB7

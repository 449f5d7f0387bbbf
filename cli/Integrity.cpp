#include "cli/Integrity.h"

#include <string>

#include "cli/Names.h"
#include "cli/Progress.h"
#include "lkmdb7/foundation/internal/Crc16.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

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

Faults FindFaults(Context& ctx, CDatabaseObj7& db, unsigned fileVersion) {
    const auto total =
        static_cast<std::size_t>(db.GetRecordList().GetCount() + db.GetTypesList().GetCount() +
                                 db.GetCategoryList().GetCount());
    Progress progress(ctx, "verify", total);
    const VerifyReport report = VerifyDatabase(db, fileVersion, [&progress] { progress.Step(); });
    Faults faults;
    for (const VerifyFault& fault : report.faults) {
        const CBaseItem& item = *fault.item;
        switch (fault.kind) {
            case VerifyFault::kChecksum:
                faults.push_back(ItemName(item) + ": " + fault.detail);
                break;
            case VerifyFault::kDuplicateID:
                faults.push_back(ItemName(item) + " \"" + Shown(item.GetName()) +
                                 "\": its unique ID is also that of \"" +
                                 Shown(fault.first->GetName()) +
                                 "\" before it, which the records of that ID show");
                break;
            case VerifyFault::kMissingType:
                faults.push_back(ItemName(item) + ": its type " + fault.id.ToHex().str() +
                                 " names no record type");
                break;
            case VerifyFault::kMissingCategory:
                faults.push_back(ItemName(item) + ": its category " + fault.id.ToHex().str() +
                                 " names no category");
                break;
        }
    }
    return faults;
}

}  // namespace lkmdb

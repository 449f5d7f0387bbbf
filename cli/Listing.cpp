#include "cli/Listing.h"

#include <fstream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <utility>

#include "cli/Columns.h"
#include "cli/Json.h"
#include "cli/Names.h"
#include "cli/Password.h"

namespace lkmdb {

using namespace LKMDB7;

std::vector<CRecord*> RecordsInView(CDatabaseObj7& db, const CUID& type, const CUID& category) {
    std::vector<CRecord*> records;
    // One walk: the list's indexed access starts from the head each time.
    for (CRecord& record : Items(db.GetRecordList())) {
        if (record.IsInView(type, category)) {
            records.push_back(&record);
        }
    }
    return records;
}

void PrintRecordList(Context& ctx, CDatabaseObj7& db, const std::vector<CRecord*>& records,
                     bool json) {
    if (json) {
        nlohmann::json list = nlohmann::json::array();
        for (const CRecord* r : records) {
            list.push_back(RecordJson(db, *r, Secrets::kHidden));
        }
        nlohmann::json doc = JsonDocument();
        doc["records"] = std::move(list);
        WriteJson(ctx.out, doc);
        return;
    }
    if (records.empty()) {
        return;
    }
    std::vector<std::vector<std::string>> rows{{"ID", "TYPE", "CATEGORY", "FIRST FIELD"}};
    for (CRecord* r : records) {
        rows.push_back({std::to_string(r->GetRecordID()), TypeName(db, *r), CategoryName(db, *r),
                        Shown(r->GetField(0, true))});
    }
    WriteColumns(ctx.out, std::move(rows));
}

void PrintInfo(Context& ctx, CDatabaseObj7& db, const DatabaseFile& file, unsigned fileVersion,
               bool json) {
    const auto deletedIn = [](const CObjectList& list) {
        int deleted = 0;
        for (const CBaseItem& item : Items(list)) {
            deleted += item.IsDeleted() ? 1 : 0;
        }
        return deleted;
    };
    const int records = db.GetRecordList().GetCount();
    const int types = db.GetTypesList().GetCount();
    const int categories = db.GetCategoryList().GetCount();
    const int deletedRecords = deletedIn(db.GetRecordList());
    const int deletedTypes = deletedIn(db.GetTypesList());
    const int deletedCategories = deletedIn(db.GetCategoryList());
    const PasswordEvidence facts = GatherPasswordFacts(ctx, db, fileVersion, true);
    const char* crib = facts.crib == CribKind::kNone   ? "none"
                       : facts.crib == CribKind::kOurs ? "ours"
                                                       : "foreign";
    const std::optional<bool> enciphered = RecordsEnciphered(facts);
    std::ifstream in(file.native, std::ios::binary | std::ios::ate);
    const auto size = static_cast<long long>(in ? static_cast<long long>(in.tellg()) : -1);
    if (json) {
        nlohmann::json info = JsonDocument();
        info.update(
            {{"file", file.shown},
             {"version", fileVersion},
             {"hasPassword", db.IsEncrypted()},
             {"crib", crib},
             {"recordsEnciphered", enciphered ? nlohmann::json(*enciphered) : nlohmann::json()},
             {"createDate", db.GetPalmCreateDate()},
             {"iconFile", Shown(db.GetIconFileName())},
             {"records", records - deletedRecords},
             {"deletedRecords", deletedRecords},
             {"types", types - deletedTypes},
             {"deletedTypes", deletedTypes},
             {"categories", categories - deletedCategories},
             {"deletedCategories", deletedCategories},
             {"fileSize", size}});
        WriteJson(ctx.out, info);
        return;
    }
    const auto count = [](int all, int deleted) {
        std::string text = std::to_string(all - deleted);
        return deleted == 0 ? text : text + " (and " + std::to_string(deleted) + " deleted)";
    };
    const std::string icon = Shown(db.GetIconFileName());
    WriteColumns(ctx.out, {{"file:", file.shown},
                           {"version:", std::to_string(fileVersion)},
                           {"password:", facts.crib == CribKind::kNone ? "no"
                                         : facts.crib == CribKind::kOurs
                                             ? "yes (checked by its crib)"
                                             : "yes (another program's check, which lkmdb cannot "
                                               "make)"},
                           {"enciphered:", !enciphered   ? "(no record to tell)"
                                           : *enciphered ? "yes"
                                                         : "no"},
                           {"create date:", std::to_string(db.GetPalmCreateDate())},
                           {"icon file:", icon.empty() ? "(none)" : icon},
                           {"records:", count(records, deletedRecords)},
                           {"types:", count(types, deletedTypes)},
                           {"categories:", count(categories, deletedCategories)},
                           {"file size:", std::to_string(size) + " bytes"}});
}

}  // namespace lkmdb

#include "cli/Json.h"

#include <ostream>

#include "cli/Names.h"

namespace lkmdb {

using namespace LKMDB7;

nlohmann::json JsonDocument() {
    return {{"schemaVersion", kJsonSchemaVersion}};
}

nlohmann::json RecordJson(CDatabaseObj7& db, const CRecord& record, Secrets secrets) {
    const CTypeItem* type = db.GetTypesList().GetType(record.GetTypeID());
    nlohmann::json fields = nlohmann::json::array();
    nlohmann::json labels = nlohmann::json::array();
    for (int i = 0; i < 10; ++i) {
        // A placeholder in place of a secret would pass for the value itself.
        fields.push_back(secrets == Secrets::kHidden && record.GetFieldMask(i)
                             ? nlohmann::json()
                             : nlohmann::json(Shown(record.GetField(i, false))));
        CString label = record.GetFieldLabelA(i);
        if (label.IsEmpty() && type != nullptr) {
            label = type->GetLabel(i);
        }
        labels.push_back(Shown(label));
    }
    return {{"recordId", record.GetRecordID()},
            {"type", TypeName(db, record)},
            {"category", CategoryName(db, record)},
            {"fields", fields},
            {"labels", labels},
            {"mask", record.GetMaskBits()},
            {"note", Shown(record.GetNote())},
            {"icon", record.GetIconIndex()},
            {"localOnly", record.IsLocalOnly()},
            {"viewCount", record.GetViewCount()},
            {"attachmentName", Shown(record.GetAttachedFileName())}};
}

nlohmann::json ErrorJson(int exitCode, const std::string& message) {
    nlohmann::json doc = JsonDocument();
    doc["error"] = {{"exitCode", exitCode}, {"message", message}};
    return doc;
}

void WriteJson(std::ostream& out, const nlohmann::json& doc) {
    out << doc.dump(2) << '\n';
}

}  // namespace lkmdb

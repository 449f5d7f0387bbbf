#include "cli/Names.h"

#include <vector>

#include "cli/Arguments.h"
#include "cli/CliError.h"
#include "cli/Text1252.h"

namespace lkmdb {

using namespace LKMDB7;

std::string Shown(const CString& text) {
    return ToUtf8(text.str());
}

CString Stored(const std::string& utf8, const std::string& what) {
    return CString(ToWindows1252(utf8, what));
}

std::string TypeName(CDatabaseObj7& db, const CRecord& record) {
    return Shown(db.GetTypesList().GetTypeName(record.GetTypeID()));
}

std::string CategoryName(CDatabaseObj7& db, const CRecord& record) {
    return Shown(db.GetCategoryList().GetCategoryName(record.GetCategoryID()));
}

CUID TypeIDByName(CDatabaseObj7& db, const std::string& name, const DatabaseFile& file) {
    const CString stored = Stored(name, "--type");
    if (stored.CompareNoCase("Unfiled") == 0) {
        return CUID{};
    }
    const CTypeItem* type = db.GetTypesList().GetTypeByName(stored);
    if (type == nullptr) {
        throw CliError(kExitNotFound, file.shown + ": no record type named \"" + name + "\"");
    }
    return type->GetUniqueID();
}

CUID CategoryIDByName(CDatabaseObj7& db, const std::string& name, const DatabaseFile& file) {
    const CString stored = Stored(name, "--category");
    if (stored.CompareNoCase("Unfiled") == 0) {
        return CUID{};
    }
    const CCategoryItem* category = db.GetCategoryList().GetCategoryByName(stored);
    if (category == nullptr) {
        throw CliError(kExitNotFound, file.shown + ": no category named \"" + name + "\"");
    }
    return category->GetUniqueID();
}

CRecord& FindRecord(CDatabaseObj7& db, const std::string& text, const DatabaseFile& file) {
    CRecordList& list = db.GetRecordList();
    try {
        CRecord* byID = list.GetRecordByID(ParseRecordID(text));
        if (byID != nullptr && !byID->IsDeleted()) {
            return *byID;
        }
    } catch (const CliError&) {
        // not a number: a name
    }
    std::vector<CRecord*> named;
    try {
        const CString name = Stored(text, "RECORD");
        for (CRecord& record : Items(list)) {
            if (!record.IsDeleted() && record.GetField(0, false).CompareNoCase(name) == 0) {
                named.push_back(&record);
            }
        }
    } catch (const CliError&) {
        // a text that no stored field can hold names nothing
    }
    if (named.empty()) {
        throw CliError(kExitNotFound, file.shown + ": no record " + text);
    }
    if (named.size() > 1) {
        std::string candidates;
        for (const CRecord* record : named) {
            candidates += (candidates.empty() ? "" : ", ") + std::to_string(record->GetRecordID()) +
                          " (" + TypeName(db, *record) + ", " + CategoryName(db, *record) + ")";
        }
        throw CliError(kExitFailure, file.shown + ": " + std::to_string(named.size()) +
                                         " records are named \"" + text + "\": " + candidates +
                                         "; give the ID");
    }
    return *named.front();
}

}  // namespace lkmdb

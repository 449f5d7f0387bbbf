#include "cli/Names.h"

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

}  // namespace lkmdb

#include "lkmdb7/database/DatabaseFormat.h"

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/platform/CArchive.h"

namespace LKMDB7 {

DatabaseHeader ReadDatabaseHeader(CArchive& ar) {
    DatabaseHeader header;
    ar.ReadExact(header.crib.data(), header.crib.size(), "crib");
    header.createDate = ar.ReadDword("create date");
    header.version = ar.ReadWord("version");
    if (header.version >= kFirstVersionWithCategories) {
        header.iconFileName = ar.ReadString("icon file name");
    }
    header.reservedWord = ar.ReadWord("reserved word");
    header.reserved1 = ar.ReadDword("reserved value 1");
    header.reserved2 = ar.ReadDword("reserved value 2");
    return header;
}

void WriteDatabaseHeader(CArchive& ar, const DatabaseHeader& header) {
    ar.Write(header.crib.data(), static_cast<UINT>(header.crib.size()));
    ar.WriteDword(header.createDate);
    ar.WriteWord(header.version);
    if (header.version >= kFirstVersionWithCategories) {
        ar.WriteString(header.iconFileName);
    }
    ar.WriteWord(header.reservedWord);
    ar.WriteDword(header.reserved1);
    ar.WriteDword(header.reserved2);
}

const std::array<CRuntimeClass*, 6>& StoredClasses() {
    static const std::array<CRuntimeClass*, 6> classes{
        LKMDB7_RUNTIME_CLASS(CDatabaseObj7), LKMDB7_RUNTIME_CLASS(CBaseItem),
        LKMDB7_RUNTIME_CLASS(CCategory),     LKMDB7_RUNTIME_CLASS(CCategoryItem),
        LKMDB7_RUNTIME_CLASS(CTypeItem),     LKMDB7_RUNTIME_CLASS(CRecord)};
    return classes;
}

void StampClassSchemas(WORD version) {
    for (CRuntimeClass* cls : StoredClasses()) {
        cls->m_wSchema = kVersionableSchema | version;
    }
}

const std::array<CRuntimeClass*, 4>& ItemClasses() {
    static const std::array<CRuntimeClass*, 4> classes{
        LKMDB7_RUNTIME_CLASS(CRecord), LKMDB7_RUNTIME_CLASS(CCategory),
        LKMDB7_RUNTIME_CLASS(CTypeItem), LKMDB7_RUNTIME_CLASS(CCategoryItem)};
    return classes;
}

std::size_t ListOfItemClass(const CRuntimeClass* cls) {
    if (cls == LKMDB7_RUNTIME_CLASS(CRecord)) {
        return kRecordListIndex;
    }
    return cls == LKMDB7_RUNTIME_CLASS(CCategoryItem) ? kCategoryListIndex : kTypesListIndex;
}

}  // namespace LKMDB7

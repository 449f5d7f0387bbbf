#include "tests/support/DatabaseGenerations.h"

#include <memory>

#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/platform/internal/ByteOrder.h"

namespace lkmdb7_test {

using namespace LKMDB7;

namespace {

constexpr DWORD kTypeID = 100000;
constexpr DWORD kCategoryID = 100001;

int RecordCount(int generation) {
    return 30 + generation % 7;
}

CString FieldText(int generation, int record, int field) {
    CString text;
    text.Format("g%d r%d f%d ", generation, record, field);
    // Sizes vary with the generation, so that a file cut short or mixed shows.
    return text + CString('x', (generation * 7 + record * 3 + field) % 40);
}

CString NameOf(const char* kind, int generation) {
    CString name;
    name.Format("%s %d", kind, generation);
    return name;
}

}  // namespace

void FillGeneration(CDatabaseObj7& db, int generation) {
    db.Reset(false);
    db.SetPalmCreateDate(static_cast<DWORD>(generation));
    for (int r = 1; r <= RecordCount(generation); ++r) {
        auto record = std::make_unique<CRecord>();
        record->SetRecordID(static_cast<DWORD>(r));
        for (int f = 0; f < kFieldCount; ++f) {
            record->SetField(f, FieldText(generation, r, f));
        }
        record->SetNote(NameOf("note", generation));
        db.GetRecordList().AddItem(record.release());
    }
    auto type = std::make_unique<CTypeItem>();
    type->SetRecordID(kTypeID);
    type->SetName(NameOf("type", generation));
    db.GetTypesList().AddItem(type.release());
    auto category = std::make_unique<CCategoryItem>();
    category->SetRecordID(kCategoryID);
    category->SetName(NameOf("category", generation));
    db.GetCategoryList().AddItem(category.release());
}

int GenerationOf(CDatabaseObj7& db) {
    const auto generation = static_cast<int>(db.GetPalmCreateDate());
    if (generation < 1 || db.GetRecordList().GetCount() != RecordCount(generation) ||
        db.GetTypesList().GetCount() != 1 || db.GetCategoryList().GetCount() != 1) {
        return -1;
    }
    for (int r = 1; r <= RecordCount(generation); ++r) {
        const auto* record =
            dynamic_cast<const CRecord*>(db.GetItemByRecordID(0, static_cast<DWORD>(r)));
        if (record == nullptr || record->GetNote() != NameOf("note", generation)) {
            return -1;
        }
        for (int f = 0; f < kFieldCount; ++f) {
            if (record->GetField(f, false) != FieldText(generation, r, f)) {
                return -1;
            }
        }
    }
    const CBaseItem* type = db.GetItemByRecordID(1, kTypeID);
    const CBaseItem* category = db.GetItemByRecordID(2, kCategoryID);
    if (type == nullptr || type->GetName() != NameOf("type", generation) || category == nullptr ||
        category->GetName() != NameOf("category", generation)) {
        return -1;
    }
    return generation;
}

int GenerationOnDisk(const std::string& path) {
    CDatabaseObj7 db;
    if (const LONG result = db.Load(CString(path)); result != 0) {
        return -1;
    }
    if (db.GetRecordList().GetCount() == 0 && db.GetPalmCreateDate() == 0) {
        return 0;
    }
    return GenerationOf(db);
}

std::vector<unsigned char> VersionEightFile() {
    // crib (40), create date (4), version (2), icon name (1), reserved (10), three counts (6)
    std::vector<unsigned char> file(63, 0);
    file[3] = 0x5A;
    PutLE32(file.data() + 40, 0x01020304);
    file[44] = 8;
    return file;
}

}  // namespace lkmdb7_test

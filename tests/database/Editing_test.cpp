// Editing across lists: adding records from rows of texts (types and categories made on the way),
// deleting records, types and categories, and giving every type the same columns.
#include <gtest/gtest.h>

#include <chrono>

#include "lkmdb7/database/DatabaseObj7.h"
#include "tests/support/ItemTesting.h"

// The host's class: the library only passes it through.
class CNotifyProviderList {};

using namespace LKMDB7;
using namespace lkmdb7_test;

namespace {

CStringArray Row(std::initializer_list<const char*> texts) {
    CStringArray row;
    for (const char* t : texts) {
        row.Add(t);
    }
    return row;
}

class Editing : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
    CDatabaseObj7 db;
    CStringArray noLabels;

    CRecord* Add(CStringArray row, const char* category = "", unsigned short icon = 24,
                 bool localOnly = false) {
        return db.AddRecordWithoutWaiting(row, 0, noLabels, category, icon, localOnly);
    }
};

}  // namespace

TEST_F(Editing, UnfiledInAnyCaseMeansNoTypeAndNoCategory) {
    CStringArray row = Row({"unfiled", "alice", "secret"});
    CNotifyProviderList providers;
    CRecord* record = db.AddRecord(row, 0x2, noLabels, "UNFILED", 255, providers, false);
    EXPECT_TRUE(record->GetTypeID().IsNull());
    EXPECT_TRUE(record->GetCategoryID().IsNull());
    EXPECT_EQ(record->GetIconIndex(), 255);
    EXPECT_EQ(row.GetSize(), 2);  // the caller's array lost its first entry
    EXPECT_EQ(db.GetTypesList().GetCount(), 0);
    EXPECT_EQ(db.GetCategoryList().GetCount(), 0);
    record->PackPalmRecord(false);
    record->PuffPalmRecord(false);
    EXPECT_EQ(record->GetField(0, false), "alice");
    EXPECT_EQ(record->GetField(1, true), "****");
    EXPECT_EQ(record->GetField(2, false), "");
    EXPECT_TRUE(record->NeedsSync());
    EXPECT_FALSE(record->IsLocalOnly());
}

TEST_F(Editing, TypesAndCategoriesAreCreatedOnceAndFoundInOtherCase) {
    CRecord* first = Add(Row({"Web", "a"}), "Home");
    CRecord* second = Add(Row({"WEB", "b"}), "home");
    ASSERT_EQ(db.GetTypesList().GetCount(), 1);
    ASSERT_EQ(db.GetCategoryList().GetCount(), 1);
    EXPECT_EQ(first->GetTypeID(), second->GetTypeID());
    EXPECT_EQ(first->GetCategoryID(), second->GetCategoryID());
    CTypeItem* web = db.GetTypesList().GetTypeByName("web");
    EXPECT_FALSE(web->GetUniqueID().IsNull());
    EXPECT_TRUE(web->NeedsSync());
    CStringArray labels;
    web->GetLabels(labels);
    EXPECT_EQ(labels[0], "Field 1");

    Add(Row({"Bank"}), "Work");
    EXPECT_EQ(db.GetTypesList().GetTypeIDByIndex(0),
              db.GetTypesList().GetTypeByName("Bank")->GetUniqueID());

    // A type marked deleted is not reused: a new one of the same name is made.
    web->SetDeleted(true);
    CRecord* third = Add(Row({"Web"}));
    EXPECT_NE(third->GetTypeID(), first->GetTypeID());
    EXPECT_EQ(db.GetTypesList().GetCount(), 3);

    // Icon 255 means the type's own icon.
    db.GetTypesList().GetTypeByName("Bank")->SetIconIndex(9);
    EXPECT_EQ(Add(Row({"bank"}), "", 255)->GetIconIndex(), 9);
}

TEST_F(Editing, NoteFromTheTextsAfterTheTenFields) {
    struct Case {
        std::initializer_list<const char*> extra;
        const char* note;
    };
    const Case cases[] = {
        {{"one", "two"}, "one\r\ntwo"},
        {{"one", ""}, "one\r\n"},
        {{"", "two"}, "two"},
        {{}, ""},
    };
    for (const Case& c : cases) {
        CStringArray row = Row({"T", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"});
        for (const char* e : c.extra) {
            row.Add(e);
        }
        EXPECT_EQ(Add(row)->GetNote(), c.note);
    }
}

TEST_F(Editing, LocalOnlyRecordsDoNotNeedSync) {
    CRecord* local = Add(Row({"T"}), "", 24, true);
    EXPECT_TRUE(local->IsLocalOnly());
    EXPECT_FALSE(local->NeedsSync());
}

TEST_F(Editing, EmptyRowIsRefusedBeforeAnythingChanges) {
    CStringArray empty;
    EXPECT_THROW(Add(empty), CInvalidArgException);
    EXPECT_EQ(db.GetRecordList().GetCount(), 0);
}

// A record, type or category too long to pack is refused before any list or the row changes.
TEST_F(Editing, RowsTooLongToPackChangeNothing) {
    const std::string huge(70000, 'x');
    struct Case {
        const char* what;
        CStringArray row;
        std::string category;
    };
    const Case cases[] = {
        {"note",
         Row({"Web", "f1", "f2", "f3", "f4", "f5", "f6", "f7", "f8", "f9", "f10", huge.c_str()}),
         "Personal"},
        {"field", Row({"Web", huge.c_str()}), "Personal"},
        {"type name", Row({huge.c_str(), "f1"}), "Personal"},
        {"category name", Row({"Web", "f1"}), huge},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CStringArray row;
        row.Copy(c.row);
        const int size = row.GetSize();
        EXPECT_THROW(Add(row, c.category.c_str()), CInvalidArgException);
        EXPECT_EQ(row.GetSize(), size);
        EXPECT_EQ(db.GetRecordList().GetCount(), 0);
        EXPECT_EQ(db.GetTypesList().GetCount(), 0);
        EXPECT_EQ(db.GetCategoryList().GetCount(), 0);
    }
}

namespace {

struct CountedType : CTypeItem {
    using CTypeItem::operator=;
    static inline std::size_t reads = 0;
    CString GetName() const override {
        ++reads;
        return CTypeItem::GetName();
    }
};

std::vector<std::string> TypeNames(CTypesList& types) {
    std::vector<std::string> names;
    for (POSITION pos = types.GetHeadPosition(); pos != nullptr;) {
        names.push_back(CObjectList::ItemAt(types.GetNext(pos))->GetName().str());
    }
    return names;
}

}  // namespace

// Rows that each make a new type find their place without a walk of the types list, and the
// list ends in the order that sorting gives.
TEST_F(Editing, ManyNewTypesCostNoWalkEach) {
    constexpr int kTypes = 2000;
    CTypesList& types = db.GetTypesList();
    for (int i = 0; i < kTypes; ++i) {
        auto* type = new CountedType;
        type->SetName(CString("kept " + std::to_string(i * 2)));
        types.AddItemSorted(type);
    }
    CountedType::reads = 0;
    for (int i = 0; i < kTypes; ++i) {
        Add(Row({("New " + std::to_string(i * 2 + 1)).c_str(), "f"}),
            ("Category " + std::to_string(i)).c_str());
        Add(Row({("kept " + std::to_string(i * 2)).c_str(), "g"}));
    }
    // A walk per new type would read about kTypes * kTypes names.
    EXPECT_LT(CountedType::reads, static_cast<std::size_t>(100 * kTypes));
    EXPECT_EQ(types.GetCount(), 2 * kTypes);
    EXPECT_EQ(db.GetRecordList().GetCount(), 2 * kTypes);
    const std::vector<std::string> added = TypeNames(types);
    types.SortByName();
    EXPECT_EQ(TypeNames(types), added);
    EXPECT_EQ(types.GetTypeByName("NEW 7")->GetUniqueID(),
              db.GetRecordList().GetRecord(CUID_ALL, CUID_ALL, 6)->GetTypeID());
}

TEST_F(Editing, RecordIDsAreUnique) {
    // Without waiting, a taken ID gives the next free one above it.
    CRecord* a = Add(Row({"T"}));
    CRecord* b = Add(Row({"T"}));
    CRecord* c = Add(Row({"T"}));
    EXPECT_NE(a->GetRecordID(), b->GetRecordID());
    EXPECT_NE(b->GetRecordID(), c->GetRecordID());
    EXPECT_NE(a->GetRecordID(), c->GetRecordID());

    // AddRecord waits (sleeping) for the clock's next free second instead.
    CStringArray row = Row({"T"});
    CNotifyProviderList providers;
    const auto start = std::chrono::steady_clock::now();
    CRecord* d = db.AddRecord(row, 0, noLabels, "", 24, providers, false);
    EXPECT_EQ(db.GetRecordList().GetRecordByID(d->GetRecordID()), d);
    EXPECT_GT(d->GetRecordID(), c->GetRecordID());
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST_F(Editing, DeletingATypeOrCategoryClearsItFromRecords) {
    CRecord* record = Add(Row({"Web", "a"}), "Home");
    CRecord* gone = Add(Row({"Web", "b"}), "Home");
    gone->SetDeleted(true);
    record->SetNeedsSync(false);
    CTypeItem* web = db.GetTypesList().GetTypeByName("Web");
    web->SetRecordID(0);  // never synced: removed and destroyed
    db.SetTypeDeleted(web);
    EXPECT_EQ(db.GetTypesList().GetCount(), 0);
    EXPECT_TRUE(record->GetTypeID().IsNull());
    EXPECT_TRUE(gone->GetTypeID().IsNull());  // deleted records are brought up to date too
    EXPECT_TRUE(record->NeedsSync());

    CCategoryItem* home = db.GetCategoryList().GetCategoryByName("Home");
    db.SetCategoryDeleted(home);  // synced (it has a record ID): kept, marked deleted
    EXPECT_EQ(db.GetCategoryList().GetCount(), 1);
    EXPECT_TRUE(home->IsDeleted());
    EXPECT_TRUE(record->GetCategoryID().IsNull());

    db.SetRecordDeleted(record);
    EXPECT_TRUE(record->IsDeleted());
    EXPECT_EQ(db.GetRecordList().GetCount(CUID_ALL, CUID_ALL), 0);
    EXPECT_EQ(db.GetRecordList().GetCount(), 2);
}

TEST_F(Editing, ApplyToAllColumns) {
    db.ApplyToAllColumns(CShowColumns());  // no types: nothing happens
    Add(Row({"A"}));
    Add(Row({"B"}));
    db.GetTypesList().GetTypeByName("B")->SetDeleted(true);
    CColumnEntry entries[2] = {{7, 8, 9, 10}, {1, 2, 3, 4}};
    const CShowColumns columns(2, entries);
    db.ApplyToAllColumns(columns);
    for (POSITION pos = db.GetTypesList().GetHeadPosition(); pos != nullptr;) {
        auto* type = static_cast<CTypeItem*>(db.GetTypesList().GetNext(pos));
        EXPECT_EQ(type->GetColumnInfo(), columns);
    }
    db.NotifyAllChanged(nullptr);
}

// The index validity rule of the lists: read-only walks keep the indexes, any change to the list
// or to one of its items drops them, and the items of one list (or database) never disturb the
// indexes of another. Items are changed through pointers kept from before, never through the
// list, so that only the item's own report can make the next answer right.
#include <gtest/gtest.h>

#include <functional>
#include <utility>
#include <vector>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/lists/ItemRange.h"
#include "lkmdb7/lists/internal/ListIndexAccess.h"

using namespace LKMDB7;

namespace {

CUID Id(BYTE last) {
    const BYTE b[8] = {1, 0, 0, 0, 0, 0, 0, last};
    return CUID::FromBytes(b);
}

const CUID kTypeA = Id(1);
const CUID kTypeB = Id(2);
const CUID kCatX = Id(10);

CRecord* AddRecord(CRecordList& list, DWORD recordID, const CUID& type, const CUID& category) {
    auto* r = new CRecord;
    r->SetRecordID(recordID);
    r->SetTypeID(type);
    r->SetCategoryID(category);
    list.AddItem(r);
    return r;
}

CTypeItem* AddType(CTypesList& list, const char* name) {
    auto* t = new CTypeItem;
    t->SetName(name);
    list.AddItemSorted(t);
    return t;
}

ULONGLONG Builds(const CRecordList& list) {
    return ListIndexAccess::IndexBuilds(list);
}
ULONGLONG Builds(const CTypesList& list) {
    return ListIndexAccess::IndexBuilds(list);
}

int WalkCount(const CRecordList& list, const CUID& type, const CUID& category) {
    int n = 0;
    for (const CRecord& r : Items(list)) {
        n += r.IsInView(type, category) ? 1 : 0;
    }
    return n;
}

// A record list of six records and one view of it indexed.
struct Filled {
    CRecordList list;
    std::vector<CRecord*> records;
    Filled() {
        for (DWORD i = 1; i <= 6; ++i) {
            records.push_back(AddRecord(list, i, i % 2 != 0 ? kTypeA : kTypeB, CUID()));
        }
        EXPECT_EQ(list.GetCount(kTypeA, CUID_ALL), 3);
    }
};

}  // namespace

TEST(IndexValidity, ReadOnlyWalksKeepTheIndexesAndAWritableSlotDropsThem) {
    const std::vector<std::pair<const char*, std::function<void(CRecordList&)>>> walks = {
        {"Items",
         [](CRecordList& l) {
             for (CRecord& r : Items(l)) {
                 (void)r.GetField(0, false);
             }
         }},
        {"Items of a const list",
         [](CRecordList& l) {
             for (const CRecord& r : Items(std::as_const(l))) {
                 (void)r.IsDeleted();
             }
         }},
        {"GetNextItem",
         [](CRecordList& l) {
             for (POSITION p = l.GetHeadPosition(); p != nullptr;) {
                 (void)l.GetNextItem(p)->GetRecordID();
             }
         }},
        {"const GetNext",
         [](CRecordList& l) {
             for (POSITION p = l.GetHeadPosition(); p != nullptr;) {
                 (void)std::as_const(l).GetNext(p);
             }
         }},
        {"lookups",
         [](CRecordList& l) {
             (void)l.GetRecordByID(3);
             (void)l.GetRecord(kTypeA, CUID_ALL, 1);
         }},
    };
    for (const auto& [name, walk] : walks) {
        SCOPED_TRACE(name);
        Filled f;
        (void)f.list.GetRecordByID(1);  // the record-ID index too
        const ULONGLONG before = Builds(f.list);
        walk(f.list);
        EXPECT_EQ(f.list.GetCount(kTypeA, CUID_ALL), 3);
        (void)f.list.GetRecordByID(2);
        EXPECT_EQ(Builds(f.list), before);
    }

    // A non-const GetNext hands out a slot that may be overwritten: the next lookup walks again.
    Filled f;
    const ULONGLONG before = Builds(f.list);
    POSITION p = f.list.GetHeadPosition();
    CObject*& slot = f.list.GetNext(p);
    EXPECT_EQ(f.list.GetCount(kTypeA, CUID_ALL), 3);
    EXPECT_EQ(Builds(f.list), before + 1);
    (void)slot;
}

TEST(IndexValidity, AChangeToAnItemShowsInTheNextAnswer) {
    const std::vector<std::pair<const char*, std::function<void(std::vector<CRecord*>&)>>> changes =
        {
            {"type", [](auto& r) { r[1]->SetTypeID(kTypeA); }},
            {"category", [](auto& r) { r[0]->SetCategoryID(kCatX); }},
            {"deleted", [](auto& r) { r[2]->SetDeleted(true); }},
            {"record ID", [](auto& r) { r[4]->SetRecordID(40); }},
            {"assigned",
             [](auto& r) {
                 CRecord other;
                 other.SetTypeID(kTypeB);
                 other.SetRecordID(41);
                 *r[0] = static_cast<CBaseItem&>(other);
             }},
        };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        Filled f;
        (void)f.list.GetCount(CUID_ALL, kCatX);
        (void)f.list.GetRecordByID(5);
        change(f.records);
        for (const auto& [type, category] :
             {std::pair{kTypeA, CUID_ALL}, std::pair{CUID_ALL, kCatX},
              std::pair{CUID_ALL, CUID_ALL}}) {
            EXPECT_EQ(f.list.GetCount(type, category), WalkCount(f.list, type, category));
        }
        for (CRecord* r : f.records) {
            EXPECT_EQ(f.list.GetRecordByID(r->GetRecordID()), r);
        }
    }

    // A renamed type is found under its new name and no longer under the old.
    CTypesList types;
    CTypeItem* mail = AddType(types, "Mail");
    AddType(types, "Bank");
    ASSERT_EQ(types.GetTypeByName("Mail"), mail);
    mail->SetName("Post");
    EXPECT_EQ(types.GetTypeByName("Mail"), nullptr);
    EXPECT_EQ(types.GetTypeByName("Post"), mail);
}

TEST(IndexValidity, AValueSetToWhatItHoldsKeepsTheIndexes) {
    // Reading an item back from its own packed form (as a host does to see a new record's texts)
    // sets every indexed value to what it already was.
    const std::vector<std::pair<const char*, std::function<void(CRecord&)>>> sameValues = {
        {"type", [](CRecord& r) { r.SetTypeID(r.GetTypeID()); }},
        {"category", [](CRecord& r) { r.SetCategoryID(r.GetCategoryID()); }},
        {"deleted", [](CRecord& r) { r.SetDeleted(r.IsDeleted()); }},
        {"record ID", [](CRecord& r) { r.SetRecordID(r.GetRecordID()); }},
        {"read back",
         [](CRecord& r) {
             r.PackPalmRecord(true);
             r.PuffPalmRecord(true);
         }},
    };
    for (const auto& [name, change] : sameValues) {
        SCOPED_TRACE(name);
        Filled f;
        f.records[1]->SetCategoryID(kCatX);
        const auto ask = [&f] {
            EXPECT_EQ(f.list.GetCount(CUID_ALL, kCatX), 1);
            EXPECT_EQ(f.list.GetCount(kTypeA, CUID_ALL), 3);
        };
        ask();
        const ULONGLONG before = Builds(f.list);
        for (CRecord* r : f.records) {
            change(*r);
        }
        ask();
        EXPECT_EQ(Builds(f.list), before);
    }

    CTypesList types;
    CTypeItem* mail = AddType(types, "Mail");
    AddType(types, "Bank");
    ASSERT_EQ(types.GetTypeByName("Mail"), mail);
    const ULONGLONG before = Builds(types);
    mail->SetName("Mail");
    mail->SetUniqueID(mail->GetUniqueID());
    mail->PackPalmRecord(true);
    mail->PuffPalmRecord(true);
    EXPECT_EQ(types.GetTypeByName("Mail"), mail);
    EXPECT_EQ(Builds(types), before);
}

TEST(IndexValidity, ItemsAddedAndReadBackOneByOneKeepTheIndexes) {
    CDatabaseObj7 db;
    CStringArray labels;
    const auto add = [&](int i) {
        CStringArray texts;
        texts.Add(i % 2 == 0 ? "Mail" : "Bank");
        texts.Add("user");
        CRecord* record =
            db.AddRecordWithoutWaiting(texts, 0, labels, i % 3 == 0 ? "Work" : "", 255, false);
        CBaseItem* items[] = {record, db.GetTypesList().GetType(record->GetTypeID()),
                              db.GetCategoryList().GetCategory(record->GetCategoryID())};
        for (CBaseItem* item : items) {
            if (item != nullptr) {
                item->PackPalmRecord(true);
                item->PuffPalmRecord(true);
            }
        }
    };
    for (int i = 0; i < 3; ++i) {  // both types and the category made
        add(i);
    }
    const ULONGLONG records = Builds(db.GetRecordList());
    const ULONGLONG types = Builds(db.GetTypesList());
    for (int i = 3; i < 50; ++i) {
        add(i);
    }
    EXPECT_EQ(Builds(db.GetRecordList()), records);
    EXPECT_EQ(Builds(db.GetTypesList()), types);
    EXPECT_EQ(db.GetRecordList().GetCount(CUID_ALL, CUID_ALL), 50);
}

TEST(IndexValidity, LookupsByRecordIDWalkOnceAfterAChange) {
    Filled f;
    f.records[2]->SetRecordID(30);
    const ULONGLONG before = Builds(f.list);
    for (int round = 0; round < 3; ++round) {
        for (CRecord* r : f.records) {
            EXPECT_EQ(f.list.GetRecordByID(r->GetRecordID()), r);
        }
        EXPECT_EQ(f.list.GetRecordByID(3), nullptr);
    }
    EXPECT_EQ(Builds(f.list), before + 1);
}

TEST(IndexValidity, TwoDatabasesDoNotDisturbEachOther) {
    CDatabaseObj7 a;
    CDatabaseObj7 b;
    std::vector<CRecord*> inB;
    for (DWORD i = 1; i <= 4; ++i) {
        AddRecord(a.GetRecordList(), i, kTypeA, CUID());
        inB.push_back(AddRecord(b.GetRecordList(), i, kTypeA, CUID()));
    }
    AddType(a.GetTypesList(), "Mail");
    CTypeItem* typeInB = AddType(b.GetTypesList(), "Mail");
    const auto ask = [](CDatabaseObj7& db) {
        (void)db.GetRecordList().GetCount(kTypeA, CUID_ALL);
        (void)db.GetRecordList().GetRecordByID(1);
        (void)db.GetTypesList().GetTypeByName("Mail");
    };
    ask(a);
    ask(b);
    const ULONGLONG recordBuilds = Builds(a.GetRecordList());
    const ULONGLONG typeBuilds = Builds(a.GetTypesList());

    inB[0]->SetCategoryID(kCatX);
    inB[1]->SetDeleted(true);
    inB[2]->SetRecordID(30);
    typeInB->SetName("Post");
    ask(b);
    ask(a);
    EXPECT_EQ(Builds(a.GetRecordList()), recordBuilds);
    EXPECT_EQ(Builds(a.GetTypesList()), typeBuilds);
    EXPECT_EQ(b.GetRecordList().GetCount(CUID_ALL, kCatX), 1);
    EXPECT_EQ(b.GetRecordList().GetRecordByID(30), inB[2]);
    EXPECT_EQ(b.GetTypesList().GetTypeByName("Post"), typeInB);

    // Records added to one list leave the types list's index alone.
    const ULONGLONG before = Builds(a.GetTypesList());
    AddRecord(a.GetRecordList(), 9, kTypeB, CUID());
    (void)a.GetTypesList().GetTypeByName("Mail");
    EXPECT_EQ(Builds(a.GetTypesList()), before);
}

TEST(IndexValidity, AnItemTakenOutReportsToTheListItJoinsAndMayOutliveItsFirst) {
    CRecordList second;
    CRecord* moved = nullptr;
    {
        Filled first;
        moved = static_cast<CRecord*>(first.list.GetItemByRecordID(2, true));
        second.AddItem(moved);
        EXPECT_EQ(second.GetCount(kTypeB, CUID_ALL), 1);
        EXPECT_EQ(first.list.GetCount(kTypeA, CUID_ALL), 3);  // rebuilt without the record
        const ULONGLONG firstBuilds = Builds(first.list);
        moved->SetTypeID(kTypeA);
        EXPECT_EQ(second.GetCount(kTypeB, CUID_ALL), 0);
        EXPECT_EQ(first.list.GetCount(kTypeA, CUID_ALL), 3);
        EXPECT_EQ(Builds(first.list), firstBuilds);
    }
    // The first list is gone; the item still reports safely to the second.
    moved->SetCategoryID(kCatX);
    EXPECT_EQ(second.GetCount(CUID_ALL, kCatX), 1);

    // Taken out and never added anywhere: changing it touches nothing that is gone.
    CRecord* loose = nullptr;
    {
        Filled gone;
        loose = static_cast<CRecord*>(gone.list.GetItemByRecordID(1, true));
    }
    loose->SetDeleted(true);
    delete loose;
}

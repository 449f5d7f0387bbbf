// Walking lists with Items(): the list's own item class, const walks that leave the list
// untouched, removal of the visited item, and a foreign item refused rather than miscast.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "lkmdb7/lists/ItemRange.h"

using namespace LKMDB7;

namespace {

CRecord* Record(DWORD id) {
    auto* r = new CRecord;
    r->SetRecordID(id);
    return r;
}

}  // namespace

TEST(ItemRange, WalksInOrderAsTheListsClassAndLeavesItUnchanged) {
    CRecordList records;
    for (DWORD id : {3u, 1u, 2u}) {
        records.AddItem(Record(id));
    }
    const ULONGLONG modifications = records.GetModificationCount();

    std::vector<DWORD> ids;
    for (CRecord& record : Items(records)) {
        ids.push_back(record.GetRecordID());
    }
    EXPECT_EQ(ids, (std::vector<DWORD>{3, 1, 2}));

    ids.clear();
    const CObjectList& asBase = records;
    for (const CBaseItem& item : Items(asBase)) {
        ids.push_back(item.GetRecordID());
    }
    EXPECT_EQ(ids, (std::vector<DWORD>{3, 1, 2}));
    static_assert(std::is_same_v<decltype(*Items(std::as_const(records)).begin()), const CRecord&>);
    static_assert(std::is_same_v<decltype(*Items(asBase).begin()), const CBaseItem&>);
    EXPECT_EQ(records.GetModificationCount(), modifications);

    CTypesList empty;
    EXPECT_EQ(Items(empty).begin(), Items(empty).end());
}

TEST(ItemRange, TheVisitedItemMayBeDeleted) {
    CRecordList records;
    for (DWORD id : {1u, 2u, 3u, 4u}) {
        records.AddItem(Record(id));
    }
    std::vector<DWORD> seen;
    for (CRecord& record : Items(records)) {
        seen.push_back(record.GetRecordID());
        if (record.GetRecordID() % 2 == 0) {
            records.DeleteItem(&record);
        }
    }
    EXPECT_EQ(seen, (std::vector<DWORD>{1, 2, 3, 4}));
    ASSERT_EQ(records.GetCount(), 2);
}

TEST(ItemRange, AForeignItemIsRefusedNotMiscast) {
    CRecordList records;
    records.AddItem(Record(1));
    auto* type = new CTypeItem;
    type->SetName("not a record");
    records.AddItem(type);  // AddItem takes any item
    int visited = 0;
    try {
        for (CRecord& record : Items(records)) {
            (void)record;
            ++visited;
        }
        FAIL() << "walked past an item of another class";
    } catch (const CInvalidArgException& e) {
        EXPECT_NE(std::string(e.what()).find("CRecord"), std::string::npos) << e.what();
    }
    EXPECT_EQ(visited, 1);
}

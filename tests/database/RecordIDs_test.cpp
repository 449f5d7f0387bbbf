// Record IDs that adding a record draws: never one that a record in the list carries, however
// the list or its records changed since the last add.
#include <gtest/gtest.h>

#include <set>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/foundation/internal/UidGenerator.h"
#include "lkmdb7/items/Record.h"
#include "tests/support/ItemTesting.h"

using namespace LKMDB7;
using namespace lkmdb7_test;

namespace {

DWORD Add(CDatabaseObj7& db) {
    CStringArray texts;
    texts.Add("Unfiled");
    texts.Add("field");
    CStringArray labels;
    return db.AddRecordWithoutWaiting(texts, 0, labels, "", 0, true)->GetRecordID();
}

CRecord* Existing(DWORD recordID) {
    auto* r = new CRecord;
    r->SetRecordID(recordID);
    return r;
}

}  // namespace

TEST(RecordIDs, AddingSkipsEveryTakenIDAsTheListChanges) {
    ProcessStateGuard guard;
    CDatabaseObj7 db;
    auto& list = db.GetRecordList();
    // The clock gives the first candidate; the next free ID above it is drawn. Records already
    // hold the next 21 seconds, so the test has that long before the clock moves past them.
    const auto base = static_cast<DWORD>(NowSince1904());
    for (DWORD i = 0; i <= 20; ++i) {
        list.AddItem(Existing(base + i));
    }
    EXPECT_EQ(Add(db), base + 21);

    // A record changes its ID: the old one becomes free, the new one taken.
    static_cast<CRecord*>(list.GetHead())->SetRecordID(base + 22);  // was base
    auto* fifth = list.GetRecordByID(base + 5);
    ASSERT_NE(fifth, nullptr);
    fifth->SetRecordID(base + 23);
    const DWORD freed = Add(db);
    EXPECT_TRUE(freed == base || freed == base + 5) << freed - base;

    // Records added behind the database's back, and one taken out.
    list.AddItem(Existing(base + 24));
    delete list.GetItemByRecordID(base + 1, true);
    std::set<DWORD> drawn;
    for (int i = 0; i < 50; ++i) {
        drawn.insert(Add(db));
    }
    EXPECT_EQ(drawn.size(), 50u);

    // Every record ID in the list is its own.
    std::set<DWORD> seen;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        const DWORD id = static_cast<CRecord*>(list.GetNext(pos))->GetRecordID();
        EXPECT_TRUE(seen.insert(id).second) << "record ID " << id << " twice";
    }
    if (NowSince1904() <= base + 1) {  // the clock had not yet moved past the freed ID
        EXPECT_EQ(seen.count(base + 1), 1u) << "a freed ID is drawn again";
    }
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(list.GetCount()));
}

// Item lists: ownership, lookups and their fallbacks, sorted insertion, sync marking, and
// the type conversion of old files.
#include <gtest/gtest.h>

#include "lkmdb7/lists/CategoryList.h"
#include "lkmdb7/lists/RecordList.h"
#include "lkmdb7/lists/TypesList.h"
#include "tests/support/ItemTesting.h"

using namespace LKMDB7;
using namespace lkmdb7_test;

namespace {

CUID Id(BYTE last, BYTE first = 1) {
    const BYTE b[8] = {first, 0, 0, 0, 0, 0, 0, last};
    return CUID::FromBytes(b);
}

CCategoryItem* Category(const char* name, BYTE id, DWORD recordID = 100) {
    auto* c = new CCategoryItem;
    c->SetName(name);
    c->SetUniqueID(Id(id));
    c->SetRecordID(recordID);
    return c;
}

std::vector<std::string> Names(const CObList& list) {
    std::vector<std::string> names;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        names.push_back(static_cast<CBaseItem*>(list.GetNext(pos))->GetName().str());
    }
    return names;
}

}  // namespace

TEST(ObjectList, OwnershipAndRemoval) {
    CCategoryList list;
    CCategoryItem* kept = Category("kept", 1, 7);
    list.AddItem(kept);
    CCategoryItem outsider;
    list.DeleteItem(&outsider);  // not in the list: left alone
    list.DeleteItem(nullptr);
    EXPECT_EQ(list.GetCount(), 1);

    CBaseItem* taken = list.GetItemByRecordID(7, true);
    ASSERT_EQ(taken, kept);
    EXPECT_EQ(list.GetCount(), 0);
    delete taken;  // the caller owns what it took out

    // SetDeleted: a never-synced item (record ID 0, not built in) is destroyed; a synced one stays.
    CCategoryItem* fresh = Category("fresh", 2, 0);
    CCategoryItem* synced = Category("synced", 3, 9);
    synced->setCloudSync(true);
    list.AddItem(fresh);
    list.AddItem(synced);
    list.SetDeleted(fresh, "", 1);
    list.SetDeleted(synced, "", 1);
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_TRUE(synced->IsDeleted());
    EXPECT_TRUE(synced->NeedsSync());
    EXPECT_FALSE(synced->getCloudSync());
    list.PurgeDeleted();
    EXPECT_EQ(list.GetCount(), 0);
}

TEST(ObjectList, LookupsByRecordIDAndPK) {
    CRecordList list;
    auto* zero = new CRecord;
    zero->SetRecordID(0);
    list.AddItem(zero);
    EXPECT_EQ(list.GetRecord(DWORD{0}), nullptr);
    EXPECT_EQ(list.GetItemByRecordID(0, false), zero);
    CUID null;
    EXPECT_EQ(list.GetRecordByPK(null), nullptr);
    CUID pk = zero->GetPKID();
    EXPECT_EQ(list.GetRecordByPK(pk), zero);

    CRecord probe;
    probe.SetRecordID(0);
    list.SetSyncType(kSyncPalm);
    probe.SetPKID(pk);
    EXPECT_EQ(list.MatchItem(&probe), zero);
    for (SyncType t : {kSyncWinCE, kSyncIPhone, kSyncUnknown}) {
        list.SetSyncType(t);
        EXPECT_EQ(list.MatchItem(&probe), nullptr);
    }
}

TEST(UniqueList, SortedInsertionPutsEqualNamesFirst) {
    CCategoryList list;
    CCategoryItem* beta = Category("beta", 1);
    CCategoryItem* upper = Category("Alpha", 2);
    CCategoryItem* lower = Category("alpha", 3);
    list.AddItemSorted(beta);
    list.AddItemSorted(upper);
    list.AddItemSorted(lower);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"alpha", "Alpha", "beta"}));

    auto* unnamed = new CCategoryItem;
    unnamed->SetName("gamma");
    list.AddItemSorted(unnamed);
    EXPECT_FALSE(unnamed->GetUniqueID().IsNull());

    list.AddItem(Category("Aardvark", 9));
    list.SortByName();
    EXPECT_EQ(Names(list).front(), "Aardvark");
}

TEST(UniqueList, TypeAndCategoryLookupsWithFallbacks) {
    CTypesList types;
    auto* web = new CTypeItem;
    web->SetName("Web");
    web->SetUniqueID(Id(1));
    web->SetMaskBits(0x6);
    web->SetIconIndex(0x105);
    web->SetDeleted(true);
    auto* bank = new CTypeItem;
    bank->SetName("Bank");
    bank->SetUniqueID(Id(2));
    types.AddItem(web);
    types.AddItem(bank);

    EXPECT_EQ(types.GetType(Id(1)), web);  // deleted ones are found by identifier
    EXPECT_EQ(types.GetTypeByName("WEB"), nullptr);
    EXPECT_EQ(types.GetTypeByName("bank"), bank);
    EXPECT_EQ(types.GetTypeIDByIndex(0), Id(2));
    EXPECT_TRUE(types.GetTypeIDByIndex(1).IsNull());
    EXPECT_TRUE(types.GetTypeIDByIndex(-1).IsNull());
    EXPECT_EQ(types.GetTypeMask(Id(1)), 0x6);
    EXPECT_EQ(types.GetTypeIcon(Id(1)), 3005u);
    EXPECT_EQ(types.GetTypeIconIndex(Id(1)), 5);

    const CUID none = Id(77);
    struct Label {
        int field;
        const char* text;
    };
    for (const Label& l : {Label{0, "Field 1"}, Label{8, "Field 9"}, Label{9, "Field 10"},
                           Label{12, "Field 10"}, Label{-1, "Field 10"}}) {
        EXPECT_EQ(types.GetLabel(none, l.field), l.text) << l.field;
    }
    EXPECT_EQ(types.GetTypeName(none), "Unfiled");
    EXPECT_EQ(types.GetTypeMask(none), 0);
    EXPECT_EQ(types.GetTypeIcon(none), 3024u);
    EXPECT_EQ(types.GetTypeIconIndex(none), 24);
    EXPECT_EQ(CTypesList::GetIcon(0), 3000u);
    CStringArray labels;
    types.GetTypeLabels(none, labels);
    ASSERT_EQ(labels.GetSize(), 10);
    EXPECT_EQ(labels[0], "Field 1");
    EXPECT_EQ(labels[9], "Field 10");
    types.GetTypeLabels(Id(2), labels);
    EXPECT_EQ(labels[0], "Field 1");

    CCategoryList categories;
    CCategoryItem* gone = Category("Gone", 5);
    gone->SetDeleted(true);
    categories.AddItem(gone);
    categories.AddItem(Category("Home", 6));
    EXPECT_EQ(categories.GetCategoryName(Id(5)), "Gone");
    EXPECT_EQ(categories.GetCategoryName(Id(99)), "Unfiled");
    EXPECT_EQ(categories.GetCategoryIDByIndex(0), Id(6));
    EXPECT_EQ(categories.GetCategoryByName("home")->GetName(), "Home");
}

namespace {

// A category that counts how often a list reads its name and identifier: the work of a lookup.
struct CountedCategory : CCategoryItem {
    using CCategoryItem::operator=;
    static inline std::size_t reads = 0;
    CString GetName() const override {
        ++reads;
        return CCategoryItem::GetName();
    }
    CUID GetUniqueID() const override {
        ++reads;
        return CCategoryItem::GetUniqueID();
    }
};

CUID IdNumber(std::size_t n) {
    BYTE b[8] = {2, 0, 0, 0, 0, 0, 0, 0};
    for (int i = 7; i > 0; --i, n >>= 8) {
        b[i] = static_cast<BYTE>(n & 0xFF);
    }
    return CUID::FromBytes(b);
}

}  // namespace

// Lookups repeated per record cost no walk of the list: one walk builds the index, and each
// lookup after it reads a few items.
TEST(UniqueList, RepeatedLookupsReadEachItemOnce) {
    constexpr std::size_t kItems = 3000;
    CCategoryList list;
    for (std::size_t i = 0; i < kItems; ++i) {
        auto* item = new CountedCategory;
        item->SetName(CString("name " + std::to_string(i)));
        item->SetUniqueID(IdNumber(i));
        list.AddItem(item);
    }
    CountedCategory::reads = 0;
    for (std::size_t i = 0; i < kItems; ++i) {
        const std::size_t n = (i * 7919) % kItems;
        ASSERT_EQ(list.GetCategoryName(IdNumber(n)), CString("name " + std::to_string(n)));
        ASSERT_EQ(list.GetCategoryByName(CString("NAME " + std::to_string(n)))->GetUniqueID(),
                  IdNumber(n));
        ASSERT_EQ(list.GetCategoryIDByIndex(static_cast<int>(n)), IdNumber(n));
    }
    // A walk per lookup would read about 3 * kItems * kItems / 2 times.
    EXPECT_LT(CountedCategory::reads, 10 * kItems);
}

// The index answers as a walk would, whatever changed in between.
TEST(UniqueList, LookupsFollowEveryChange) {
    CCategoryList list;
    CCategoryItem* a = Category("Alpha", 1);
    CCategoryItem* b = Category("Beta", 2);
    list.AddItem(a);
    list.AddItem(b);
    ASSERT_EQ(list.GetCategoryByName("alpha"), a);

    a->SetName("Gamma");
    EXPECT_EQ(list.GetCategoryByName("alpha"), nullptr);
    EXPECT_EQ(list.GetCategoryByName("GAMMA"), a);

    a->SetUniqueID(Id(9));
    EXPECT_EQ(list.GetCategory(Id(1)), nullptr);
    EXPECT_EQ(list.GetCategory(Id(9)), a);

    a->SetDeleted(true);
    EXPECT_EQ(list.GetCategoryByName("gamma"), nullptr);
    EXPECT_EQ(list.GetCategory(Id(9)), a);  // deleted items keep their identifier
    EXPECT_EQ(list.GetCategoryIDByIndex(0), Id(2));

    // Equal names and identifiers: the first in list order.
    CCategoryItem* twin = Category("beta", 2);
    list.AddItem(twin);
    EXPECT_EQ(list.GetCategoryByName("BETA"), b);
    EXPECT_EQ(list.GetCategory(Id(2)), b);
    list.DeleteItem(b);
    EXPECT_EQ(list.GetCategoryByName("BETA"), twin);
    EXPECT_EQ(list.GetCategory(Id(2)), twin);
    EXPECT_EQ(list.GetCategoryIDByIndex(0), Id(2));
    EXPECT_TRUE(list.GetCategoryIDByIndex(1).IsNull());

    // Reading an item's packed record renames it too.
    CCategoryItem source;
    source.SetName("Delta");
    source.SetUniqueID(Id(2));
    source.PackPalmRecord(false);
    Bytes bytes = source.PalmRecord();
    twin->SetPalmRecord(reinterpret_cast<char*>(bytes.data()), static_cast<int>(bytes.size()));
    twin->PuffPalmRecord(false);
    EXPECT_EQ(list.GetCategoryByName("delta"), twin);
    list.Reset();
    EXPECT_EQ(list.GetCategoryByName("delta"), nullptr);
}

TEST(RecordList, ViewsCountAndIndex) {
    CRecordList list;
    const CUID web = Id(1);
    for (int i = 0; i < 5; ++i) {
        auto* r = new CRecord;
        r->SetTypeID(i % 2 == 0 ? web : CUID());
        r->SetRecordID(static_cast<DWORD>(i + 1));
        list.AddItem(r);
    }
    list.GetRecordByID(3)->SetDeleted(true);  // a web record
    EXPECT_EQ(list.GetCount(CUID_ALL, CUID_ALL), 4);
    EXPECT_EQ(list.GetCount(web, CUID_ALL), 2);
    EXPECT_EQ(list.GetCount(CUID(), CUID_ALL), 2);
    EXPECT_EQ(list.GetRecord(web, CUID_ALL, 1)->GetRecordID(), 5u);
    EXPECT_EQ(list.GetRecord(web, CUID_ALL, 2), nullptr);
    EXPECT_EQ(list.GetRecord(web, CUID_ALL, -1), nullptr);
}

TEST(RecordList, UpdateRecordsOnTypeChange) {
    CRecordList list;
    CTypeItem type;
    type.SetUniqueID(Id(1));
    type.SetMaskBits(0x0001);
    type.SetIconIndex(42);
    auto* mine = new CRecord;
    mine->SetTypeID(Id(1));
    mine->SetMaskBits(0x0018);
    mine->SetFieldLabel(0, nullptr, "own");
    mine->SetFieldLabel(1, nullptr, "kept");
    mine->setCloudSync(true);
    mine->setTimeStamp(1);
    auto* deleted = new CRecord;
    deleted->SetTypeID(Id(1));
    deleted->SetDeleted(true);
    deleted->SetNeedsSync(false);
    auto* other = new CRecord;
    list.AddItem(mine);
    list.AddItem(deleted);
    list.AddItem(other);

    list.UpdateRecordsOnTypeChange(type, 0x0001, 0x0009, true);
    EXPECT_EQ(mine->GetMaskBits(), 0x0011);  // bit 0 copied (set), bit 3 copied (clear), bit 4 kept
    EXPECT_EQ(mine->GetLabelOverrides()[0], "");
    EXPECT_EQ(mine->GetLabelOverrides()[1], "kept");
    EXPECT_EQ(mine->GetIconIndex(), 42);
    EXPECT_TRUE(mine->NeedsSync());
    EXPECT_FALSE(mine->getCloudSync());
    EXPECT_GT(mine->getTimeStamp(), 1);
    EXPECT_FALSE(deleted->NeedsSync());
    EXPECT_EQ(other->GetIconIndex(), 24);
}

TEST(RecordList, SetDeletedKeepsRecordsAndIgnoresOthers) {
    CRecordList list;
    auto* record = new CRecord;
    record->SetRecordID(0);
    record->SetAttachedFileName("a.pdf");
    list.AddItem(record);
    list.SetDeleted(record, CString());
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_TRUE(record->IsDeleted());
    EXPECT_EQ(record->HasAttachment(), 1);  // no path: the attachment stays
    CCategoryItem notARecord;
    list.SetDeleted(&notARecord, CString("x"));
    EXPECT_FALSE(notARecord.IsDeleted());
}

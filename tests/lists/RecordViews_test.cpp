// Views and record IDs of the record list are answered from indexes; every kind of change to the
// list or to a record must show in the next answer exactly as a fresh walk of the list gives it.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "lkmdb7/lists/RecordList.h"

using namespace LKMDB7;

namespace {

CUID Id(BYTE last) {
    const BYTE b[8] = {1, 0, 0, 0, 0, 0, 0, last};
    return CUID::FromBytes(b);
}

const CUID kTypeA = Id(1);
const CUID kTypeB = Id(2);
const CUID kCatX = Id(10);

CRecord* Record(DWORD recordID, const CUID& type, const CUID& category) {
    auto* r = new CRecord;
    r->SetRecordID(recordID);
    r->SetTypeID(type);
    r->SetCategoryID(category);
    return r;
}

// The rule, straight from a walk.
std::vector<CRecord*> Walk(const CObList& list, const CUID& type, const CUID& category) {
    std::vector<CRecord*> out;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        auto* r = static_cast<CRecord*>(list.GetNext(pos));
        if (r->IsInView(type, category)) {
            out.push_back(r);
        }
    }
    return out;
}

CRecord* WalkByID(const CObList& list, DWORD id) {
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        auto* r = static_cast<CRecord*>(list.GetNext(pos));
        if (r->GetRecordID() == id) {
            return r;
        }
    }
    return nullptr;
}

const std::pair<CUID, CUID> kViews[] = {{CUID_ALL, CUID_ALL},
                                        {kTypeA, CUID_ALL},
                                        {kTypeB, kCatX},
                                        {CUID(), CUID_ALL},
                                        {CUID_ALL, kCatX}};

// Asks every view through the list (so that its indexes are built) and checks the answers.
void ExpectMatchesWalk(CRecordList& list, const char* step) {
    SCOPED_TRACE(step);
    for (const auto& [type, category] : kViews) {
        const auto expected = Walk(list, type, category);
        ASSERT_EQ(list.GetCount(type, category), static_cast<int>(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            ASSERT_EQ(list.GetRecord(type, category, static_cast<int>(i)), expected[i]) << i;
        }
        EXPECT_EQ(list.GetRecord(type, category, static_cast<int>(expected.size())), nullptr);
        EXPECT_EQ(list.GetRecord(type, category, -1), nullptr);
    }
    for (DWORD id = 0; id < 12; ++id) {
        EXPECT_EQ(list.GetRecordByID(id), WalkByID(list, id)) << "record ID " << id;
    }
}

}  // namespace

TEST(RecordViews, EveryChangeShowsInTheNextAnswer) {
    CRecordList list;
    for (DWORD i = 1; i <= 6; ++i) {
        list.AddItem(Record(i, i % 2 != 0 ? kTypeA : kTypeB, i % 3 == 0 ? kCatX : CUID()));
    }
    auto nth = [&](int n) {
        POSITION pos = list.GetHeadPosition();
        for (; n > 0; --n) {
            list.GetNext(pos);
        }
        return pos;
    };
    auto recordAt = [&](int n) { return static_cast<CRecord*>(list.GetAt(nth(n))); };
    CRecord spare;  // an item outside the list, as a source of assignment
    spare.SetRecordID(11);
    spare.SetTypeID(kTypeB);
    spare.SetDeleted(false);

    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"append", [&] { list.AddItem(Record(7, kTypeB, kCatX)); }},
        {"add at head", [&] { list.AddHead(Record(8, kTypeA, CUID())); }},
        {"insert in the middle", [&] { list.InsertBefore(nth(3), Record(9, kTypeB, kCatX)); }},
        {"remove",
         [&] {
             const POSITION at = nth(2);
             delete list.GetAt(at);
             list.RemoveAt(at);
         }},
        {"replace with SetAt",
         [&] {
             const POSITION at = nth(1);
             delete list.GetAt(at);
             list.SetAt(at, Record(10, kTypeA, kCatX));
         }},
        {"write through GetNext's reference",
         [&] {
             POSITION pos = nth(0);
             CObject*& slot = list.GetNext(pos);
             delete slot;
             slot = Record(5, kTypeB, kCatX);
         }},
        {"type changed", [&] { recordAt(2)->SetTypeID(kTypeB); }},
        {"category changed", [&] { recordAt(3)->SetCategoryID(kCatX); }},
        {"deleted", [&] { recordAt(4)->SetDeleted(true); }},
        {"undeleted", [&] { recordAt(4)->SetDeleted(false); }},
        {"record ID changed", [&] { recordAt(0)->SetRecordID(3); }},
        {"assigned from another record", [&] { *recordAt(1) = static_cast<CBaseItem&>(spare); }},
        {"read from a packed record",
         [&] {
             CRecord source;
             source.SetTypeID(kTypeA);
             source.SetCategoryID(CUID());
             source.PackPalmRecord(false);
             std::vector<char> bytes(source.PalmRecord().begin(), source.PalmRecord().end());
             recordAt(2)->SetPalmRecord(bytes.data(), static_cast<int>(bytes.size()));
             recordAt(2)->PuffPalmRecord(false);
         }},
        {"deleted through the list", [&] { list.SetDeleted(recordAt(3), CString()); }},
        {"purged", [&] { list.PurgeDeleted(); }},
        {"taken out by record ID", [&] { delete list.GetItemByRecordID(3, true); }},
        {"emptied", [&] { list.Reset(); }},
        {"refilled", [&] { list.AddItem(Record(1, kTypeA, kCatX)); }},
    };
    ExpectMatchesWalk(list, "start");
    for (const auto& [step, change] : changes) {
        change();
        ExpectMatchesWalk(list, step);
    }
}

TEST(RecordViews, ManyViewsAtOnceStayApart) {
    CRecordList list;
    for (BYTE i = 0; i < 40; ++i) {
        list.AddItem(Record(i, Id(static_cast<BYTE>(i % 7)), Id(static_cast<BYTE>(20 + i % 5))));
    }
    // More views than the list indexes at once, asked in turns.
    for (int round = 0; round < 3; ++round) {
        for (BYTE t = 0; t < 7; ++t) {
            const auto expected = Walk(list, Id(t), CUID_ALL);
            ASSERT_EQ(list.GetCount(Id(t), CUID_ALL), static_cast<int>(expected.size()));
            ASSERT_EQ(list.GetRecord(Id(t), CUID_ALL, 0), expected.front());
            ASSERT_EQ(list.GetRecord(Id(t), CUID_ALL, static_cast<int>(expected.size()) - 1),
                      expected.back());
        }
    }
}

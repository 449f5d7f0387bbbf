#include "lkmdb7/platform/CObList.h"

#include <gtest/gtest.h>

#include <vector>

#include "lkmdb7/platform/Exceptions.h"

using namespace LKMDB7;

namespace {

class Item : public CObject {
  public:
    explicit Item(int v) : value(v) {}
    int value;
};

std::vector<int> Values(const CObList& list) {
    std::vector<int> out;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        out.push_back(static_cast<const Item*>(list.GetNext(pos))->value);
    }
    return out;
}

std::vector<int> ValuesBackwards(const CObList& list) {
    std::vector<int> out;
    for (POSITION pos = list.GetTailPosition(); pos != nullptr;) {
        out.push_back(static_cast<const Item*>(list.GetPrev(pos))->value);
    }
    return out;
}

}  // namespace

TEST(CObList, InsertRemoveAndWalkBothWays) {
    Item i1(1), i2(2), i3(3), i4(4), i5(5);
    CObList list;
    EXPECT_TRUE(list.IsEmpty());
    const POSITION p2 = list.AddTail(&i2);
    list.AddHead(&i1);
    const POSITION p4 = list.AddTail(&i4);
    list.InsertBefore(p4, &i3);
    list.InsertAfter(p4, &i5);
    EXPECT_EQ(Values(list), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(ValuesBackwards(list), (std::vector<int>{5, 4, 3, 2, 1}));
    EXPECT_EQ(list.GetCount(), 5);

    EXPECT_EQ(list.Find(&i4), p4);
    EXPECT_EQ(list.Find(&i2, p4), nullptr);  // searches only after the start
    list.RemoveAt(p2);
    list.SetAt(p4, &i2);
    EXPECT_EQ(Values(list), (std::vector<int>{1, 3, 2, 5}));
    EXPECT_EQ(list.RemoveHead(), &i1);
    EXPECT_EQ(list.RemoveTail(), &i5);
    EXPECT_EQ(Values(list), (std::vector<int>{3, 2}));
    EXPECT_EQ(ValuesBackwards(list), (std::vector<int>{2, 3}));
    list.InsertBefore(nullptr, &i1);  // null: at the head
    list.InsertAfter(nullptr, &i5);   // null: at the tail
    EXPECT_EQ(Values(list), (std::vector<int>{1, 3, 2, 5}));
    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.GetHeadPosition(), nullptr);
    EXPECT_EQ(list.GetTailPosition(), nullptr);
}

TEST(CObList, RemovingWhileWalkingWithTheNextPositionTaken) {
    std::vector<Item> items;
    for (int i = 0; i < 6; ++i) {
        items.emplace_back(i);
    }
    CObList list;
    for (Item& item : items) {
        list.AddTail(&item);
    }
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        const POSITION current = pos;
        if (static_cast<Item*>(list.GetNext(pos))->value % 2 == 0) {
            list.RemoveAt(current);
        }
    }
    EXPECT_EQ(Values(list), (std::vector<int>{1, 3, 5}));
    EXPECT_EQ(ValuesBackwards(list), (std::vector<int>{5, 3, 1}));
}

TEST(CObList, BadPositionsAreRefused) {
    Item a(1);
    CObList list;
    CObList other;
    const POSITION foreign = other.AddTail(&a);
    POSITION none = nullptr;
    EXPECT_THROW(list.GetNext(none), CInvalidArgException);
    EXPECT_THROW(list.RemoveAt(foreign), CInvalidArgException);
    EXPECT_THROW(list.InsertBefore(foreign, &a), CInvalidArgException);
    EXPECT_THROW(list.GetHead(), CInvalidArgException);
    EXPECT_THROW(list.RemoveTail(), CInvalidArgException);
    EXPECT_EQ(other.GetCount(), 1);
}

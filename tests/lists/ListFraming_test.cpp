// The framing of the three lists in one archive: counts, class tags with shared indices, the
// conversion of version-4 types, and hostile framings.
#include <gtest/gtest.h>

#include <string>

#include "lkmdb7/lists/CategoryList.h"
#include "lkmdb7/lists/RecordList.h"
#include "lkmdb7/lists/TypesList.h"
#include "lkmdb7/platform/Exceptions.h"
#include "lkmdb7/platform/internal/ByteOrder.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_test;

namespace {

class ListFraming : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
};

struct ThreeLists {
    CRecordList records;
    CTypesList types;
    CCategoryList categories;

    Bytes Store(WORD version) {
        CMemFile file;
        CArchive ar(&file, CArchive::store);
        records.Serialize(ar, version);
        types.Serialize(ar, version);
        categories.Serialize(ar, version);
        ar.Close();
        return file.Data();
    }
    void Load(const Bytes& bytes, WORD version) {
        CMemFile file(bytes);
        CArchive ar(&file, CArchive::load);
        records.Serialize(ar, version);
        types.Serialize(ar, version);
        categories.Serialize(ar, version);
    }
};

// Offset just past the item body that starts at `at` (its u32 length, record, 44 more bytes).
std::size_t SkipBody(const Bytes& b, std::size_t at) {
    return at + 48 + GetLE32(b.data() + at);
}

}  // namespace

TEST_F(ListFraming, TwoRecordsOneTypeOneCategory) {
    ThreeLists lists;
    lists.records.AddItem(new CRecord);
    lists.records.AddItem(new CRecord);
    auto* type = new CTypeItem;
    type->SetName("Web");
    lists.types.AddItem(type);
    auto* category = new CCategoryItem;
    category->SetName("Home");
    lists.categories.AddItem(category);
    const Bytes b = lists.Store(9);

    std::size_t at = 0;
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 15),
              Cat({{0x02, 0x00, 0xFF, 0xFF, 0x09, 0x00, 0x07, 0x00}, Ascii("CRecord")}));
    at = SkipBody(b, 15);
    EXPECT_EQ(Bytes(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 2),
              Bytes({0x01, 0x80}));
    at = SkipBody(b, at + 2);
    EXPECT_EQ(Bytes(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 17),
              Cat({{0x01, 0x00, 0xFF, 0xFF, 0x09, 0x00, 0x09, 0x00}, Ascii("CTypeItem")}));
    at = SkipBody(b, at + 17) + 96;
    EXPECT_EQ(Bytes(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at) + 21),
              Cat({{0x01, 0x00, 0xFF, 0xFF, 0x09, 0x00, 0x0D, 0x00}, Ascii("CCategoryItem")}));
    EXPECT_EQ(SkipBody(b, at + 21), b.size());

    ThreeLists back;
    back.Load(b, 9);
    EXPECT_EQ(back.records.GetCount(), 2);
    EXPECT_EQ(back.types.GetTypeByName("web"), back.types.GetType(type->GetUniqueID()));
    EXPECT_EQ(back.categories.GetCategoryName(category->GetUniqueID()), "Home");
}

TEST_F(ListFraming, LargeListUsesTheLongCount) {
    CCategoryList list;
    for (int i = 0; i < 0xFFFF; ++i) {
        list.AddItem(new CCategoryItem);
    }
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    list.Serialize(ar, 9);
    ar.Close();
    const Bytes& b = file.Data();
    EXPECT_EQ(Bytes(b.begin(), b.begin() + 6), Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
    CCategoryList back;
    CMemFile in(b);
    CArchive load(&in, CArchive::load);
    back.Serialize(load, 9);
    EXPECT_EQ(back.GetCount(), 0xFFFF);
}

TEST_F(ListFraming, VersionFourTypesAreConvertedAndCategoriesAbsent) {
    // Types stored as plain categories; one of them has a null identifier.
    CTypesList stored;
    auto* keep = new CCategory;
    keep->SetName("Card");
    const BYTE id[8] = {9, 9, 9, 9, 9, 9, 9, 9};
    keep->SetUniqueID(CUID::FromBytes(id));
    stored.AddItem(keep);
    stored.AddItem(new CCategory);
    // A CCategory cannot pack itself; write its body by hand: old form, schema 4.
    ProcessStateGuard::SetLayoutVersion(4);
    auto oldBody = [](const Bytes& id2, const std::string& name) {
        const Bytes rec =
            Cat({id2, {0x05, 0x00, 0x00, 0x00}, Z(name), Z(""), Z(""), Z(""), Z(""), Z(""), Z("")});
        Bytes len(4);
        PutLE32(len.data(), static_cast<DWORD>(rec.size()));
        return Cat({len, rec, Bytes(4, 0), {0, 0, 0, 0}, Bytes(2, 0), Bytes(8, 0)});
    };
    const Bytes framing = Cat({{0x02, 0x00, 0xFF, 0xFF, 0x04, 0x00, 0x09, 0x00},
                               Ascii("CCategory"),
                               oldBody({0x00, 0x07}, "Card"),
                               {0x01, 0x80},
                               oldBody({0x00, 0x00}, "Ghost")});
    CTypesList types;
    CMemFile file(framing);
    CArchive ar(&file, CArchive::load);
    types.Serialize(ar, 4);
    ASSERT_EQ(types.GetCount(), 1);
    auto* converted = dynamic_cast<CTypeItem*>(types.GetItemByRecordID(0, false));
    ASSERT_NE(converted, nullptr);
    EXPECT_EQ(converted->GetName(), "Card");

    CCategoryList categories;
    categories.AddItem(new CCategoryItem);
    categories.Serialize(ar, 4);  // reads nothing, keeps what it had
    EXPECT_EQ(categories.GetCount(), 1);
}

TEST_F(ListFraming, HostileFramingsAreRefused) {
    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"unknown class", Cat({{0x01, 0x00, 0xFF, 0xFF, 0x09, 0x00, 0x05, 0x00}, Ascii("CEvil")})},
        {"class name of 64 bytes",
         Cat({{0x01, 0x00, 0xFF, 0xFF, 0x09, 0x00, 0x40, 0x00}, Bytes(64, 'C')})},
        {"class index never read", {0x01, 0x00, 0x05, 0x80}},
        {"class index 0", {0x01, 0x00, 0x00, 0x80}},
        {"null object", {0x01, 0x00, 0x00, 0x00}},
        {"object reference", {0x01, 0x00, 0x01, 0x00}},
        {"a type in the record list",
         Cat({{0x01, 0x00, 0xFF, 0xFF, 0x09, 0x00, 0x09, 0x00}, Ascii("CTypeItem")})},
        {"count beyond the data", {0x05, 0x00}},
    };
    for (const Case& c : cases) {
        CRecordList list;
        CMemFile file(c.bytes);
        CArchive ar(&file, CArchive::load);
        try {
            list.Serialize(ar, 9);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const CArchiveException& e) {
            EXPECT_GT(std::string(e.what()).size(), 10u) << c.what;
        }
        EXPECT_EQ(list.GetCount(), 0) << c.what;
    }
}

TEST_F(ListFraming, ItemsReadBeforeAFaultStay) {
    CRecordList list;
    list.AddItem(new CRecord);
    list.AddItem(new CRecord);
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    list.Serialize(ar, 9);
    ar.Close();
    Bytes cut = file.Data();
    cut.resize(cut.size() - 3);
    CRecordList back;
    CMemFile in(cut);
    CArchive load(&in, CArchive::load);
    EXPECT_THROW(back.Serialize(load, 9), CArchiveException);
    EXPECT_EQ(back.GetCount(), 1);
}

TEST_F(ListFraming, LegacyFormIsCribThenRecords) {
    CRecordList list;
    list.AddItem(new CRecord);
    BYTE crib[40];
    for (int i = 0; i < 40; ++i)
        crib[i] = static_cast<BYTE>(i);
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    list.LegacySerialize(ar, crib);
    ar.Close();
    EXPECT_EQ(Bytes(file.Data().begin(), file.Data().begin() + 40), Bytes(crib, crib + 40));
    CRecordList back;
    BYTE readCrib[40] = {};
    CMemFile in(file.Data());
    CArchive load(&in, CArchive::load);
    back.LegacySerialize(load, readCrib);
    EXPECT_EQ(Bytes(readCrib, readCrib + 40), Bytes(crib, crib + 40));
    EXPECT_EQ(back.GetCount(), 1);
}

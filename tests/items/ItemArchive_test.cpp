// Item bodies in the database archive: the schema-9 body written, older schemas read, flags as
// stored, the type's column block, and bodies cut short.
#include <gtest/gtest.h>

#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/platform/Exceptions.h"
#include "lkmdb7/platform/internal/ByteOrder.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_test;

namespace {

class ItemArchive : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
};

// A current-form category record "Bank" with identifier bytes 1..8.
Bytes BankRecord() {
    Bytes r = Cat({{0xBE, 0xEF, 1, 2, 3, 4, 5, 6, 7, 8}, Bytes(12, 0), Z("Bank"), Bytes(7, 0x55)});
    return r;
}

}  // namespace

TEST_F(ItemArchive, SchemaNineBodyIsFortyEightBytesPlusTheRecord) {
    CCategoryItem item;
    item.SetName("Bank");
    item.SetRecordID(0x01020304);
    item.setTimeStamp(0x11223344);
    item.SetDeleted(true);
    item.SetLocalOnly(true);
    const Bytes body = StoreBody(item);
    const std::size_t n = item.PalmRecord().size();
    ASSERT_EQ(body.size(), 48 + n);
    EXPECT_EQ(GetLE32(body.data()), n);
    const BYTE* after = body.data() + 4 + n;
    EXPECT_EQ(GetLE32(after), 0x01020304u);
    EXPECT_EQ(GetLE32(after + 12), 0x11223344u);
    EXPECT_EQ(Bytes(after + 16, after + 22),
              Cat({U16(1), U16(1), U16(0)}));                 // needs-sync, deleted, cloud
    EXPECT_EQ(Bytes(after + 30, after + 32), Bytes({0, 0}));  // two empty strings
    EXPECT_EQ(GetLE16(after + 42), kLocalOnlyFlag);

    CCategoryItem back;
    LoadBody(back, body);
    EXPECT_EQ(back.GetName(), "Bank");
    EXPECT_EQ(back.GetRecordID(), 0x01020304u);
    EXPECT_TRUE(back.IsDeleted());
    EXPECT_TRUE(back.IsLocalOnly());
    EXPECT_EQ(back.GetCRC(), GetBE16(item.PalmRecord().data()));
}

// The extra strings are empty in nearly every body and kept out of line; those that are not
// must come back out as they went in.
TEST_F(ItemArchive, ExtraStringsSurviveALoadAndAStore) {
    const Bytes extras = {3, 'o', 'n', 'e', 3, 't', 'w', 'o'};
    const Bytes body = Cat({U32(34), BankRecord(), U32(7), Bytes(8, 9), U32(0), U16(0), U16(0),
                            U16(0), U32(0), U32(0), extras, U32(1), U16(2), U32(3), U16(0)});
    CCategoryItem item;
    LoadBody(item, body);
    const Bytes stored = StoreBody(item);
    const Bytes tail = Cat({extras, U32(1), U16(2), U32(3), U16(0)});
    ASSERT_GE(stored.size(), tail.size());
    EXPECT_EQ(Bytes(stored.end() - static_cast<std::ptrdiff_t>(tail.size()), stored.end()), tail);
}

TEST_F(ItemArchive, FlagsReadAsStoredValues) {
    // needs-sync 2 and deleted 2 read as true; cloud-sync 2 reads as false.
    const Bytes body = Cat({U32(34),
                            BankRecord(),
                            U32(7),
                            Bytes(8, 9),
                            U32(0),
                            U16(2),
                            U16(2),
                            U16(2),
                            U32(5),
                            U32(6),
                            {0, 0},
                            U32(0),
                            U16(0),
                            U32(0),
                            U16(0)});
    CCategoryItem item;
    LoadBody(item, body);
    EXPECT_TRUE(item.NeedsSync());
    EXPECT_TRUE(item.IsDeleted());
    EXPECT_FALSE(item.getCloudSync());
    EXPECT_EQ(item.IsAttachmentDeleted(), 6);
    // A category keeps the identifier of its packed record, not the body's PK identifier.
    const BYTE id[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(item.GetUniqueID(), CUID::FromBytes(id));
    EXPECT_EQ(item.GetCRC(), 0xBEEF);
}

TEST_F(ItemArchive, OlderSchemas) {
    // Schema 5: no PK identifier, no time stamp, nothing after the attachment values.
    ProcessStateGuard::SetLayoutVersion(5);
    CCategoryItem five;
    const LONG stampBefore = five.getTimeStamp();
    LoadBody(five, Cat({U32(34), BankRecord(), U32(7), U16(1), U16(0), U16(1), U32(1), U32(0)}));
    EXPECT_EQ(five.GetName(), "Bank");
    EXPECT_TRUE(five.getCloudSync());
    EXPECT_GE(five.getTimeStamp(), stampBefore);

    // Schema 2: the first old form, one more word after the deleted flag, then re-packed.
    ProcessStateGuard::SetLayoutVersion(2);
    CCategoryItem two;
    const Bytes old =
        Cat({{0x00, 0x2A, 0x07, 0x00}, Z("Old"), Z(""), Z(""), Z(""), Z(""), Z(""), Z("")});
    LoadBody(two, Cat({U32(static_cast<DWORD>(old.size())), old, U32(7), U16(0), U16(0),
                       U16(0xABCD), U16(0), U32(0), U32(0)}));
    EXPECT_EQ(two.GetName(), "Old");
    ASSERT_EQ(two.PalmRecord().size(), 30u + 3u);
    EXPECT_EQ(two.GetCRC(), GetBE16(two.PalmRecord().data()));

    // Schema 4: the second old form; the CRC field is bytes 0-1, not the record's CRC word.
    ProcessStateGuard::SetLayoutVersion(4);
    CCategoryItem four;
    const Bytes v2 = Cat(
        {{0x12, 0x34, 0x07, 0x00, 0xAB, 0xCD}, Z("V2"), Z(""), Z(""), Z(""), Z(""), Z(""), Z("")});
    LoadBody(four, Cat({U32(static_cast<DWORD>(v2.size())), v2, U32(7), U16(0), U16(0), U16(0),
                        U32(0), U32(0)}));
    EXPECT_EQ(four.GetName(), "V2");
    EXPECT_EQ(four.GetCRC(), 0x1234);
}

TEST_F(ItemArchive, TypeBodyEndsWithTheColumnBlock) {
    CTypeItem type;
    type.SetName("Web");
    const Bytes body = StoreBody(type);
    const std::size_t n = type.PalmRecord().size();
    ASSERT_EQ(body.size(), 48 + n + 96);
    const BYTE* block = body.data() + 48 + n;
    EXPECT_EQ(Bytes(block, block + 16),
              Bytes({0x0F, 0, 0, 0, 0, 0, 0x1B, 0, 1, 1, 1, 0, 0x8C, 0, 1, 0}));

    Bytes changed = body;
    changed[48 + n + 4 + 2] = 99;
    CTypeItem read9;
    LoadBody(read9, changed);
    EXPECT_EQ(read9.GetColumnInfo().GetEntry(0).secondWord, 99);

    // Below version 6 the block is consumed and replaced by the defaults. A schema-5 body has
    // no PK identifier and time stamp (12 bytes after the record ID) and no extra fields (14
    // bytes before the block).
    Bytes five(changed.begin(), changed.begin() + static_cast<std::ptrdiff_t>(8 + n));
    five.insert(five.end(), changed.begin() + static_cast<std::ptrdiff_t>(20 + n),
                changed.begin() + static_cast<std::ptrdiff_t>(34 + n));
    five.insert(five.end(), changed.begin() + static_cast<std::ptrdiff_t>(48 + n), changed.end());
    ProcessStateGuard::SetLayoutVersion(5);
    CTypeItem read5;
    LoadBody(read5, five);
    EXPECT_EQ(read5.GetName(), "Web");
    EXPECT_EQ(read5.GetColumnInfo(), CShowColumns());
}

TEST_F(ItemArchive, RecordTakesItsPKIdentifierFromTheBody) {
    CRecord record;
    const Bytes body = StoreBody(record);
    CRecord back;
    LoadBody(back, body);
    EXPECT_EQ(back.GetPKID(), record.GetPKID());
}

TEST_F(ItemArchive, BodyCutShortNamesTheFieldThatWasCut) {
    CCategoryItem item;
    item.SetName("Bank");
    const Bytes body = StoreBody(item);
    for (std::size_t cut = 0; cut < body.size(); ++cut) {
        CCategoryItem back;
        try {
            LoadBody(back, Bytes(body.begin(), body.begin() + static_cast<std::ptrdiff_t>(cut)));
            ADD_FAILURE() << "no exception at " << cut;
        } catch (const CArchiveException& e) {
            EXPECT_EQ(e.m_cause, CArchiveException::endOfFile) << cut;
        }
    }
    try {
        LoadBody(item, Bytes(body.begin(), body.begin() + 4 + 34 + 2));
    } catch (const CArchiveException& e) {
        EXPECT_NE(std::string(e.what()).find("record ID"), std::string::npos) << e.what();
    }
}

#include "lkmdb7/database/Crib.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/foundation/internal/Bcrypt.h"
#include "lkmdb7/foundation/internal/Crc16.h"
#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/items/TypeItem.h"
#include "lkmdb7/platform/Exceptions.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_test;

namespace {

using Crib = std::array<unsigned char, kCribSize>;

std::string Hex(const Crib& crib) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned char b : crib) {
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

Crib CribOf(const char* password, const char* bcryptText) {
    const auto parts = ParseBcryptText(bcryptText);
    Crib crib{};
    MakeCribWithSalt(password, parts->salt, parts->cost, crib.data());
    return crib;
}

// Tag, layout, cost, then the salt and the first 18 hash bytes of python3-bcrypt's value for
// the same password and salt.
TEST(Crib, LaysOutTheBcryptHashOfReferenceValues) {
    EXPECT_EQ(Hex(CribOf("correct horse battery staple",
                         "$2b$10$abcdefghijklmnopqrstuuGGgFFcYeueaAql8Z7U7CnCTRw4DR77W")),
              "4c4b3743010a71d79f8218a39259a7a29aabb2dbafc32088871de6a0c20702b27f9bf56f44a44553");
    EXPECT_EQ(Hex(CribOf("p\xE4ssw\xF6rd \x80",
                         "$2b$04$ABCDEFGHIJKLMNOPQRSTUuUct.MCVwu6gakpe1V98A6o5dsXS/rg6")),
              "4c4b3743010408310518720928b30d38f4114935155b59ebc03845f2c3c89c9ab8375fff82f2aedf");
}

TEST(Crib, MatchesOnlyItsOwnPassword) {
    Crib crib{};
    MakeCrib("s3cret", crib.data(), 4);
    EXPECT_EQ(GetCribKind(crib.data()), CribKind::kOurs);
    EXPECT_TRUE(CDatabaseObj7::HasPassword(crib.data()));
    EXPECT_TRUE(CribMatches(crib.data(), "s3cret"));
    for (const char* other :
         {"S3cret", "s3cre", "s3cret ", "", static_cast<const char*>(nullptr)}) {
        EXPECT_FALSE(CribMatches(crib.data(), other)) << (other ? other : "(null)");
    }
    // A fresh salt each time, so two databases of one password have different cribs.
    Crib again{};
    MakeCrib("s3cret", again.data(), 4);
    EXPECT_NE(crib, again);
    EXPECT_TRUE(CribMatches(again.data(), "s3cret"));
    // Any change to the stored hash or salt breaks the match.
    for (std::size_t at : {kCribSaltOffset, kCribHashOffset, kCribSize - 1}) {
        Crib damaged = crib;
        damaged[at] ^= 0x01;
        EXPECT_FALSE(CribMatches(damaged.data(), "s3cret")) << "byte " << at;
    }
}

TEST(Crib, TellsNoneOursAndForeignApart) {
    Crib ours{};
    MakeCrib("pw", ours.data(), 4);
    struct Case {
        const char* what;
        std::size_t at;
        unsigned char value;
        CribKind kind;
    };
    const Case cases[] = {
        {"as made", 0, ours[0], CribKind::kOurs},
        {"another tag", 3, 'D', CribKind::kForeign},
        {"another layout", 4, 0x02, CribKind::kForeign},
        {"cost below bcrypt's least", 5, 3, CribKind::kForeign},
        {"cost above the most we check", 5, kCribMaxCost + 1, CribKind::kForeign},
        {"the most we check", 5, kCribMaxCost, CribKind::kOurs},
    };
    for (const Case& c : cases) {
        Crib crib = ours;
        crib[c.at] = c.value;
        EXPECT_EQ(GetCribKind(crib.data()), c.kind) << c.what;
    }
    Crib zero{};
    EXPECT_EQ(GetCribKind(zero.data()), CribKind::kNone);
    EXPECT_FALSE(CribMatches(zero.data(), "pw"));
    Crib foreign{};
    foreign[39] = 1;
    EXPECT_EQ(GetCribKind(foreign.data()), CribKind::kForeign);
    EXPECT_FALSE(CribMatches(foreign.data(), "pw"));
}

TEST(Crib, RefusesAnEmptyPasswordAndCostsOutOfRange) {
    Crib crib{};
    EXPECT_THROW(MakeCrib("", crib.data()), CInvalidArgException);
    EXPECT_THROW(MakeCrib(nullptr, crib.data()), CInvalidArgException);
    EXPECT_THROW(MakeCrib("pw", crib.data(), 3), CInvalidArgException);
    EXPECT_THROW(MakeCrib("pw", crib.data(), kCribMaxCost + 1), CInvalidArgException);
    EXPECT_EQ(crib, Crib{});
}

// A record, a type and a category saved under `password` (none when null); returns the path.
std::string SaveDatabase(const TempDir& dir, const char* password) {
    SetRecordCipherPassword(password);
    CDatabaseObj7 db;
    const std::string path = dir.File("LockmeraDatabase.lkb");
    EXPECT_EQ(db.Load(CString(path)), 0);
    auto* record = new CRecord;
    record->SetRecordID(1);
    record->SetField(0, "alice");
    record->SetField(1, "a secret long enough to fill several cipher blocks");
    record->SetNote("note");
    db.GetRecordList().AddItem(record);
    auto* type = new CTypeItem;
    type->SetRecordID(2);
    type->SetName("Web");
    db.GetTypesList().AddItem(type);
    auto* category = new CCategoryItem;
    category->SetRecordID(3);
    category->SetName("Home");
    db.GetCategoryList().AddItem(category);
    EXPECT_EQ(db.Save(true), 0);
    return path;
}

// Whether every packed record read by the last load passes its CRC-16.
bool ChecksumsHold(CDatabaseObj7& db) {
    for (DWORD id = 1; id <= 3; ++id) {
        const CBaseItem* item = db.GetItemByRecordID(-1, id);
        if (item == nullptr) {
            return false;
        }
        std::vector<BYTE> bytes(item->PalmRecord().begin(),
                                item->PalmRecord().end() - kPackedTailSize);
        const WORD stored = static_cast<WORD>((bytes[0] << 8) | bytes[1]);
        bytes[0] = bytes[1] = 0;
        if (Crc16(bytes.data(), static_cast<WORD>(bytes.size()), kPackedCrcInitial) != stored) {
            return false;
        }
    }
    return true;
}

bool HoldsContent(CDatabaseObj7& db) {
    const auto* record = dynamic_cast<const CRecord*>(db.GetItemByRecordID(0, 1));
    const CBaseItem* type = db.GetItemByRecordID(1, 2);
    const CBaseItem* category = db.GetItemByRecordID(2, 3);
    return record != nullptr && record->GetField(0, false) == "alice" &&
           record->GetField(1, false) == "a secret long enough to fill several cipher blocks" &&
           record->GetNote() == "note" && type != nullptr && type->GetName() == "Web" &&
           category != nullptr && category->GetName() == "Home";
}

// Loads path under password and reports whether all reads right.
bool ReadsUnder(const std::string& path, const char* password, Crib* crib = nullptr) {
    SetRecordCipherPassword(password);
    CDatabaseObj7 db;
    EXPECT_EQ(db.Load(CString(path)), 0);
    if (crib != nullptr) {
        db.GetCrib(crib->data());
    }
    return ChecksumsHold(db) && HoldsContent(db);
}

}  // namespace

TEST(ChangePassword, AddsChangesAndRemovesThePasswordKeepingEveryItem) {
    ProcessStateGuard guard;
    TempDir dir;
    const std::string path = SaveDatabase(dir, nullptr);
    struct Step {
        const char* from;
        const char* to;
    };
    for (const Step& step :
         {Step{nullptr, "first"}, Step{"first", "second"}, Step{"second", nullptr}}) {
        SCOPED_TRACE(std::string(step.from ? step.from : "(none)") + " to " +
                     (step.to ? step.to : "(none)"));
        SetRecordCipherPassword(step.from);
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(CString(path)), 0);
        db.ChangePassword(step.to, 4);
        EXPECT_EQ(GetRecordCipher() != nullptr, step.to != nullptr);
        // In memory already: every packed record is the new one.
        if (step.to != nullptr) {
            EXPECT_FALSE(ChecksumsHold(db));
        }
        ASSERT_EQ(db.Save(true), 0);

        Crib crib{};
        EXPECT_TRUE(ReadsUnder(path, step.to, &crib));
        if (step.to != nullptr) {
            EXPECT_TRUE(CribMatches(crib.data(), step.to));
            EXPECT_FALSE(ReadsUnder(path, nullptr));
        } else {
            EXPECT_EQ(GetCribKind(crib.data()), CribKind::kNone);
        }
        if (step.from != nullptr) {
            EXPECT_FALSE(ReadsUnder(path, step.from));
        }
    }
}

TEST(ChangePassword, LeavesEverythingAsItWasWhenItFails) {
    ProcessStateGuard guard;
    TempDir dir;
    const std::string path = SaveDatabase(dir, "old");
    SetRecordCipherPassword("old");
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(CString(path)), 0);
    Crib before{};
    db.GetCrib(before.data());
    const BlowfishKey* cipher = GetRecordCipher();
    const std::vector<BYTE> packed = db.GetItemByRecordID(0, 1)->PalmRecord();

    EXPECT_THROW(db.ChangePassword("new", kCribMaxCost + 1), CInvalidArgException);
    Crib after{};
    db.GetCrib(after.data());
    EXPECT_EQ(after, before);
    EXPECT_EQ(GetRecordCipher(), cipher);
    EXPECT_EQ(db.GetItemByRecordID(0, 1)->PalmRecord(), packed);
    ASSERT_EQ(db.Save(true), 0);
    EXPECT_TRUE(ReadsUnder(path, "old"));
}

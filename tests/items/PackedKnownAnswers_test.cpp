// Known answers for the packed record of each class, plain and enciphered, computed without the
// library by tests/data/packed_known_answers.py (its own CRC-16, OpenSSL's Blowfish keyed with
// "hunter2"). Packing must give these bytes up to the random tail, and reading them must give
// the content back. Each body fills whole cipher blocks, so the tail stays plain and everything
// before it is fixed.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/items/TypeItem.h"
#include "tests/support/ItemTesting.h"

using namespace LKMDB7;
using namespace lkmdb7_test;

namespace {

constexpr const char* kPassword = "hunter2";

// kCategoryPlain: 37 bytes
const Bytes kCategoryPlain = {
    0x18, 0xAB,                                      // CRC-16 from 1259 over bytes 0 to L-8
    0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,  // unique ID
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // zero
    0x00, 0x00, 0x00, 0x00, 0x42, 0x61, 0x6E, 0x6B, 0x69, 0x6E, 0x67, 0x00,  // name "Banking"
    0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6,  // tail, fixed here (random when packed)
};
// kCategoryEnciphered: 37 bytes
const Bytes kCategoryEnciphered = {
    0x18, 0xAB,                                      // CRC-16 from 1259 over bytes 0 to L-8
    0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,  // unique ID
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // zero
    0x00, 0x00, 0x00, 0x00, 0x5E, 0xD1, 0x8E, 0x1B,
    0xD0, 0xC9, 0xFB, 0xF1,                    // body, enciphered in whole 8-byte blocks
    0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6,  // tail, fixed here (random when packed)
};
// kTypePlain: 69 bytes
const Bytes kTypePlain = {
    0xD5, 0x9C,                                      // CRC-16 from 1259 over bytes 0 to L-8
    0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28,  // unique ID
    0x01, 0x05,                                      // icon index 0x0105
    0x00, 0x06,                                      // default mask: fields 1 and 2 secret
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // zero
    0x57, 0x65, 0x62, 0x00,                          // name "Web"
    // labels "User", "Password", "URL", 6 empty, "Other notes"
    0x55, 0x73, 0x65, 0x72, 0x00, 0x50, 0x61, 0x73, 0x73, 0x77, 0x6F, 0x72, 0x64, 0x00, 0x55, 0x52,
    0x4C, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x4F, 0x74, 0x68, 0x65, 0x72, 0x20, 0x6E, 0x6F,
    0x74, 0x65, 0x73, 0x00, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5,
    0xA6,  // tail, fixed here (random when packed)
};
// kTypeEnciphered: 69 bytes
const Bytes kTypeEnciphered = {
    0xD5, 0x9C,                                      // CRC-16 from 1259 over bytes 0 to L-8
    0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28,  // unique ID
    0x01, 0x05,                                      // icon index 0x0105
    0x00, 0x06,                                      // default mask: fields 1 and 2 secret
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,  // zero
    0xD9, 0xE5, 0x1E, 0x34, 0x2C, 0x4C, 0x65, 0x1A,  // body, enciphered in whole 8-byte blocks
    0xD5, 0xD5, 0x05, 0x16, 0xDC, 0xD7, 0x67, 0x53, 0x10, 0xC4, 0x48, 0xC1, 0x65, 0x26,
    0x3D, 0xA3, 0x6E, 0x6A, 0xC1, 0x65, 0x18, 0x8A, 0x71, 0xFB, 0xAE, 0xD0, 0x46, 0x4F,
    0xD5, 0x96, 0xED, 0xFF, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6,  // tail, fixed here (random
                                                                       // when packed)
};
// kRecordPlain: 117 bytes
const Bytes kRecordPlain = {
    0xFF, 0xBB,                                      // CRC-16 from 1259 over bytes 0 to L-8
    0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28,  // type identifier
    0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,  // category identifier
    0x01, 0x05,                                      // icon index 0x0105
    0x00, 0x02,                                      // field mask: field 1
    // fields "alice@example.com", "s3cret", "https://www.example.org", 7 empty
    0x61, 0x6C, 0x69, 0x63, 0x65, 0x40, 0x65, 0x78, 0x61, 0x6D, 0x70, 0x6C, 0x65, 0x2E, 0x63, 0x6F,
    0x6D, 0x00, 0x73, 0x33, 0x63, 0x72, 0x65, 0x74, 0x00, 0x68, 0x74, 0x74, 0x70, 0x73, 0x3A, 0x2F,
    0x2F, 0x77, 0x77, 0x77, 0x2E, 0x65, 0x78, 0x61, 0x6D, 0x70, 0x6C, 0x65, 0x2E, 0x6F, 0x72, 0x67,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x6F, 0x6E, 0x65, 0x0A, 0x74, 0x77, 0x6F,
    0x00,                                            // note "one" CR LF "two", stored with LF
    0x31, 0x32, 0x00,                                // view count "12"
    0x78, 0x2E, 0x70, 0x64, 0x66, 0x00,              // attached file "x.pdf"
    0x6B, 0x00,                                      // attachment key "k"
    0x00, 0x50, 0x49, 0x4E, 0x00, 0x00, 0x00, 0x00,  // labels: 1 is "PIN", the others empty
    0x00, 0x00, 0x00, 0x00, 0x00, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5,
    0xA6,  // tail, fixed here (random when packed)
};
// kRecordEnciphered: 117 bytes
const Bytes kRecordEnciphered = {
    0xFF, 0xBB,                                      // CRC-16 from 1259 over bytes 0 to L-8
    0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28,  // type identifier
    0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,  // category identifier
    0x01, 0x05,                                      // icon index 0x0105
    0x00, 0x02,                                      // field mask: field 1
    0x58, 0x4B, 0xBF, 0x7D, 0x27, 0xED, 0x8B, 0x3E,  // body, enciphered in whole 8-byte blocks
    0x33, 0xFC, 0x61, 0x24, 0x6F, 0x3F, 0x23, 0x1B, 0xDD, 0x3A, 0xD4, 0x37, 0x1C, 0x67, 0x3F,
    0xD4, 0xDD, 0xE4, 0xEA, 0x89, 0x5C, 0x59, 0x7D, 0x48, 0x11, 0x57, 0xC3, 0x4F, 0xF9, 0x08,
    0xED, 0x92, 0x5B, 0x68, 0x21, 0x17, 0x14, 0x0F, 0xFE, 0x53, 0x5A, 0x61, 0x40, 0x92, 0x4F,
    0xF7, 0x78, 0x06, 0xFE, 0x76, 0xA4, 0x98, 0x5D, 0x3C, 0xE1, 0xB7, 0x10, 0x30, 0x7D, 0x2A,
    0xE8, 0xDC, 0x9D, 0xA1, 0xED, 0x3E, 0x2B, 0xAD, 0xD4, 0x17, 0x2B, 0x83, 0x5A, 0x61, 0x40,
    0x92, 0x4F, 0xF7, 0x78, 0x06, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6,  // tail, fixed here
                                                                             // (random when packed)
};

const BYTE kCategoryId[8] = {0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18};
const BYTE kTypeId[8] = {0x21, 0x22, 0x23, 0x24, 0x25, 0x26, 0x27, 0x28};

std::unique_ptr<CBaseItem> MakeCategory() {
    auto c = std::make_unique<CCategoryItem>();
    c->SetUniqueID(CUID::FromBytes(kCategoryId));
    c->SetName("Banking");
    return c;
}

std::unique_ptr<CBaseItem> MakeType() {
    auto t = std::make_unique<CTypeItem>();
    t->SetUniqueID(CUID::FromBytes(kTypeId));
    t->SetName("Web");
    t->SetIconIndex(0x0105);
    t->SetMaskBits(0x0006);
    t->SetLabel(0, "User");
    t->SetLabel(1, "Password");
    t->SetLabel(2, "URL");
    t->SetLabel(9, "Other notes");
    return t;
}

std::unique_ptr<CBaseItem> MakeRecord() {
    auto r = std::make_unique<CRecord>();
    r->SetTypeID(CUID::FromBytes(kTypeId));
    r->SetCategoryID(CUID::FromBytes(kCategoryId));
    r->SetIconIndex(0x0105);
    r->SetMaskBits(0x0002);
    r->SetField(0, "alice@example.com");
    r->SetField(1, "s3cret");
    r->SetField(2, "https://www.example.org");
    r->SetNote("one\r\ntwo");
    r->SetViewCount(12);
    r->SetAttachedFileName("x.pdf");
    r->SetAttachedFileEncryptionKey("k");
    r->SetFieldLabel(1, nullptr, "PIN");
    return r;
}

void CheckCategory(CBaseItem& item) {
    auto& c = dynamic_cast<CCategoryItem&>(item);
    EXPECT_EQ(c.GetUniqueID(), CUID::FromBytes(kCategoryId));
    EXPECT_EQ(c.GetName(), "Banking");
}

void CheckType(CBaseItem& item) {
    auto& t = dynamic_cast<CTypeItem&>(item);
    EXPECT_EQ(t.GetUniqueID(), CUID::FromBytes(kTypeId));
    EXPECT_EQ(t.GetName(), "Web");
    EXPECT_EQ(t.GetIconIndex(), 0x0105);
    EXPECT_EQ(t.GetMaskBits(), 0x0006);
    const char* const labels[10] = {"User",    "Password", "URL",     "Field 4", "Field 5",
                                    "Field 6", "Field 7",  "Field 8", "Field 9", "Other notes"};
    for (int i = 0; i < 10; ++i) {
        EXPECT_EQ(t.GetLabel(i), labels[i]) << i;
    }
}

void CheckRecord(CBaseItem& item) {
    auto& r = dynamic_cast<CRecord&>(item);
    EXPECT_EQ(r.GetTypeID(), CUID::FromBytes(kTypeId));
    EXPECT_EQ(r.GetCategoryID(), CUID::FromBytes(kCategoryId));
    EXPECT_EQ(r.GetIconIndex(), 0x0105);
    EXPECT_EQ(r.GetMaskBits(), 0x0002);
    EXPECT_EQ(r.GetField(0, false), "alice@example.com");
    EXPECT_EQ(r.GetField(1, false), "s3cret");
    EXPECT_EQ(r.GetField(2, false), "https://www.example.org");
    EXPECT_EQ(r.GetField(3, false), "");
    EXPECT_EQ(r.GetNote(), "one\r\ntwo");
    EXPECT_EQ(r.GetViewCount(), 12);
    EXPECT_EQ(r.GetAttachedFileName(), "x.pdf");
    EXPECT_EQ(r.GetAttachedFileEncryptionKey(), "k");
    EXPECT_EQ(r.GetFieldLabelA(1), "PIN");
    EXPECT_EQ(r.GetFieldLabelA(0), "");
}

struct Fixture {
    const char* name;
    const Bytes& plain;
    const Bytes& enciphered;
    std::function<std::unique_ptr<CBaseItem>()> make;   // the item with the fixture's content
    std::function<std::unique_ptr<CBaseItem>()> blank;  // a fresh item of the class
    std::function<void(CBaseItem&)> check;
};

const Fixture kFixtures[] = {
    {"category", kCategoryPlain, kCategoryEnciphered, MakeCategory,
     [] { return std::make_unique<CCategoryItem>(); }, CheckCategory},
    {"type", kTypePlain, kTypeEnciphered, MakeType, [] { return std::make_unique<CTypeItem>(); },
     CheckType},
    {"record", kRecordPlain, kRecordEnciphered, MakeRecord,
     [] { return std::make_unique<CRecord>(); }, CheckRecord},
};

// Bytes 0 to L-8: everything but the random tail.
Bytes BeforeTail(const Bytes& record) {
    return Bytes(record.begin(), record.end() - 7);
}

class PackedKnownAnswers : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
};

}  // namespace

TEST_F(PackedKnownAnswers, PackingGivesTheKnownBytes) {
    for (const Fixture& f : kFixtures) {
        SCOPED_TRACE(f.name);
        SetRecordCipherPassword("");
        auto item = f.make();
        item->PackPalmRecord(true);
        ASSERT_EQ(item->PalmRecord().size(), f.plain.size());
        EXPECT_EQ(BeforeTail(item->PalmRecord()), BeforeTail(f.plain));

        SetRecordCipherPassword(kPassword);
        item->PackPalmRecord(true);
        ASSERT_EQ(item->PalmRecord().size(), f.enciphered.size());
        EXPECT_EQ(BeforeTail(item->PalmRecord()), BeforeTail(f.enciphered));
        item->PackPalmRecord(false);  // no enciphering asked for: the plain bytes
        EXPECT_EQ(BeforeTail(item->PalmRecord()), BeforeTail(f.plain));
    }
}

TEST_F(PackedKnownAnswers, ReadingTheKnownBytesGivesTheContent) {
    for (const Fixture& f : kFixtures) {
        SCOPED_TRACE(f.name);
        SetRecordCipherPassword("");
        auto plain = f.blank();
        Bytes bytes = f.plain;
        plain->SetPalmRecord(reinterpret_cast<char*>(bytes.data()), static_cast<int>(bytes.size()));
        plain->PuffPalmRecord(true);
        f.check(*plain);
        EXPECT_EQ(plain->GetCRC(), (f.plain[0] << 8) | f.plain[1]);

        SetRecordCipherPassword(kPassword);
        auto enciphered = f.blank();
        bytes = f.enciphered;
        enciphered->SetPalmRecord(reinterpret_cast<char*>(bytes.data()),
                                  static_cast<int>(bytes.size()));
        enciphered->PuffPalmRecord(true);
        f.check(*enciphered);
        EXPECT_EQ(enciphered->PalmRecord(), f.plain);  // deciphered in place, tail untouched
    }
}

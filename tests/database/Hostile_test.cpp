// Damaged database files: every truncation and every single-bit flip in the first 4 KiB of a few
// small files either fails with a clean archive exception or loads as a database whose save reads
// back as the same database. Nothing else may happen: no other exception, no crash, no read
// outside a buffer (the sanitizer run checks that).
#include <gtest/gtest.h>

#include <cstddef>
#include <iostream>
#include <string>
#include <vector>

#include "fuzz/DatabaseDump.h"
#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/platform/internal/ByteOrder.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_test;

namespace {

constexpr const char* kPassword = "correct horse";

CStringArray Texts(std::initializer_list<const char*> texts) {
    CStringArray out;
    for (const char* t : texts) {
        out.Add(t);
    }
    return out;
}

// Records with notes, label overrides, attachments and flags, two types (one with its own column
// settings) and two categories: every part of an item body and of the list framing.
Bytes BuildDatabase(const char* password) {
    SetRecordCipherPassword(password);
    CDatabaseObj7 db;
    BYTE crib[kCribSize] = {};
    crib[0] = 0x5A;
    crib[39] = 0xA5;
    db.SetCrib(crib);
    db.SetPalmCreateDate(0x01020304);
    db.SetIconFileName("safe.ico");
    CStringArray noLabels;
    CStringArray labels = Texts({"User", "", "Secret"});
    CStringArray mailTexts = Texts({"Email", "alice@example.org", "hunter2", "", "", "", "", "", "",
                                    "", "last", "first note line", "second"});
    CRecord* mail = db.AddRecordWithoutWaiting(mailTexts, 0x0002, labels, "Personal", 255, false);
    mail->SetViewCount(7);
    CStringArray bankTexts = Texts({"Bank", "1234-5678", "0000"});
    CRecord* bank = db.AddRecordWithoutWaiting(bankTexts, 0x0003, noLabels, "Work", 3, true);
    bank->SetAttachedFileName("statement.pdf");
    bank->SetAttachedFileEncryptionKey("k3y");
    CStringArray looseTexts = Texts({"Unfiled", "plain"});
    CRecord* loose = db.AddRecordWithoutWaiting(looseTexts, 0, noLabels, "", 24, false);
    loose->SetDeleted(true);
    auto* bankType = static_cast<CTypeItem*>(db.GetTypesList().GetHead());
    CColumnEntry entries[3] = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}};
    bankType->SetColumnInfo(CShowColumns(3, entries));
    const Bytes bytes = lkmdb7_fuzz::SaveToBytes(db);
    return bytes;
}

// A version 5 file by hand, as an older program wrote it: no PK identifier, time stamp or extra
// values in the item bodies, six fields per record, six labels per type.
Bytes BuildVersion5() {
    const auto body = [](const Bytes& record, DWORD id) {
        return Cat({U32(static_cast<DWORD>(record.size())), record, U32(id), U16(1), U16(0), U16(1),
                    U32(0), U32(0)});
    };
    const auto newClass = [](const std::string& name) {
        return Cat({{0xFF, 0xFF}, U16(5), U16(static_cast<WORD>(name.size())), Ascii(name)});
    };
    const Bytes typeId = {0, 0, 0, 0, 0, 0, 0, 7};
    const Bytes catId = {1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes record = Cat({{0, 0},
                              typeId,
                              catId,
                              {0, 4, 0, 2},
                              Z("alice"),
                              Z("pw"),
                              Z(""),
                              Z(""),
                              Z(""),
                              Z(""),
                              Z("a\nnote"),
                              Bytes(7, 0)});
    const Bytes type = Cat({{0, 0},
                            typeId,
                            {0, 4, 0, 2},
                            Bytes(8, 0),
                            Z("Web"),
                            Z("Login"),
                            Z("Password"),
                            Z(""),
                            Z(""),
                            Z(""),
                            Z(""),
                            Bytes(7, 0)});
    const Bytes category = Cat({{0, 0}, catId, Bytes(12, 0), Z("Home"), Bytes(7, 0)});
    return Cat({Bytes(40, 0),
                U32(0x01020304),
                U16(5),
                {3},
                Ascii("old"),
                U16(0),
                U32(0),
                U32(0),
                U16(1),
                newClass("CRecord"),
                body(record, 11),
                U16(1),
                newClass("CTypeItem"),
                body(type, 12),
                U32(15),
                Bytes(92, 0),
                U16(1),
                newClass("CCategoryItem"),
                body(category, 13)});
}

struct Tally {
    std::size_t tried = 0;
    std::size_t rejected = 0;
    std::size_t loaded = 0;
    std::vector<std::string> faults;
};

// Loads bytes; a load that succeeds must save and read back as the same database.
void Check(const Bytes& bytes, const std::string& what, Tally& tally) {
    ++tally.tried;
    const auto fault = [&](const std::string& text) {
        if (tally.faults.size() < 10) {
            tally.faults.push_back(what + ": " + text);
        }
    };
    std::string before;
    Bytes saved;
    try {
        CDatabaseObj7 db;
        try {
            lkmdb7_fuzz::LoadFromBytes(db, bytes.data(), bytes.size());
        } catch (const CArchiveException& e) {
            ++tally.rejected;
            if (std::string(e.what()).find("fuzz.lkb") == std::string::npos) {
                fault(std::string("message does not name the file: ") + e.what());
            }
            return;
        }
        ++tally.loaded;
        before = lkmdb7_fuzz::Dump(db);
        saved = lkmdb7_fuzz::SaveToBytes(db);
    } catch (const std::exception& e) {
        fault(std::string("unexpected exception while loading or saving: ") + e.what());
        return;
    }
    try {
        CDatabaseObj7 again;
        lkmdb7_fuzz::LoadFromBytes(again, saved.data(), saved.size());
        const std::string after = lkmdb7_fuzz::Dump(again);
        if (after != before) {
            fault("save and reload changed it\n" + lkmdb7_fuzz::FirstDifference(before, after));
        }
    } catch (const std::exception& e) {
        fault(std::string("its save does not load: ") + e.what());
    }
}

struct Fixture {
    const char* name;
    const char* password;
    Bytes (*build)();
};

void PrintTo(const Fixture& f, std::ostream* os) {
    *os << f.name;
}

class Hostile : public ::testing::TestWithParam<Fixture> {
  protected:
    ProcessStateGuard guard;
};

}  // namespace

TEST_P(Hostile, EveryTruncationAndEveryBitFlipFailsCleanlyOrRoundTrips) {
    const Fixture& f = GetParam();
    const Bytes whole = f.build();
    SetRecordCipherPassword(f.password);

    Tally whole_tally;
    Check(whole, "the intact file", whole_tally);
    ASSERT_EQ(whole_tally.loaded, 1u) << (whole_tally.faults.empty() ? "" : whole_tally.faults[0]);
    ASSERT_TRUE(whole_tally.faults.empty()) << whole_tally.faults[0];

    Tally cuts;
    for (std::size_t cut = 0; cut < whole.size(); ++cut) {
        Check(Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(cut)),
              "cut at " + std::to_string(cut), cuts);
    }
    // The file ends where its category list ends, so no shorter file is a whole database.
    EXPECT_EQ(cuts.rejected, whole.size());

    Tally flips;
    const std::size_t span = std::min<std::size_t>(whole.size(), 4096);
    for (std::size_t at = 0; at < span; ++at) {
        for (int bit = 0; bit < 8; ++bit) {
            Bytes damaged = whole;
            damaged[at] = static_cast<BYTE>(damaged[at] ^ (1u << bit));
            Check(damaged, "bit " + std::to_string(bit) + " of byte " + std::to_string(at), flips);
        }
    }
    EXPECT_EQ(flips.tried, span * 8);

    for (const Tally* t : {&cuts, &flips}) {
        for (const std::string& fault : t->faults) {
            ADD_FAILURE() << fault;
        }
    }
    RecordProperty("bytes", static_cast<int>(whole.size()));
    RecordProperty("truncations", static_cast<int>(cuts.tried));
    RecordProperty("flips", static_cast<int>(flips.tried));
    RecordProperty("flipsLoaded", static_cast<int>(flips.loaded));
    std::cout << f.name << ": " << whole.size() << " bytes, " << cuts.tried << " truncations ("
              << cuts.rejected << " rejected), " << flips.tried << " flips (" << flips.rejected
              << " rejected, " << flips.loaded << " loaded and round-tripped)\n";
}

std::string FixtureName(const ::testing::TestParamInfo<Fixture>& param) {
    return param.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Files, Hostile,
    ::testing::Values(Fixture{"plain", nullptr, [] { return BuildDatabase(nullptr); }},
                      Fixture{"enciphered", kPassword, [] { return BuildDatabase(kPassword); }},
                      Fixture{"version5", nullptr, &BuildVersion5}),
    FixtureName);

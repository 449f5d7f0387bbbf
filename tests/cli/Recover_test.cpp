// lkmdb recover on damaged copies of the demo database: every item whose bytes are intact comes
// back exactly, the loss is reported, and the damaged file is never written.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>

#include "cli/Lkmdb.h"
#include "lkmdb7/lkmdb7.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/LkmdbRun.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_test;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<unsigned char>;

using Result = LkmdbResult;

std::size_t Find(const Bytes& bytes, const std::string& text) {
    const Bytes wanted(text.begin(), text.end());
    const auto at = std::search(bytes.begin(), bytes.end(), wanted.begin(), wanted.end());
    if (at == bytes.end()) {
        ADD_FAILURE() << "no \"" << text << "\" in the file";
        return 0;
    }
    return static_cast<std::size_t>(at - bytes.begin());
}

class Recover : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
    TempDir dir;

    Result Run(std::vector<std::string> args) { return RunLkmdbCommand(std::move(args)); }

    json Dump(const std::string& folder, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"dump", folder};
        args.insert(args.end(), extra.begin(), extra.end());
        const Result r = Run(args);
        EXPECT_EQ(r.code, 0) << r.err;
        json dump = json::parse(r.out);
        // What the stored items hold: a record's type and category names and its type's labels
        // are looked up in other items, which a damaged file may have lost.
        for (json& record : dump["records"]) {
            for (const char* derived : {"type", "category", "labels"}) {
                record.erase(derived);
            }
        }
        return dump;
    }

    // The demo database (five records, three types, three categories): its file's bytes.
    Bytes MakeDemo(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"demo", dir.File("demo")};
        args.insert(args.end(), extra.begin(), extra.end());
        const Result r = Run(args);
        EXPECT_EQ(r.code, 0) << r.err;
        return ReadFileBytes(fs::path(dir.File("demo")) / kDatabaseFileName);
    }

    std::string Damaged(const Bytes& bytes) {
        const std::string path = dir.File("damaged.lkb");
        WriteFileBytes(path, bytes);
        return path;
    }
};

// Per part, so that a failure names the list rather than printing two whole databases.
void ExpectSame(const json& actual, const json& expected) {
    for (const auto& [key, value] : expected.items()) {
        EXPECT_TRUE(actual[key] == value)
            << key << ": " << actual[key].size() << " entries, " << value.size() << " expected";
    }
}

struct Damage {
    const char* what;
    std::function<void(Bytes&)> apply;
    const char* list;  // where the one lost item was, or null
    std::size_t index;
    const char* report;
};

TEST_F(Recover, GetsBackEveryUndamagedItemExactly) {
    const Bytes original = MakeDemo();
    const json whole = Dump(dir.File("demo"));
    // In file order: records as added, types and categories by name.
    const Damage cases[] = {
        {"nothing", [](Bytes&) {}, nullptr, 0, "records: 5 recovered of 5, 0 lost"},
        {"a record's body", [](Bytes& b) { b[Find(b, "Caf\xE9") + 2] ^= 0x20; }, "records", 2,
         "bad packed record: checksum"},
        {"the record class description", [](Bytes& b) { b[Find(b, "CRecord") + 2] = 'x'; },
         "records", 0, "no item class is named \"CRxcord\""},
        {"the type class description", [](Bytes& b) { b[Find(b, "CTypeItem") + 1] = 'X'; }, "types",
         0, "no item class is named \"CXypeItem\""},
        // A class index never declared: read as another class, the record's bytes would pass
        // their checksum and, as a type, carry its type's unique ID.
        {"a record's class tag",
         [](Bytes& b) {
             const std::size_t tag = Find(b, "Intranet") - 28;
             b[tag] = 0x14;
             b[tag + 1] = 0x80;
         },
         "records", 1, "class index 20 names no class read before"},
        {"the record count", [](Bytes& b) { b[Find(b, "CRecord") - 8] = 0x7F; }, nullptr, 0,
         "records: 5 recovered of 127"},
        // The header then seems to end inside the record count.
        {"the icon file name's length", [](Bytes& b) { b[kCribSize + 6] = 5; }, nullptr, 0,
         "but not its icon file name and reserved values"},
        {"the end of the file", [](Bytes& b) { b.resize(b.size() - 40); }, "categories", 2,
         "unexpected end of data"},
    };
    for (const Damage& c : cases) {
        SCOPED_TRACE(c.what);
        Bytes bytes = original;
        c.apply(bytes);
        const std::string damaged = Damaged(bytes);
        const std::string folder = dir.File(std::string("out-") + c.what);

        const Result r = Run({"recover", damaged, folder});
        EXPECT_EQ(r.code, c.list == nullptr && bytes == original ? 0 : 1) << r.err;
        EXPECT_NE(r.out.find(c.report), std::string::npos) << r.out;
        EXPECT_EQ(ReadFileBytes(damaged), bytes);

        json expected = whole;
        if (c.list != nullptr) {
            expected[c.list].erase(c.index);
            EXPECT_NE(r.out.find("skipped bytes "), std::string::npos) << r.out;
            EXPECT_NE(r.err.find("items lost: 1"), std::string::npos) << r.err;
        }
        ExpectSame(Dump(folder), expected);
    }
}

TEST_F(Recover, ReadsEncipheredRecordsWithThePassword) {
    const std::string password = dir.File("pw");
    WriteFileBytes(password, Bytes{'k', 'e', 'y', '\n'});
    Bytes bytes = MakeDemo({"--password-file", password});
    const json whole = Dump(dir.File("demo"), {"--password-file", password});
    bytes.resize(bytes.size() - 40);
    const std::string damaged = Damaged(bytes);

    // Its crib decides first: nothing is read or written without the right password.
    const std::string wrong = dir.File("wrong");
    WriteFileBytes(wrong, Bytes{'K', 'e', 'y', '\n'});
    for (const auto& [extra, message] :
         {std::pair<std::vector<std::string>, std::string>{{}, "this database needs a password"},
          {{"--password-file", wrong}, "wrong password"}}) {
        std::vector<std::string> args{"recover", damaged, dir.File("none")};
        args.insert(args.end(), extra.begin(), extra.end());
        const Result stopped = Run(args);
        EXPECT_EQ(stopped.code, 3);
        EXPECT_EQ(stopped.out, "");
        EXPECT_NE(stopped.err.find(message), std::string::npos) << stopped.err;
        EXPECT_FALSE(fs::exists(dir.File("none")));
    }
    // Without a crib of ours only the records' checksums tell, and none of them holds.
    Bytes noCrib = bytes;
    std::fill(noCrib.begin(), noCrib.begin() + 40, BYTE{0});
    const Result without = Run({"recover", Damaged(noCrib), dir.File("none")});
    EXPECT_EQ(without.code, 2);
    EXPECT_NE(without.err.find("give the password"), std::string::npos) << without.err;
    EXPECT_FALSE(fs::exists(dir.File("none")));

    ASSERT_EQ(Damaged(bytes), damaged);
    const Result r = Run({"recover", damaged, dir.File("out"), "--password-file", password});
    EXPECT_EQ(r.code, 1) << r.err;
    json expected = whole;
    expected["categories"].erase(2);
    EXPECT_EQ(Dump(dir.File("out"), {"--password-file", password}), expected);
}

TEST_F(Recover, APasswordForAPlainDatabaseIsOneTooMany) {
    Bytes bytes = MakeDemo();
    bytes.resize(bytes.size() - 40);
    const std::string password = dir.File("pw");
    WriteFileBytes(password, Bytes{'k', 'e', 'y', '\n'});
    const Result r = Run({"recover", Damaged(bytes), dir.File("out"), "--password-file", password});
    EXPECT_EQ(r.code, 3) << r.err;
    EXPECT_NE(r.err.find("this database has no password"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir.File("out")));
}

// A file cut short before its types and categories: their counts are gone, but the records that
// came back name the ones that were lost.
TEST_F(Recover, ListsLostWithTheirCountsAreCountedByTheRecordsThatNameThem) {
    Bytes bytes = MakeDemo();
    const json whole = Dump(dir.File("demo"));
    std::set<std::string> types;
    std::set<std::string> categories;
    for (const json& record : whole["records"]) {
        for (auto [key, set] :
             {std::pair{"typeId", &types}, std::pair{"categoryId", &categories}}) {
            const std::string id = record[key].get<std::string>();
            if (id != std::string(16, '0')) {
                set->insert(id);
            }
        }
    }
    bytes.resize(Find(bytes, "CTypeItem") - 8);  // before the types list's count
    const Result r = Run({"recover", Damaged(bytes), dir.File("out")});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.out.find("records: 5 recovered of 5, 0 lost"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("record types: 0 recovered, the count was lost, at least " +
                         std::to_string(types.size()) + " lost"),
              std::string::npos)
        << r.out;
    EXPECT_NE(
        r.err.find("items lost: at least " + std::to_string(types.size() + categories.size())),
        std::string::npos)
        << r.err;
}

// Damaged bytes can make an item carry another's unique ID: lists would find only the first, so
// verify reports it and recover keeps the first and counts the other lost.
TEST_F(Recover, DuplicateUniqueIDsAreFaultsAndTheFirstIsKept) {
    MakeDemo();
    const std::string demo = dir.File("demo");
    std::string second;
    {
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load("", CString(demo)), 0);
        CTypesList& types = db.GetTypesList();
        const CUID first = types.GetTypeIDByIndex(0);
        CTypeItem* other = types.GetType(types.GetTypeIDByIndex(1));
        second = other->GetName().str();
        other->SetUniqueID(first);
        ASSERT_EQ(db.Save(true), 0);
    }
    const Result verified = Run({"verify", demo});
    EXPECT_EQ(verified.code, 1);
    EXPECT_NE(verified.out.find("\"" + second + "\": its unique ID is also that of"),
              std::string::npos)
        << verified.out;

    const Result r = Run({"recover", demo, dir.File("out")});
    EXPECT_EQ(r.code, 1) << r.err;
    EXPECT_NE(r.out.find("record types: 2 recovered of 3, 1 lost"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("record type \"" + second + "\": its unique ID"), std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("items lost: 1"), std::string::npos) << r.err;
    EXPECT_EQ(Dump(dir.File("out"))["types"].size(), 2u);
}

TEST_F(Recover, RefusesWhatItMustNotDo) {
    const Bytes before = MakeDemo();
    const std::string demo = dir.File("demo");
    const struct {
        std::vector<std::string> args;
        int code;
        const char* message;
    } cases[] = {
        // Never in place, nor over any other database.
        {{"recover", demo, demo}, 2, "a database exists already"},
        {{"recover", dir.File("missing"), dir.File("out")}, 1, "no such database file"},
        {{"recover", demo}, 2, "FOLDER is required"},
        {{"recover", Damaged(Bytes(20, 0)), dir.File("out")}, 2, "no item in it reads"},
    };
    for (const auto& c : cases) {
        const Result r = Run(c.args);
        EXPECT_EQ(r.code, c.code) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadFileBytes(fs::path(demo) / kDatabaseFileName), before);
    EXPECT_FALSE(fs::exists(dir.File("out")));
}

}  // namespace

// lkmdb commands of several processes on one database at once: every add that reports success
// is in the database at the end, and a restore beside adds never leaves a file that does not
// read. The processes are bounded loops, not timed runs.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Lkmdb.h"
#include "lkmdb7/lkmdb7.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/TestPaths.h"
#include "tests/support/platform/ChildProcess.h"

using namespace LKMDB7;
using namespace lkmdb7_test;
namespace fs = std::filesystem;

namespace {

int Lkmdb(std::vector<std::string> args) {
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    return lkmdb::RunLkmdb(std::move(args), in, out, err);
}

// "<prefix>-<n>", built by appending: mingw g++ 12 warns falsely on "literal" + std::string.
std::string Tag(const std::string& prefix, int n) {
    std::string tag = prefix;
    tag += '-';
    tag += std::to_string(n);
    return tag;
}

// Arguments: database folder, tag, count. Adds records whose first field is "<tag>-<n>" for n
// from 0; exits with the number of adds that failed.
const ChildMode kAdds("lkmdb-adds", [](const ChildArgs& args) {
    int failed = 0;
    for (int n = 0; n < std::stoi(args[2]); ++n) {
        if (Lkmdb({"add", args[0], "--type", "Web", "--field", Tag(args[1], n)}) != 0) {
            ++failed;
        }
    }
    return failed;
});

// Arguments: database folder, count. Backs up, then restores, count times; exits with the number
// of commands that failed.
const ChildMode kRestores("lkmdb-restores", [](const ChildArgs& args) {
    int failed = 0;
    for (int n = 0; n < std::stoi(args[1]); ++n) {
        failed += Lkmdb({"backup", args[0]}) != 0 ? 1 : 0;
        failed += Lkmdb({"restore", args[0]}) != 0 ? 1 : 0;
    }
    return failed;
});

class Concurrent : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ChildProcessesSupported()) {
            GTEST_SKIP() << "no child processes here";
        }
        ASSERT_EQ(Lkmdb({"init", folder()}), 0);
    }
    std::string folder() const { return dir.File("db"); }

    // The first fields of the records in the database.
    std::multiset<std::string> Fields() {
        CDatabaseObj7 db;
        EXPECT_EQ(db.Load(CString((fs::path(folder()) / kDatabaseFileName).string())), 0);
        std::multiset<std::string> fields;
        for (POSITION pos = db.GetRecordList().GetHeadPosition(); pos != nullptr;) {
            const auto* record = static_cast<CRecord*>(db.GetRecordList().GetNext(pos));
            fields.insert(record->GetField(0, false).str());
        }
        return fields;
    }

    ProcessStateGuard guard;
    TempDir dir;
};

}  // namespace

TEST_F(Concurrent, AddsOfSeveralProcessesAreAllKept) {
    constexpr int kProcesses = 3;
    constexpr int kAddsEach = 25;
    std::vector<ChildProcess> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.emplace_back("lkmdb-adds",
                              ChildArgs{folder(), Tag("p", p), std::to_string(kAddsEach)});
    }
    for (ChildProcess& child : children) {
        EXPECT_EQ(child.Wait(), 0);
    }
    std::multiset<std::string> expected;
    for (int p = 0; p < kProcesses; ++p) {
        for (int n = 0; n < kAddsEach; ++n) {
            expected.insert(Tag(Tag("p", p), n));
        }
    }
    EXPECT_EQ(Fields(), expected);
}

TEST_F(Concurrent, RestoreBesideAddsLeavesADatabaseThatReads) {
    ChildProcess adds("lkmdb-adds", {folder(), "a", "40"});
    ChildProcess restores("lkmdb-restores", {folder(), "20"});
    EXPECT_EQ(adds.Wait(), 0);
    EXPECT_EQ(restores.Wait(), 0);
    // Restores put older states back, so only a prefix of the adds need be there; but what is
    // there reads, and the folder holds no temporary file.
    EXPECT_LE(Fields().size(), 40u);
    EXPECT_EQ(Lkmdb({"verify", folder()}), 0);
    for (const auto& entry : fs::directory_iterator(folder())) {
        EXPECT_EQ(entry.path().string().find(".saving"), std::string::npos) << entry.path();
    }
}

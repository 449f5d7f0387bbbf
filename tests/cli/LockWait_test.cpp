// lkmdb while another program holds the database lock: one plain line on the error stream once
// the wait has lasted a second, and the command then does its work.
#include <gtest/gtest.h>

#include <chrono>
#include <nlohmann/json.hpp>

#include "tests/support/ItemTesting.h"
#include "tests/support/LkmdbRun.h"
#include "tests/support/LockHolder.h"
#include "tests/support/TestPaths.h"

using namespace lkmdb7_test;
using std::chrono::milliseconds;

namespace {

constexpr const char* kWaitLine = "lkmdb: waiting for another program to release the database...\n";

}  // namespace

TEST(LkmdbLockWait, SaidOnceAfterASecondAndNeverWhenTheLockIsFree) {
    ProcessStateGuard guard;
    TempDir dir;
    const std::string db = dir.File("db");
    ASSERT_EQ(RunLkmdbCommand({"init", db}).code, 0);

    LkmdbResult r = RunLkmdbCommand({"add", db, "--type", "Web", "--field", "one"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.err, "");

    {
        // A writer waits before its load and holds the lock past its save: one wait, one line.
        LockHolder holder(milliseconds(1500));
        ASSERT_TRUE(holder.Held());
        r = RunLkmdbCommand({"add", db, "--type", "Web", "--field", "two"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, kWaitLine);
    }
    {
        // Scripts that ask for JSON read standard output; the line stays plain text.
        LockHolder holder(milliseconds(1500));
        ASSERT_TRUE(holder.Held());
        r = RunLkmdbCommand({"ls", db, "--json"});
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.err, kWaitLine);
        EXPECT_EQ(nlohmann::json::parse(r.out)["records"].size(), 2u) << r.out;
    }
}

// lkmdb as separate processes meet it: input that comes slowly or never (a pipe, a FIFO where a
// file belongs) must not hold the database lock, which is one for all of a user's databases, and
// an output file whose writing fails must leave nothing behind.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/Lkmdb.h"
#include "lkmdb7/lkmdb7.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/LkmdbRun.h"
#include "tests/support/TestPaths.h"
#include "tests/support/platform/ChildProcess.h"
#include "tests/support/platform/SpecialFiles.h"
#include "tests/support/platform/Users.h"

using namespace lkmdb7_test;
namespace fs = std::filesystem;

namespace {

// Arguments: the largest file size in bytes, file for standard error, then lkmdb's arguments.
const ChildMode kLimitedLkmdb("lkmdb-file-size-limited", [](const ChildArgs& args) {
    if (!LimitFileSize(std::stoull(args[0]))) {
        return 100;
    }
    std::istringstream in;
    std::ostringstream out;
    std::ofstream err(args[1]);
    return lkmdb::RunLkmdb({args.begin() + 2, args.end()}, in, out, err);
});

class InputAndOutput : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!ChildProcessesSupported()) {
            GTEST_SKIP() << "no child processes here";
        }
    }

    LkmdbResult Run(std::vector<std::string> args, const std::string& input = "") {
        return RunLkmdbCommand(std::move(args), input);
    }
    std::string Folder(const std::string& name = "db") const { return dir.File(name); }
    fs::path DbFile(const std::string& name = "db") const {
        return fs::path(Folder(name)) / LKMDB7::kDatabaseFileName;
    }
    std::string Records(const std::string& name = "db") {
        const LkmdbResult r = Run({"export", Folder(name)});
        EXPECT_EQ(r.code, 0) << r.err;
        return r.out;
    }

    ProcessStateGuard guard;
    TempDir dir;
};

}  // namespace

// A write that fails part way (here the process may write no file beyond 300 bytes) leaves no
// part of the export, neither under its name nor beside it, and a file that --force would have
// replaced as it was.
TEST_F(InputAndOutput, AFailedExportLeavesNothingBehind) {
    ASSERT_EQ(Run({"demo", Folder()}).code, 0);
    const fs::path out = dir.path() / "out";
    fs::create_directory(out);
    const fs::path kept = out / "kept.csv";
    WriteText(kept, "keep me");
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"-o", (out / "new.csv").string()},
          std::vector<std::string>{"-o", kept.string(), "--force"},
          std::vector<std::string>{"-o", (out / "new.json").string(), "--format", "json"}}) {
        SCOPED_TRACE(extra[1]);
        std::vector<std::string> args{"300", dir.File("err"), "export", Folder()};
        args.insert(args.end(), extra.begin(), extra.end());
        ChildProcess child("lkmdb-file-size-limited", args);
        EXPECT_EQ(child.Wait(), 2);
        const std::string err = ReadText(dir.File("err"));
        EXPECT_NE(err.find("could not be written"), std::string::npos) << err;
        EXPECT_NE(err.find("nothing was written"), std::string::npos) << err;
    }
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(out)) {
        left.push_back(entry.path().filename().string());
    }
    EXPECT_EQ(left, std::vector<std::string>{"kept.csv"});
    EXPECT_EQ(ReadText(kept), "keep me");
}

// The dated copy of backup --to on a full disk: no part of it may pass for a backup. Needs root,
// for a small file system of its own.
TEST_F(InputAndOutput, ADatedCopyThatDoesNotFitLeavesNothingBehind) {
    if (EffectiveUserId() != 0) {
        GTEST_SKIP() << "mounting a small file system needs root";
    }
    std::string rows = "name,url,username,password,note\n";
    for (int i = 0; i < 1500; ++i) {
        rows += "site" + std::to_string(i) + ",https://site" + std::to_string(i) +
                ".example/login,user" + std::to_string(i) + ",password-" + std::to_string(i) +
                ",a note that takes some room\n";
    }
    ASSERT_EQ(Run({"init", Folder()}).code, 0);
    ASSERT_EQ(Run({"import", Folder(), "-"}, rows).code, 0);
    ASSERT_GT(fs::file_size(DbFile()), 64u * 1024);
    const fs::path full = dir.path() / "full";
    fs::create_directory(full);
    if (std::system(("mount -t tmpfs -o size=64k tmpfs '" + full.string() + "'").c_str()) != 0) {
        GTEST_SKIP() << "no tmpfs could be mounted";
    }
    const LkmdbResult r = Run({"backup", Folder(), "--to", full.string()});
    const bool emptyAfter = fs::is_empty(full);
    EXPECT_EQ(std::system(("umount '" + full.string() + "'").c_str()), 0);
    EXPECT_EQ(r.code, 2) << r.err;
    EXPECT_NE(r.err.find("could not be written"), std::string::npos) << r.err;
    EXPECT_TRUE(emptyAfter);
}

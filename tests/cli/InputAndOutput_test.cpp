// lkmdb as separate processes meet it: input that comes slowly or never (a pipe, a FIFO where a
// file belongs) must not hold the database lock, which is one for all of a user's databases, and
// an output file whose writing fails must leave nothing behind.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <streambuf>
#include <string>
#include <thread>
#include <vector>

#include "cli/Lkmdb.h"
#include "lkmdb7/lkmdb7.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/LkmdbRun.h"
#include "tests/support/TestPaths.h"
#include "tests/support/platform/ChildProcess.h"
#include "tests/support/platform/NonRegularFiles.h"
#include "tests/support/platform/Users.h"

using namespace lkmdb7_test;
namespace fs = std::filesystem;

namespace {

// Longer than any of these commands takes, far shorter than the lock's 10 s wait.
constexpr std::chrono::seconds kAtOnce(5);

// Standard input that gives nothing until `go` exists (creating `waiting` when first read), then
// `text`.
class SlowInput : public std::streambuf {
  public:
    SlowInput(fs::path waiting, fs::path go, std::string text)
        : waiting_(std::move(waiting)), go_(std::move(go)), text_(std::move(text)) {}

  protected:
    int_type underflow() override {
        if (done_) {
            return traits_type::eof();
        }
        std::ofstream(waiting_).put('\n');
        for (int i = 0; i < 3000 && !fs::exists(go_); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        done_ = true;
        setg(text_.data(), text_.data(), text_.data() + text_.size());
        return text_.empty() ? traits_type::eof() : traits_type::to_int_type(text_[0]);
    }

  private:
    fs::path waiting_;
    fs::path go_;
    std::string text_;
    bool done_ = false;
};

// Arguments: file for standard error, then lkmdb's arguments. Standard input is empty; exits with
// lkmdb's exit code.
const ChildMode kLkmdb("lkmdb", [](const ChildArgs& args) {
    std::istringstream in;
    std::ostringstream out;
    std::ofstream err(args[0]);
    return lkmdb::RunLkmdb({args.begin() + 1, args.end()}, in, out, err);
});

// Arguments: database folder, the file to create when standard input is first read, the file
// whose coming lets the rows through, the rows. Imports them from standard input.
const ChildMode kSlowImport("lkmdb-import-slow-stdin", [](const ChildArgs& args) {
    SlowInput slow(args[1], args[2], args[3]);
    std::istream in(&slow);
    std::ostringstream out;
    std::ostringstream err;
    return lkmdb::RunLkmdb({"import", args[0], "-"}, in, out, err);
});

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

// The README's own example: the import must not take the lock before its input is there, or the
// export that feeds it waits for that lock in vain.
TEST_F(InputAndOutput, ExportPipedIntoImportOfAnotherDatabase) {
#ifndef LKMDB_PROGRAM
    GTEST_SKIP() << "the program lkmdb is not built beside the tests";
#else
    ASSERT_EQ(Run({"demo", Folder("a")}).code, 0);
    ASSERT_EQ(Run({"init", Folder("b")}).code, 0);
    // The export starts last, as a slow one would: the import is waiting for its input by then.
    const std::string program = std::string("'") + LKMDB_PROGRAM + "'";
    const std::string command = "cd '" + dir.str() + "' && (sleep 0.3; " + program +
                                " export a) | " + program + " import b - >out 2>err";
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(std::system(command.c_str()), 0) << ReadText(dir.path() / "err");
    EXPECT_LT(std::chrono::steady_clock::now() - start, kAtOnce);
    EXPECT_EQ(
        ReadText(dir.path() / "out"),
        "imported 5 records into " + (fs::path("b") / LKMDB7::kDatabaseFileName).string() + "\n");
    EXPECT_EQ(Records("b"), Records("a"));
#endif
}

// While an import waits for its standard input, other processes use other databases.
TEST_F(InputAndOutput, AnImportWaitingForInputHoldsNoLock) {
    ASSERT_EQ(Run({"init", Folder("b")}).code, 0);
    ASSERT_EQ(Run({"demo", Folder("other")}).code, 0);
    const fs::path waiting = dir.path() / "waiting";
    const fs::path go = dir.path() / "go";
    ChildProcess import("lkmdb-import-slow-stdin",
                        {Folder("b"), waiting.string(), go.string(),
                         "name,url,username,password,note\nsite,https://site.example,me,pw,\n"});
    ASSERT_TRUE(import.AwaitFile(waiting, kAtOnce));

    const auto start = std::chrono::steady_clock::now();
    const LkmdbResult ls = Run({"ls", Folder("other")});
    EXPECT_EQ(ls.code, 0) << ls.err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, kAtOnce);

    std::ofstream(go).put('\n');
    EXPECT_EQ(import.WaitFor(kAtOnce), 0);
    EXPECT_NE(Records("b").find("https://site.example"), std::string::npos);
}

// A FIFO where a file belongs would never give an end of file: every command refuses it at once,
// naming it, before it takes the lock; nothing is changed.
TEST_F(InputAndOutput, AFifoWhereAFileBelongsIsRefusedAtOnce) {
    ASSERT_EQ(Run({"demo", Folder()}).code, 0);
    const std::string fifo = dir.File("fifo");
    if (!MakeFifo(fifo) || !MakeFifo(DbFile().string() + LKMDB7::kBackupSuffix)) {
        GTEST_SKIP() << "no FIFOs here";
    }
    const std::string before = ReadText(DbFile());
    const std::vector<std::vector<std::string>> cases = {
        {"restore", Folder()},
        {"import", Folder(), fifo},
        {"ls", Folder(), "--password-file", fifo},
        {"passwd", Folder(), "--new-password-file", fifo},
        {"recover", fifo, Folder("recovered")},
        {"ls", fifo},
    };
    for (const std::vector<std::string>& args : cases) {
        SCOPED_TRACE(args[0] + " " + args.back());
        std::vector<std::string> childArgs{dir.File("err")};
        childArgs.insert(childArgs.end(), args.begin(), args.end());
        ChildProcess child("lkmdb", childArgs);
        const std::optional<int> code = child.WaitFor(kAtOnce);
        EXPECT_EQ(code, 2);
        if (!code) {
            child.Kill();
            continue;
        }
        const std::string err = ReadText(dir.File("err"));
        EXPECT_NE(err.find("is a named pipe (FIFO), not a file"), std::string::npos) << err;
    }
    EXPECT_EQ(ReadText(DbFile()), before);
    EXPECT_FALSE(fs::exists(Folder("recovered")));
}

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

#include "lkmdb7/platform/internal/FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "lkmdb7/platform/SystemError.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
namespace fs = std::filesystem;

namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every byte value, and more than one buffer of the copy loop.
std::string BinaryContents() {
    std::string s;
    for (int i = 0; i < 300000; ++i) {
        s += static_cast<char>((i * 7 + i / 256) & 0xFF);
    }
    return s;
}

struct FailureCase {
    const char* what;
    std::function<BOOL()> call;
    DWORD code;
};

void ExpectFailures(const std::vector<FailureCase>& cases) {
    for (const FailureCase& c : cases) {
        SetLastError(0);
        EXPECT_FALSE(c.call()) << c.what;
        EXPECT_EQ(GetLastError(), c.code) << c.what;
    }
}

}  // namespace

TEST(FileSystem, CreateDirectoryAndExistenceTests) {
    lkmdb7_test::TempDir dir;
    const std::string folder = dir.File("new");
    EXPECT_FALSE(PathExists(folder.c_str()));
    EXPECT_TRUE(CreateDirectoryA(folder.c_str()));
    EXPECT_TRUE(PathExists(folder.c_str()));
    EXPECT_TRUE(FolderExists(folder.c_str()));
    WriteFile(dir.File("file"), "x");
    EXPECT_TRUE(PathExists(dir.File("file").c_str()));
    EXPECT_FALSE(FolderExists(dir.File("file").c_str()));
    EXPECT_FALSE(PathExists(""));
    EXPECT_FALSE(PathExists(nullptr));

    ExpectFailures({
        {"existing folder", [&] { return CreateDirectoryA(folder.c_str()); }, ERROR_ALREADY_EXISTS},
        {"existing file", [&] { return CreateDirectoryA(dir.File("file").c_str()); },
         ERROR_ALREADY_EXISTS},
        {"missing parent",
         [&] { return CreateDirectoryA((fs::path(dir.File("no")) / "child").string().c_str()); },
         ERROR_PATH_NOT_FOUND},
    });
}

TEST(FileSystem, CopyWritesEveryByteAndKeepsPermissions) {
    lkmdb7_test::TempDir dir;
    const std::string from = dir.File("from");
    const std::string to = dir.File("to");
    const std::string contents = BinaryContents();
    WriteFile(from, contents);
    const auto perms = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(from, perms);

    ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), 1));
    EXPECT_EQ(ReadFile(to), contents);
    EXPECT_EQ(fs::status(to).permissions(), fs::status(from).permissions());

    // Replacing a longer target leaves none of its old bytes behind.
    WriteFile(to, contents + contents);
    WriteFile(from, "short");
    ASSERT_TRUE(CopyFileA(from.c_str(), to.c_str(), 0));
    EXPECT_EQ(ReadFile(to), "short");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2)
        << "no temporary file is left beside the target";
}

TEST(FileSystem, CopyFailuresLeaveTheTargetAlone) {
    lkmdb7_test::TempDir dir;
    const std::string from = dir.File("from");
    const std::string to = dir.File("to");
    WriteFile(from, "new");
    WriteFile(to, "old");
    fs::create_directory(dir.File("folder"));
    const std::string inMissing = (fs::path(dir.File("no")) / "x").string();

    ExpectFailures({
        {"target exists", [&] { return CopyFileA(from.c_str(), to.c_str(), 1); },
         ERROR_FILE_EXISTS},
        {"missing source", [&] { return CopyFileA(dir.File("none").c_str(), to.c_str(), 0); },
         ERROR_FILE_NOT_FOUND},
        {"source in missing folder", [&] { return CopyFileA(inMissing.c_str(), to.c_str(), 0); },
         ERROR_PATH_NOT_FOUND},
        {"target in missing folder", [&] { return CopyFileA(from.c_str(), inMissing.c_str(), 0); },
         ERROR_PATH_NOT_FOUND},
        {"target is a folder",
         [&] { return CopyFileA(from.c_str(), dir.File("folder").c_str(), 0); },
         ERROR_ACCESS_DENIED},
    });
    EXPECT_EQ(ReadFile(to), "old");
    EXPECT_FALSE(PathExists(inMissing.c_str()));
}

TEST(FileSystem, MoveNeverReplacesAndMoveReplaceDoes) {
    lkmdb7_test::TempDir dir;
    const std::string a = dir.File("a");
    const std::string b = dir.File("b");
    const std::string c = dir.File("c");
    WriteFile(a, "A");
    WriteFile(b, "B");

    ExpectFailures({
        {"move onto existing", [&] { return MoveFileA(a.c_str(), b.c_str()); },
         ERROR_ALREADY_EXISTS},
        {"move missing source", [&] { return MoveFileA(c.c_str(), dir.File("d").c_str()); },
         ERROR_FILE_NOT_FOUND},
        {"move into missing folder",
         [&] { return MoveFileA(a.c_str(), (fs::path(dir.File("no")) / "a").string().c_str()); },
         ERROR_PATH_NOT_FOUND},
        {"replace from missing source", [&] { return MoveFileReplace(c.c_str(), b.c_str()); },
         ERROR_FILE_NOT_FOUND},
    });
    EXPECT_EQ(ReadFile(a), "A");
    EXPECT_EQ(ReadFile(b), "B");

    ASSERT_TRUE(MoveFileA(a.c_str(), c.c_str()));
    EXPECT_FALSE(PathExists(a.c_str()));
    EXPECT_EQ(ReadFile(c), "A");

    ASSERT_TRUE(MoveFileReplace(c.c_str(), b.c_str()));
    EXPECT_FALSE(PathExists(c.c_str()));
    EXPECT_EQ(ReadFile(b), "A");

    // Folders move with their contents.
    fs::create_directories(fs::path(dir.File("f1")) / "inner");
    ASSERT_TRUE(MoveFileA(dir.File("f1").c_str(), dir.File("f2").c_str()));
    EXPECT_TRUE(FolderExists((fs::path(dir.File("f2")) / "inner").string().c_str()));
    EXPECT_TRUE(SyncFolder(dir.str().c_str()));
}

TEST(FileSystem, DeleteFileOnlyDeletesFiles) {
    lkmdb7_test::TempDir dir;
    WriteFile(dir.File("f"), "x");
    fs::create_directory(dir.File("folder"));
    ASSERT_TRUE(DeleteFileA(dir.File("f").c_str()));
    EXPECT_FALSE(PathExists(dir.File("f").c_str()));
    ExpectFailures({
        {"missing file", [&] { return DeleteFileA(dir.File("f").c_str()); }, ERROR_FILE_NOT_FOUND},
        {"missing folder",
         [&] { return DeleteFileA((fs::path(dir.File("no")) / "f").string().c_str()); },
         ERROR_PATH_NOT_FOUND},
        {"a folder", [&] { return DeleteFileA(dir.File("folder").c_str()); }, ERROR_ACCESS_DENIED},
    });
    EXPECT_TRUE(FolderExists(dir.File("folder").c_str()));
}

namespace {

// Refuses every move and counts the calls; everything else is the real file system.
class RefusingMoves : public FileSystem {
  public:
    BOOL MoveFileA(const char*, const char*) override {
        ++moves;
        SetLastError(ERROR_ACCESS_DENIED);
        return 0;
    }
    int moves = 0;
};

}  // namespace

TEST(FileSystem, ReplacementReceivesTheCallsUntilRemoved) {
    lkmdb7_test::TempDir dir;
    WriteFile(dir.File("a"), "A");
    RefusingMoves fake;
    FileSystem* real = SetFileSystem(&fake);
    ASSERT_NE(real, nullptr);
    EXPECT_EQ(&GetFileSystem(), &fake);
    EXPECT_FALSE(MoveFileA(dir.File("a").c_str(), dir.File("b").c_str()));
    EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);
    EXPECT_TRUE(PathExists(dir.File("a").c_str())) << "calls it does not override reach the OS";
    EXPECT_EQ(SetFileSystem(nullptr), &fake);
    EXPECT_EQ(&GetFileSystem(), real);
    EXPECT_TRUE(MoveFileA(dir.File("a").c_str(), dir.File("b").c_str()));
    EXPECT_EQ(fake.moves, 1);
}

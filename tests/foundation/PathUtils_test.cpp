#include "lkmdb7/foundation/PathUtils.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/internal/FileSystem.h"
#include "lkmdb7/platform/internal/PathSeparator.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;

namespace {

// Writes a path with '/' and turns it into the platform's form.
CString P(std::string text) {
    for (char& c : text) {
        if (c == '/') {
            c = kPathSeparator;
        }
    }
    return CString(text);
}

}  // namespace

TEST(PathUtils, JoinAddsOneSeparatorAndRemovesNone) {
    const struct {
        const char* path;
        const char* part;
        const char* joined;
    } cases[] = {
        {"C:/Data", "Files", "C:/Data/Files"},
        {"C:/Data/", "Files", "C:/Data/Files"},
        {"", "LockmeraDatabase.lkb", "LockmeraDatabase.lkb"},
        {"C:/Data", "", "C:/Data"},
        {"C:/Data/", "/Files", "C:/Data//Files"},
        {"C:/Data", "/Files", "C:/Data/Files"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(JoinPath(P(c.path), P(c.part)), P(c.joined)) << c.path << " + " << c.part;
        CString in_place = P(c.path);
        AppendPath(in_place, P(c.part));
        EXPECT_EQ(in_place, P(c.joined));
    }
}

TEST(PathUtils, FileNameAndFolder) {
    const struct {
        const char* path;
        const char* name;
    } names[] = {
        {"C:\\Data\\LockmeraDatabase.lkb", "LockmeraDatabase.lkb"},
        {"/home/u/LockmeraDatabase.lkb", "LockmeraDatabase.lkb"},
        {"C:\\Data/mixed.txt", "mixed.txt"},
        {"LockmeraDatabase.lkb", "LockmeraDatabase.lkb"},
        {"C:file.txt", "file.txt"},
        {"C:", ""},
        {"1:file.txt", "file.txt"},
        {"\xE9:file.txt", "file.txt"},
        {"a:b:c", "b:c"},
        {"C:\\Data\\", ""},
        {"", ""},
    };
    for (const auto& c : names) {
        EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
    }
    EXPECT_EQ(FolderOf(P("C:/Data/LockmeraDatabase.lkb")), P("C:/Data"));
    EXPECT_EQ(FolderOf(P("C:/Data/")), P("C:/Data"));
    EXPECT_EQ(FolderOf(P("/x")), "");
    EXPECT_EQ(FolderOf("LockmeraDatabase.lkb"), "");
}

TEST(PathUtils, ServerRoots) {
    EXPECT_TRUE(IsServerRoot("\\\\"));
    EXPECT_TRUE(IsServerRoot("\\\\server"));
    EXPECT_FALSE(IsServerRoot("\\\\server\\share"));
    EXPECT_FALSE(IsServerRoot("\\server"));
    EXPECT_FALSE(IsServerRoot("\\"));
    EXPECT_FALSE(IsServerRoot("C:\\"));
}

TEST(PathUtils, CreateFolderTreeMakesMissingParents) {
    lkmdb7_test::TempDir dir;
    const CString base(dir.str());
    const CString deep = JoinPath(base, P("a/b/c"));
    EXPECT_EQ(CreateFolderTree(deep), 0u);
    EXPECT_TRUE(FolderExists(deep));
    // Existing folders, with or without a trailing separator, are left as they are.
    EXPECT_EQ(CreateFolderTree(deep), 0u);
    EXPECT_EQ(CreateFolderTree(deep + kPathSeparator), 0u);

    std::ofstream(std::string(JoinPath(base, "file"))) << "x";
    EXPECT_EQ(CreateFolderTree(JoinPath(base, "file")), ERROR_ALREADY_EXISTS)
        << "a file is not the folder asked for";
    EXPECT_NE(CreateFolderTree(JoinPath(base, P("file/sub/leaf"))), 0u);
    EXPECT_FALSE(PathExists(JoinPath(base, P("file/sub"))));
}

TEST(PathUtils, TextMatches) {
    const struct {
        const char* haystack;
        const char* needle;
        bool matchCase;
        bool wholeWord;
        bool found;
    } cases[] = {
        {"cat catalog", "cat", true, true, true},
        {"catalog cat", "cat", true, true, true},  // the second occurrence counts
        {"catalog", "cat", true, true, false},
        {"catalog", "cat", true, false, true},
        {"xabcx", "ABC", false, false, true},
        {"xabcx", "ABC", false, true, false},
        {"xabcx", "ABC", true, false, false},
        {"a\tABC\r\n", "abc", false, true, true},
        {"a,abc", "abc", true, true, false},  // punctuation does not separate words
        {"ab", "abc", false, false, false},
        {"", "", true, false, true},
        {"text", "", true, false, true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TextMatches(c.haystack, c.needle, c.matchCase, c.wholeWord), c.found)
            << '"' << c.haystack << "\" / \"" << c.needle << "\" case " << c.matchCase << " word "
            << c.wholeWord;
    }
    CString haystack("ABC");
    CString needle("B");
    TextMatches(haystack, needle, false, false);
    EXPECT_EQ(haystack, "ABC") << "the caller's texts keep their case";
}

#include "lkmdb7/platform/internal/ProfileString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <string>

#include "lkmdb7/platform/Exceptions.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using lkmdb7_test::TempDir;

namespace {

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

constexpr DWORD kRoomy = 64;
constexpr char kGuard = '#';

struct Read {
    std::string text;
    DWORD returned;
    bool guardIntact;  // nothing written at or after out[size]
};

// Reads into a buffer larger than `size` so that a write past the end shows.
Read ReadValue(const std::string& file, const char* section, const char* key, const char* def,
               DWORD size) {
    std::string buffer(size + 16, kGuard);
    const DWORD n = GetPrivateProfileStringA(section, key, def, buffer.data(), size, file.c_str());
    const bool intact = buffer.find_first_not_of(kGuard, size) == std::string::npos;
    return {std::string(buffer.c_str()), n, intact};
}

const char* const kPreferences =
    "[Preferences iPhone]\n"
    "Current User=alice\n"
    "[User-iPhone-alice-alice]\n"
    "User Directory=/data/alice\n";

struct Case {
    const char* what;
    std::string contents;
    const char* section;
    const char* key;
    const char* def;
    DWORD size;
    const char* expected;
};

const Case kCases[] = {
    {"exact names", kPreferences, "Preferences iPhone", "Current User", "d", kRoomy, "alice"},
    {"names without regard to case", kPreferences, "preferences IPHONE", "CURRENT user", "d",
     kRoomy, "alice"},
    {"second section", kPreferences, "User-iPhone-alice-alice", "User Directory", "d", kRoomy,
     "/data/alice"},
    {"missing section", kPreferences, "Preferences", "Current User", "dflt", kRoomy, "dflt"},
    {"missing key", kPreferences, "Preferences iPhone", "Current", "dflt", kRoomy, "dflt"},
    {"key of another section", kPreferences, "Preferences iPhone", "User Directory", "dflt", kRoomy,
     "dflt"},
    {"null default", kPreferences, "Preferences iPhone", "Missing", nullptr, kRoomy, ""},
    {"value cut to size - 1", kPreferences, "Preferences iPhone", "Current User", "d", 4, "ali"},
    {"value that just fits", kPreferences, "Preferences iPhone", "Current User", "d", 6, "alice"},
    {"size 1 leaves only the terminator", kPreferences, "Preferences iPhone", "Current User", "d",
     1, ""},
    {"default cut to size - 1", kPreferences, "Preferences iPhone", "Missing", "default", 4, "def"},
    {"blanks around names and values", "  [s]  \n \t key \t=  two  inner  blanks \t \n", "s", "key",
     "d", kRoomy, "two  inner  blanks"},
    {"blanks inside the brackets", "[ s ]\nk=v\n", "s", "k", "d", kRoomy, "v"},
    {"double quotes", "[s]\nk = \"quoted value\" \n", "s", "k", "d", kRoomy, "quoted value"},
    {"single quotes", "[s]\nk='single'\n", "s", "k", "d", kRoomy, "single"},
    {"blanks inside quotes stay", "[s]\nk=\"  kept  \"\n", "s", "k", "d", kRoomy, "  kept  "},
    {"mismatched quotes stay", "[s]\nk=\"mixed'\n", "s", "k", "d", kRoomy, "\"mixed'"},
    {"lone quote stays", "[s]\nk=\"\n", "s", "k", "d", kRoomy, "\""},
    {"empty quotes", "[s]\nk=\"\"\n", "s", "k", "d", kRoomy, ""},
    {"only the outer pair goes", "[s]\nk=\"a\"b\"\n", "s", "k", "d", kRoomy, "a\"b"},
    {"quotes removed before cutting", "[s]\nk=\"abcdef\"\n", "s", "k", "d", 4, "abc"},
    {"empty value is not missing", "[s]\nk=\n", "s", "k", "d", kRoomy, ""},
    {"value holding '='", "[s]\nk=a=b\n", "s", "k", "d", kRoomy, "a=b"},
    {"comment line", "[s]\n;k=commented\nk=real\n", "s", "k", "d", kRoomy, "real"},
    {"';' after the value is part of it", "[s]\nk=v ; note\n", "s", "k", "d", kRoomy, "v ; note"},
    {"lines without '=' are skipped", "[s]\ngarbage line\nk=v\n", "s", "k", "d", kRoomy, "v"},
    {"key line without '='", "[s]\nk\n", "s", "k", "d", kRoomy, "d"},
    {"unclosed bracket is no section", "[s]\n[broken\nk=v\n", "s", "k", "d", kRoomy, "v"},
    {"text after the bracket", "[s] trailing\nk=v\n", "s", "k", "d", kRoomy, "v"},
    {"name ends at the last bracket", "[s]x]\nk=v\n[s]\nk=w\n", "s]x", "k", "d", kRoomy, "v"},
    {"keys before the first section", "k=v\n[s]\nj=w\n", "s", "k", "d", kRoomy, "d"},
    {"no final newline", "[s]\nk=v", "s", "k", "d", kRoomy, "v"},
    {"CRLF", "[s]\r\nk = v \r\nj=w\r\n", "s", "k", "d", kRoomy, "v"},
    {"CR alone ends a line", "[s]\rk=a\rb=c\r", "s", "b", "d", kRoomy, "c"},
    {"UTF-8 byte-order mark", "\xEF\xBB\xBF[s]\nk=v\n", "s", "k", "d", kRoomy, "v"},
    {"first of duplicate keys", "[s]\nk=1\nk=2\n", "s", "k", "d", kRoomy, "1"},
    {"first of duplicate sections", "[s]\nk=1\n[S]\nk=2\n", "s", "k", "d", kRoomy, "1"},
    {"later duplicate section not searched", "[s]\nk=1\n[t]\n[s]\nj=2\n", "s", "j", "d", kRoomy,
     "d"},
    {"empty file", "", "s", "k", "d", kRoomy, "d"},
};

}  // namespace

TEST(ProfileString, ReadsValuesAsWindowsDoes) {
    TempDir dir;
    const std::string file = dir.File("Preferences.ini");
    for (const Case& c : kCases) {
        WriteFile(file, c.contents);
        const Read r = ReadValue(file, c.section, c.key, c.def, c.size);
        EXPECT_EQ(r.text, c.expected) << c.what;
        EXPECT_EQ(r.returned, std::strlen(c.expected)) << c.what;
        EXPECT_TRUE(r.guardIntact) << c.what;
    }
}

TEST(ProfileString, MissingOrUnreadableFileGivesTheDefault) {
    TempDir dir;
    for (const std::string& file : {dir.File("absent.ini"), dir.str()}) {
        const Read r = ReadValue(file, "s", "k", "fallback", kRoomy);
        EXPECT_EQ(r.text, "fallback") << file;
        EXPECT_EQ(r.returned, 8u) << file;
    }
}

// Lines and values longer than one read of the file, and a key found only past the first.
TEST(ProfileString, LongLinesAndLateKeys) {
    TempDir dir;
    const std::string file = dir.File("long.ini");
    const std::string longValue(10000, 'v');
    WriteFile(file, "[pad]\nfiller=" + std::string(9000, 'x') + "\n[s]\nlong=" + longValue +
                        "\r\nlast=end");
    EXPECT_EQ(ReadValue(file, "s", "last", "d", kRoomy).text, "end");
    const DWORD size = 12000;
    const Read r = ReadValue(file, "s", "long", "d", size);
    EXPECT_EQ(r.text, longValue);
    EXPECT_EQ(r.returned, longValue.size());
    const Read cut = ReadValue(file, "s", "long", "d", 4097);
    EXPECT_EQ(cut.returned, 4096u);
    EXPECT_TRUE(cut.guardIntact);
}

TEST(ProfileString, SizeZeroWritesNothing) {
    TempDir dir;
    const std::string file = dir.File("p.ini");
    WriteFile(file, kPreferences);
    const Read r = ReadValue(file, "Preferences iPhone", "Current User", "d", 0);
    EXPECT_EQ(r.returned, 0u);
    EXPECT_EQ(r.text, std::string(16, kGuard));
    EXPECT_EQ(GetPrivateProfileStringA("s", "k", "d", nullptr, 0, file.c_str()), 0u);
}

TEST(ProfileString, NullArgumentsAreRefused) {
    TempDir dir;
    const std::string file = dir.File("p.ini");
    const char* f = file.c_str();
    char out[8];
    EXPECT_THROW(GetPrivateProfileStringA(nullptr, "k", "d", out, 8, f), CInvalidArgException);
    EXPECT_THROW(GetPrivateProfileStringA("s", nullptr, "d", out, 8, f), CInvalidArgException);
    EXPECT_THROW(GetPrivateProfileStringA("s", "k", "d", out, 8, nullptr), CInvalidArgException);
    EXPECT_THROW(GetPrivateProfileStringA("s", "k", "d", nullptr, 8, f), CInvalidArgException);
}

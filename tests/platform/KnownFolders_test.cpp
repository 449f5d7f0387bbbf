#include "lkmdb7/platform/internal/KnownFolders.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/platform/Env.h"

using namespace LKMDB7;
using lkmdb7_test::ScopedEnv;

TEST(KnownFolders, PosixDocumentsFolderFollowsTheEnvironment) {
    if (lkmdb7_test::kWindows) {
        GTEST_SKIP() << "Windows asks the shell";
    }
    const struct {
        const char* xdg;
        const char* home;
        const char* expected;
    } cases[] = {
        {"/srv/docs", "/home/u", "/srv/docs"},
        {"/srv/docs/", "/home/u", "/srv/docs"},
        {nullptr, "/home/u", "/home/u/Documents"},
        {"", "/home/u", "/home/u/Documents"},
        {"relative/docs", "/home/u", "/home/u/Documents"},
        {nullptr, "/home/u/", "/home/u/Documents"},
        {nullptr, "/", "/Documents"},
        {nullptr, nullptr, ""},
        {nullptr, "", ""},
    };
    for (const auto& c : cases) {
        const ScopedEnv xdg("XDG_DOCUMENTS_DIR", c.xdg);
        const ScopedEnv home("HOME", c.home);
        EXPECT_EQ(GetPersonalFolder(), c.expected)
            << "XDG_DOCUMENTS_DIR=" << (c.xdg ? c.xdg : "(unset)")
            << " HOME=" << (c.home ? c.home : "(unset)");
    }
}

TEST(KnownFolders, WindowsDocumentsFolderExists) {
    if (!lkmdb7_test::kWindows) {
        GTEST_SKIP() << "POSIX reads the environment";
    }
    const CString folder = GetPersonalFolder();
    ASSERT_FALSE(folder.IsEmpty());
    EXPECT_TRUE(std::filesystem::is_directory(folder.GetString())) << folder.GetString();
    EXPECT_NE(folder.GetAt(folder.GetLength() - 1), '\\');
}

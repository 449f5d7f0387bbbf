// A Windows host that includes <windows.h> before the library: the integer types are the very
// types of the system headers, the system's ERROR_, WAIT_ and INFINITE macros stand in for the
// library's names of the same values, and values and pointers pass between the two APIs.
#include <windows.h>

#include <type_traits>

#include <gtest/gtest.h>

#include "lkmdb7/lkmdb7.h"
// The lock's mutex calls are the library's own, not installed, but they must mix all the same.
#include "lkmdb7/platform/internal/NamedMutex.h"

static_assert(std::is_same_v<::BYTE, LKMDB7::BYTE>);
static_assert(std::is_same_v<::WORD, LKMDB7::WORD>);
static_assert(std::is_same_v<::DWORD, LKMDB7::DWORD>);
static_assert(std::is_same_v<::LONG, LKMDB7::LONG>);
static_assert(std::is_same_v<::UINT, LKMDB7::UINT>);
static_assert(std::is_same_v<::BOOL, LKMDB7::BOOL>);
static_assert(std::is_same_v<::ULONGLONG, LKMDB7::ULONGLONG>);
static_assert(std::is_same_v<::LONGLONG, LKMDB7::LONGLONG>);
static_assert(std::is_same_v<::SCODE, LKMDB7::SCODE>);
static_assert(std::is_same_v<::HANDLE, LKMDB7::HANDLE>);

TEST(WindowsHeadersFirst, SystemAndLibraryNamesMix) {
    LKMDB7::SetLastError(ERROR_ACCESS_DENIED);
    DWORD code = LKMDB7::GetLastError();
    EXPECT_EQ(code, static_cast<DWORD>(ERROR_ACCESS_DENIED));
    DWORD* asSystem = &code;
    LKMDB7::DWORD* asLibrary = asSystem;
    EXPECT_EQ(*asLibrary, code);

    HANDLE mutex = LKMDB7::CreateMutexA(nullptr, FALSE, "lkmdb7-host-windows-first");
    ASSERT_NE(mutex, nullptr);
    EXPECT_EQ(LKMDB7::WaitForSingleObject(mutex, INFINITE), static_cast<DWORD>(WAIT_OBJECT_0));
    EXPECT_EQ(LKMDB7::ReleaseMutex(mutex), TRUE);
    EXPECT_EQ(LKMDB7::ReleaseMutex(mutex), FALSE);
    EXPECT_EQ(LKMDB7::GetLastError(), static_cast<DWORD>(ERROR_NOT_OWNER));
    EXPECT_EQ(LKMDB7::CloseHandle(mutex), TRUE);

    // The system's own calls, beside the library's.
    EXPECT_NE(::GetTickCount(), 0u);
    const LKMDB7::CString text("system and library");
    EXPECT_EQ(::lstrlenA(text), 18);
}

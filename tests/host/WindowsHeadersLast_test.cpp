// A Windows host that includes the library before <windows.h> and takes the library's names in
// with a using-directive: a type name found both globally and in LKMDB7 names one type, so it is
// not ambiguous.
#include <type_traits>

#include "lkmdb7/lkmdb7.h"
// The library's own clock and lock calls are not installed, but they must mix all the same.
#include "lkmdb7/platform/internal/Clock.h"
#include "lkmdb7/platform/internal/NamedMutex.h"

#include <windows.h>

#include <gtest/gtest.h>

namespace host {

using namespace LKMDB7;

static_assert(std::is_same_v<DWORD, ::DWORD>);

DWORD RecordsIn(CDatabaseObj7& db) {
    DWORD count = 0;
    for (const CRecord& record : Items(db.GetRecordList())) {
        count += record.IsDeleted() ? 0u : 1u;
    }
    return count;
}

}  // namespace host

TEST(WindowsHeadersLast, UsingDirectiveBesideSystemNames) {
    LKMDB7::CDatabaseObj7 db;
    db.GetRecordList().AddItem(new LKMDB7::CRecord);
    EXPECT_EQ(host::RecordsIn(db), 1u);

    // After <windows.h> the error names are its macros, of the same values.
    LKMDB7::SetLastError(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(LKMDB7::GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(LKMDB7::WaitObtained(WAIT_ABANDONED), true);
    SYSTEMTIME systemTime{};
    ::GetLocalTime(&systemTime);
    LKMDB7::SYSTEMTIME libraryTime{};
    LKMDB7::GetLocalTime(&libraryTime);
    EXPECT_EQ(systemTime.wYear, libraryTime.wYear);
}

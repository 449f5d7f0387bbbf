// A host that has names of its own which the library also uses: a global CString and CObject,
// its own DWORD of another width, and the classic TRUE/FALSE, RUNTIME_CLASS and
// VERSIONABLE_SCHEMA macros, all defined before the library's header.
#include <cstdint>
#include <string>
#include <type_traits>

class CString {
  public:
    explicit CString(const char* text) : text_(text) {}
    const std::string& Text() const { return text_; }

  private:
    std::string text_;
};
class CObject {};
using DWORD = std::uint64_t;
using POSITION = int;
#define TRUE 1
#define FALSE 0
#define VERSIONABLE_SCHEMA (0x80000000)
#define RUNTIME_CLASS(class_name) (static_cast<const char*>(#class_name))

#include <gtest/gtest.h>

#include "lkmdb7/lkmdb7.h"

TEST(HostWithOwnNames, BothSetsOfNamesWorkSideBySide) {
    const CString hostText("host");
    const LKMDB7::CString libraryText("library");
    EXPECT_EQ(hostText.Text(), "host");
    EXPECT_EQ(libraryText.str(), "library");
    static_assert(sizeof(DWORD) == 8 && sizeof(LKMDB7::DWORD) == 4);
    static_assert(!std::is_base_of_v<CObject, LKMDB7::CRecord>);
    EXPECT_STREQ(RUNTIME_CLASS(CRecord), "CRecord");
    EXPECT_STREQ(LKMDB7_RUNTIME_CLASS(LKMDB7::CRecord)->m_lpszClassName, "CRecord");

    LKMDB7::CDatabaseObj7 db;
    auto* record = new LKMDB7::CRecord;
    record->SetRecordID(42);
    db.GetRecordList().AddItem(record);
    int count = 0;
    for (const LKMDB7::CRecord& r : LKMDB7::Items(db.GetRecordList())) {
        EXPECT_EQ(r.GetRecordID(), 42u);
        ++count;
    }
    EXPECT_EQ(count, 1);
}

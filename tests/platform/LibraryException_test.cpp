// Exceptions thrown inside the shared library must reach the host intact: on Windows this only
// holds while the DLL and the program share one C++ runtime, so this guards the build setup.
#include <gtest/gtest.h>

#include <exception>
#include <string>

#include "lkmdb7/platform/CStringArray.h"
#include "lkmdb7/platform/Exceptions.h"

using namespace LKMDB7;

namespace {

void ReadPastEnd() {
    CStringArray a;
    a.SetSize(2);
    (void)a.GetAt(5);
}

}  // namespace

TEST(LibraryException, CaughtByExactTypeAndAsBases) {
    try {
        ReadPastEnd();
        FAIL() << "no exception";
    } catch (const CInvalidArgException& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("GetAt"), std::string::npos) << what;
        EXPECT_NE(what.find('5'), std::string::npos) << what;
    }

    try {
        ReadPastEnd();
        FAIL() << "no exception";
    } catch (const std::exception& e) {
        // The type identity survives the module boundary as well as the message.
        EXPECT_NE(dynamic_cast<const CInvalidArgException*>(&e), nullptr);
        EXPECT_NE(std::string(e.what()).find("GetAt"), std::string::npos);
    }

    EXPECT_THROW(ReadPastEnd(), CException);
}

TEST(LibraryException, MembersSurviveTheBoundary) {
    try {
        AfxThrowFileException(CFileException::accessDenied, 5, "C:\\data\\db.lkb");
        FAIL() << "no exception";
    } catch (const CFileException& e) {
        EXPECT_EQ(e.m_cause, CFileException::accessDenied);
        EXPECT_EQ(e.m_lOsError, 5);
        EXPECT_EQ(e.m_strFileName, "C:\\data\\db.lkb");
    }
}

#include "lkmdb7/platform/CFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/CMemFile.h"
#include "lkmdb7/platform/SystemError.h"
#include "tests/support/FailingFile.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;

using lkmdb7_test::FailingFile;
using lkmdb7_test::TempDir;
using ::testing::HasSubstr;
namespace fs = std::filesystem;

namespace {

constexpr UINT kCreate = CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive;
constexpr UINT kRead = CFile::modeRead | CFile::shareExclusive;

std::string Slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

template <class F>
CFileException FileError(F&& f) {
    try {
        f();
    } catch (const CFileException& e) {
        return e;
    }
    ADD_FAILURE() << "no CFileException";
    return CFileException(CFileException::none, -1, "", "");
}

}  // namespace

TEST(CFile, CreateWriteFlushReadBack) {
    TempDir dir;
    const std::string path = dir.File("LockmeraDatabase.lkb");
    CFile out;
    ASSERT_TRUE(out.Open(path.c_str(), kCreate));
    EXPECT_EQ(out.GetFilePath(), path.c_str());
    out.Write("hello, ", 7);
    out.Write("world", 5);
    out.Flush();
    EXPECT_EQ(out.GetLength(), 12u);
    out.Close();
    out.Close();  // closing twice is harmless
    EXPECT_EQ(Slurp(path), "hello, world");

    CFile in(path.c_str(), kRead);
    char buf[32] = {};
    EXPECT_EQ(in.Seek(7, CFile::begin), 7u);
    EXPECT_EQ(in.Read(buf, sizeof buf), 5u);  // short only at the end
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_EQ(in.Read(buf, sizeof buf), 0u);
    EXPECT_EQ(in.Seek(-5, CFile::end), 7u);
    EXPECT_EQ(in.GetPosition(), 7u);
    EXPECT_EQ(FileError([&] { in.Seek(-1, CFile::begin); }).m_cause, CFileException::badSeek);
    // Writing to a file opened for reading fails loudly.
    EXPECT_THROW(in.Write("x", 1), CFileException);
    in.Flush();  // nothing to flush on a read-only file
}

TEST(CFile, CreateTruncatesUnlessTold) {
    TempDir dir;
    const std::string path = dir.File("f.bin");
    std::ofstream(path, std::ios::binary) << "old contents";
    {
        CFile f(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeReadWrite);
        EXPECT_EQ(f.GetLength(), 12u);
        f.Write("OLD", 3);
    }
    EXPECT_EQ(Slurp(path), "OLD contents");
    { CFile f(path.c_str(), kCreate); }
    EXPECT_EQ(fs::file_size(path), 0u);
}

TEST(CFile, OpenFailuresReportCauseAndCode) {
    TempDir dir;
    struct Case {
        std::string path;
        UINT flags;
        int cause;
        DWORD code;
    };
    const Case cases[] = {
        {dir.File("missing.lkb"), kRead, CFileException::fileNotFound,
         LKMDB7::ERROR_FILE_NOT_FOUND},
        {dir.File("no/such/folder/x.lkb"), kCreate, CFileException::badPath,
         LKMDB7::ERROR_PATH_NOT_FOUND},
        {dir.str(), kRead, CFileException::accessDenied, LKMDB7::ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        CFile f;
        CFileException err(CFileException::none, -1, "", "");
        EXPECT_FALSE(f.Open(c.path.c_str(), c.flags, &err));
        EXPECT_EQ(err.m_cause, c.cause);
        EXPECT_EQ(err.m_lOsError, static_cast<LONG>(c.code));
        EXPECT_EQ(err.m_strFileName, c.path);
        EXPECT_THAT(err.what(), HasSubstr(c.path));
        EXPECT_FALSE(f.Open(c.path.c_str(), c.flags));  // without an exception object
    }
    EXPECT_EQ(FileError([&] { CFile f(dir.File("missing.lkb").c_str(), kRead); }).m_lOsError,
              static_cast<LONG>(LKMDB7::ERROR_FILE_NOT_FOUND));
}

TEST(CFile, ExclusiveOpenKeepsOthersOut) {
    TempDir dir;
    const std::string path = dir.File("LockmeraDatabase.lkb");
    CFile first(path.c_str(), kCreate);
    CFile second;
    CFileException err(CFileException::none, -1, "", "");
    if (second.Open(path.c_str(), kRead, &err)) {
        GTEST_SKIP() << "no share modes here";
    }
    EXPECT_EQ(err.m_cause, CFileException::sharingViolation);
    EXPECT_EQ(err.m_lOsError, static_cast<LONG>(LKMDB7::ERROR_SHARING_VIOLATION));
}

TEST(CFile, NewFilesAreReadableByTheOwnerOnly) {
    TempDir dir;
    // Only where the file system keeps separate group and other bits.
    const std::string probe = dir.File("probe");
    std::ofstream(probe) << "x";
    fs::permissions(probe, fs::perms::owner_read | fs::perms::owner_write);
    if (fs::status(probe).permissions() != (fs::perms::owner_read | fs::perms::owner_write)) {
        GTEST_SKIP() << "no POSIX permissions here";
    }
    const std::string path = dir.File("secret.lkb");
    CFile(path.c_str(), kCreate).Close();
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::mask,
              fs::perms::owner_read | fs::perms::owner_write);
}

TEST(CFile, FullDeviceReportsDiskFull) {
    if (!fs::exists("/dev/full")) {
        GTEST_SKIP() << "no /dev/full";
    }
    CFile f;
    ASSERT_TRUE(f.Open("/dev/full", CFile::modeWrite));
    const CFileException e = FileError([&] { f.Write("data", 4); });
    EXPECT_EQ(e.m_cause, CFileException::diskFull);
    EXPECT_EQ(e.m_lOsError, static_cast<LONG>(LKMDB7::ERROR_DISK_FULL));
}

TEST(CMemFile, GrowsSeeksAndKeepsItsBytes) {
    CMemFile f;
    f.Seek(3, CFile::begin);
    f.Write("ab", 2);
    EXPECT_EQ(f.Data(), (std::vector<BYTE>{0, 0, 0, 'a', 'b'}));
    f.SeekToBegin();
    char buf[8];
    EXPECT_EQ(f.Read(buf, sizeof buf), 5u);
    f.Close();
    EXPECT_EQ(f.GetLength(), 5u);
    EXPECT_EQ(FileError([&] { f.Seek(-6, CFile::end); }).m_cause, CFileException::badSeek);
    EXPECT_FALSE(f.Open("anything", kRead));
}

TEST(FailingFile, FailsWhereToldAndKeepsWhatFit) {
    FailingFile f(10);
    f.Write("0123456", 7);
    const CFileException e = FileError([&] { f.Write("789ABC", 6); });
    EXPECT_EQ(e.m_cause, CFileException::diskFull);
    EXPECT_EQ(e.m_lOsError, static_cast<LONG>(LKMDB7::ERROR_DISK_FULL));
    EXPECT_EQ(f.BytesWritten(), 10u);
    EXPECT_EQ(std::string(f.Data().begin(), f.Data().end()), "0123456789");

    f.FailFlush(static_cast<LONG>(LKMDB7::ERROR_IO_DEVICE));
    EXPECT_EQ(FileError([&] { f.Flush(); }).m_cause, CFileException::hardIO);
    f.FailClose(static_cast<LONG>(LKMDB7::ERROR_WRITE_FAULT));
    EXPECT_THROW(f.Close(), CFileException);

    FailingFile r;
    r.Data().assign(100, 7);
    r.FailReadAfter(40, static_cast<LONG>(LKMDB7::ERROR_READ_FAULT));
    char buf[64];
    EXPECT_EQ(r.Read(buf, 40), 40u);
    EXPECT_THROW(r.Read(buf, 1), CFileException);
}

TEST(FailingFile, ArchiveSurfacesWriteFailures) {
    // The failure shows when the buffer reaches the file: on a large write, or at Close.
    FailingFile f(30);
    CArchive ar(&f, CArchive::store);
    ar.WriteString(CString(std::string(50, 'x')));
    const CFileException e = FileError([&] { ar.Close(); });
    EXPECT_EQ(e.m_lOsError, static_cast<LONG>(LKMDB7::ERROR_DISK_FULL));
    EXPECT_EQ(f.BytesWritten(), 30u);

    FailingFile small(10);
    CArchive ar2(&small, CArchive::store);
    const std::string big(5000, 'y');
    EXPECT_THROW(ar2.Write(big.data(), static_cast<UINT>(big.size())), CFileException);
}

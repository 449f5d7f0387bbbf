#include "tests/support/FailingFile.h"

#include <algorithm>
#include <string>

using namespace LKMDB7;

namespace lkmdb7_test {

FailingFile::FailingFile(std::size_t writeLimit, LONG osError)
    : m_writeLimit(writeLimit), m_writeError(osError) {
    SetFilePath("failing.bin");
}

void FailingFile::Fail(LONG osError, const char* action) const {
    throw CFileException(CauseFromOsError(osError), osError, GetFilePath().str(),
                         GetFilePath().str() + ": " + action + " failed (" +
                             LKMDB7::DescribeError(static_cast<DWORD>(osError)) + ")");
}

UINT FailingFile::Read(void* buffer, UINT count) {
    const std::size_t allowed = m_readLimit - std::min(m_read, m_readLimit);
    const ULONGLONG left = GetLength() > GetPosition() ? GetLength() - GetPosition() : 0;
    if (std::min<ULONGLONG>(count, left) > allowed) {
        if (allowed > 0) {
            m_read += CMemFile::Read(buffer, static_cast<UINT>(allowed));
        }
        Fail(m_readError, "read");
    }
    const UINT got = CMemFile::Read(buffer, count);
    m_read += got;
    return got;
}

void FailingFile::Write(const void* buffer, UINT count) {
    const std::size_t allowed = m_writeLimit - std::min(m_written, m_writeLimit);
    if (count > allowed) {
        // A full disk takes what fits, then refuses the rest.
        CMemFile::Write(buffer, static_cast<UINT>(allowed));
        m_written += allowed;
        Fail(m_writeError, "write");
    }
    CMemFile::Write(buffer, count);
    m_written += count;
}

void FailingFile::Flush() {
    if (m_flushError != 0) {
        Fail(m_flushError, "flush");
    }
}

void FailingFile::Close() {
    CMemFile::Close();
    if (m_closeError != 0) {
        Fail(m_closeError, "close");
    }
}

}  // namespace lkmdb7_test

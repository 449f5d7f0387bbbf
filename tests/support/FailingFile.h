// A memory file that fails the way disks do: writes stop after a number of bytes (the bytes up
// to the limit are kept, then CFileException is raised), and Flush, Close or reads can fail too.
#pragma once

#include <cstddef>
#include <limits>

#include "lkmdb7/platform/CMemFile.h"
#include "lkmdb7/platform/SystemError.h"

namespace lkmdb7_test {

using LKMDB7::CMemFile;
using LKMDB7::LONG;
using LKMDB7::UINT;

class FailingFile : public CMemFile {
  public:
    static constexpr std::size_t kNever = std::numeric_limits<std::size_t>::max();

    // Writing fails once writeLimit bytes have been written, with osError (disk full unless
    // told otherwise).
    explicit FailingFile(std::size_t writeLimit = kNever,
                         LONG osError = static_cast<LONG>(LKMDB7::ERROR_DISK_FULL));

    void FailFlush(LONG osError) { m_flushError = osError; }
    void FailClose(LONG osError) { m_closeError = osError; }
    // Reading fails once readLimit bytes have been read.
    void FailReadAfter(std::size_t readLimit, LONG osError) {
        m_readLimit = readLimit;
        m_readError = osError;
    }

    std::size_t BytesWritten() const { return m_written; }

    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    void Flush() override;
    void Close() override;

  private:
    [[noreturn]] void Fail(LONG osError, const char* action) const;

    std::size_t m_writeLimit;
    LONG m_writeError;
    std::size_t m_written = 0;
    std::size_t m_readLimit = kNever;
    LONG m_readError = 0;
    std::size_t m_read = 0;
    LONG m_flushError = 0;
    LONG m_closeError = 0;
};

}  // namespace lkmdb7_test

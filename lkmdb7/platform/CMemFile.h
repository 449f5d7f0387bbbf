// A file held in memory: it grows as it is written and keeps its bytes after Close, so the bytes
// that an archive produced can be inspected, and bytes from anywhere can be read as a file.
#pragma once

#include <cstddef>
#include <vector>

#include "lkmdb7/platform/CFile.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// See the top of this header.
class LKMDB7_EXPORT CMemFile : public CFile {
  public:
    CMemFile() = default;  // empty
    // Starts over a copy of the bytes, positioned at the start.
    CMemFile(const BYTE* data, std::size_t size);
    explicit CMemFile(std::vector<BYTE> data);  // starts over data, taken, at the start

    // @{
    // The file's bytes; writes through this change the file. The length is data.size().
    std::vector<BYTE>& Data() { return m_data; }
    const std::vector<BYTE>& Data() const { return m_data; }
    // @}

    // A memory file has no path to open: always false, with ERROR_NOT_SUPPORTED.
    bool Open(const char* path, UINT flags, CFileException* err = nullptr) override;
    // Copies up to count bytes from the position on; returns how many (0 at or past the end).
    UINT Read(void* buffer, UINT count) override;
    // Writing past the end fills the gap with zeros. Growth beyond memory raises
    // CMemoryException.
    void Write(const void* buffer, UINT count) override;
    // Any position from the start on is allowed, past the end too.
    ULONGLONG Seek(LONGLONG offset, UINT from) override;
    ULONGLONG GetPosition() const override { return m_pos; }
    ULONGLONG GetLength() const override { return m_data.size(); }
    void Flush() override {}  // nothing to write out
    // The bytes stay; only the position returns to the start.
    void Close() override { m_pos = 0; }
    void Abort() override { m_pos = 0; }  // as Close

  private:
    std::vector<BYTE> m_data;
    ULONGLONG m_pos = 0;
};

}  // namespace LKMDB7

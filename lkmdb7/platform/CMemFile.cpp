#include "lkmdb7/platform/CMemFile.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>
#include <utility>

#include "lkmdb7/platform/SystemError.h"

namespace LKMDB7 {

CMemFile::CMemFile(const BYTE* data, std::size_t size) : m_data(data, data + size) {}

CMemFile::CMemFile(std::vector<BYTE> data) : m_data(std::move(data)) {}

bool CMemFile::Open(const char* path, UINT /*flags*/, CFileException* err) {
    if (err != nullptr) {
        const LONG code = static_cast<LONG>(ERROR_NOT_SUPPORTED);
        *err = CFileException(CauseFromOsError(code), code, path != nullptr ? path : "",
                              "a memory file cannot open a path");
    }
    return false;
}

UINT CMemFile::Read(void* buffer, UINT count) {
    if (count == 0 || m_pos >= m_data.size()) {
        return 0;
    }
    const std::size_t pos = static_cast<std::size_t>(m_pos);
    const std::size_t n = std::min<std::size_t>(count, m_data.size() - pos);
    std::memcpy(buffer, m_data.data() + pos, n);
    m_pos += n;
    return static_cast<UINT>(n);
}

void CMemFile::Write(const void* buffer, UINT count) {
    if (count == 0) {
        return;
    }
    constexpr ULONGLONG kMax = std::numeric_limits<std::size_t>::max();
    if (m_pos > kMax - count) {
        AfxThrowMemoryException();
    }
    const std::size_t pos = static_cast<std::size_t>(m_pos);
    if (pos + count > m_data.size()) {
        try {
            m_data.resize(pos + count);
        } catch (const std::bad_alloc&) {
            AfxThrowMemoryException();
        } catch (const std::length_error&) {
            AfxThrowMemoryException();
        }
    }
    std::memcpy(m_data.data() + pos, buffer, count);
    m_pos += count;
}

ULONGLONG CMemFile::Seek(LONGLONG offset, UINT from) {
    LONGLONG base = 0;
    switch (from) {
        case begin:
            base = 0;
            break;
        case current:
            base = static_cast<LONGLONG>(m_pos);
            break;
        case end:
            base = static_cast<LONGLONG>(m_data.size());
            break;
        default:
            ThrowOsError(static_cast<LONG>(ERROR_INVALID_PARAMETER), "seek",
                         CFileException::badSeek);
    }
    // base is never negative, so only a large positive offset can overflow.
    if ((offset < 0 && base + offset < 0) ||
        (offset > 0 && offset > std::numeric_limits<LONGLONG>::max() - base)) {
        ThrowOsError(static_cast<LONG>(ERROR_INVALID_PARAMETER), "seek", CFileException::badSeek);
    }
    m_pos = static_cast<ULONGLONG>(base + offset);
    return m_pos;
}

}  // namespace LKMDB7

#include "lkmdb7/platform/Exceptions.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace LKMDB7 {

CException::CException(std::string message) : message_(std::move(message)) {}

const char* CException::what() const noexcept {
    return message_.c_str();
}

bool CException::GetErrorMessage(char* buf, UINT max) const {
    if (buf == nullptr || max == 0) {
        return false;
    }
    const std::size_t n = std::min<std::size_t>(message_.size(), max - 1);
    std::memcpy(buf, message_.data(), n);
    buf[n] = '\0';
    return !message_.empty();
}

CMemoryException::CMemoryException() : CException("out of memory") {}

CInvalidArgException::CInvalidArgException(std::string message) : CException(std::move(message)) {}

CArchiveException::CArchiveException(int cause, std::string message)
    : CException(std::move(message)), m_cause(cause) {}

CFileException::CFileException(int cause, LONG osError, std::string fileName, std::string message)
    : CException(std::move(message)),
      m_cause(cause),
      m_lOsError(osError),
      m_strFileName(std::move(fileName)) {}

COleException::COleException(SCODE sc, std::string message)
    : CException(std::move(message)), m_sc(sc) {}

void AfxThrowMemoryException() {
    throw CMemoryException();
}

void AfxThrowInvalidArgException(const std::string& what) {
    throw CInvalidArgException(what);
}

void AfxThrowArchiveException(int cause, const std::string& what) {
    throw CArchiveException(cause, what);
}

void AfxThrowFileException(int cause, LONG osError, const std::string& fileName) {
    throw CFileException(cause, osError, fileName,
                         fileName + ": file error " + std::to_string(osError));
}

void AfxThrowOleException(SCODE sc, const std::string& what) {
    throw COleException(sc, what);
}

}  // namespace LKMDB7

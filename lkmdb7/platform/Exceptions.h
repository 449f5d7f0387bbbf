// The exception family of the platform layer. Everything is thrown by value and caught by
// reference; CException derives from std::exception so what() names what went wrong and where.
#pragma once

#include <exception>
#include <string>

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

class LKMDB7_EXPORT CException : public std::exception {
  public:
    explicit CException(std::string message);
    const char* what() const noexcept override;
    // Copies the message into buf (at most max bytes, terminated); returns true when there is one.
    bool GetErrorMessage(char* buf, UINT max) const;

  private:
    std::string message_;
};

class LKMDB7_EXPORT CMemoryException : public CException {
  public:
    CMemoryException();
};

class LKMDB7_EXPORT CInvalidArgException : public CException {
  public:
    explicit CInvalidArgException(std::string message);
};

class LKMDB7_EXPORT CArchiveException : public CException {
  public:
    // Cause numbers of the platform's archive exception.
    enum {
        none = 0,
        genericException = 1,
        readOnly = 2,
        endOfFile = 3,
        writeOnly = 4,
        badIndex = 5,
        badClass = 6,
        badSchema = 7
    };
    CArchiveException(int cause, std::string message);
    int m_cause;
};

class LKMDB7_EXPORT CFileException : public CException {
  public:
    // Cause numbers of the platform's file exception.
    enum {
        none = 0,
        genericException = 1,
        fileNotFound = 2,
        badPath = 3,
        tooManyOpenFiles = 4,
        accessDenied = 5,
        invalidFile = 6,
        removeCurrentDir = 7,
        directoryFull = 8,
        badSeek = 9,
        hardIO = 10,
        sharingViolation = 11,
        lockViolation = 12,
        diskFull = 13,
        endOfFile = 14
    };
    CFileException(int cause, LONG osError, std::string fileName, std::string message);
    int m_cause;
    LONG m_lOsError;  // Windows error code (the same codes on POSIX); -1 when none
    std::string m_strFileName;
};

class LKMDB7_EXPORT COleException : public CException {
  public:
    COleException(SCODE sc, std::string message);
    SCODE m_sc;
};

// Raisers, named as the platform names them. Each throws and never returns.
[[noreturn]] LKMDB7_EXPORT void AfxThrowMemoryException();
[[noreturn]] LKMDB7_EXPORT void AfxThrowInvalidArgException(
    const std::string& what = "invalid argument");
[[noreturn]] LKMDB7_EXPORT void AfxThrowArchiveException(int cause, const std::string& what);
[[noreturn]] LKMDB7_EXPORT void AfxThrowFileException(int cause, LONG osError,
                                                      const std::string& fileName);
[[noreturn]] LKMDB7_EXPORT void AfxThrowOleException(SCODE sc, const std::string& what);

}  // namespace LKMDB7

// The exception family of the platform layer. Everything is thrown by value and caught by
// reference; CException derives from std::exception so what() names what went wrong and where.
#pragma once

#include <exception>
#include <string>

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// The base of the family: a message.
class LKMDB7_EXPORT CException : public std::exception {
  public:
    explicit CException(std::string message);    // message is what what() returns
    const char* what() const noexcept override;  // the message; valid as long as the exception
    // Copies the message into buf (at most max bytes, terminated); returns true when there is one.
    bool GetErrorMessage(char* buf, UINT max) const;

  private:
    std::string message_;
};

// Memory ran out.
class LKMDB7_EXPORT CMemoryException : public CException {
  public:
    CMemoryException();  // "out of memory"
};

// A bad argument or index; the message names the operation and the value.
class LKMDB7_EXPORT CInvalidArgException : public CException {
  public:
    explicit CInvalidArgException(std::string message);  // message as what() returns it
};

// A file or stream that is short or malformed; the message names the file, the offset and the
// field.
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
    CArchiveException(int cause, std::string message);  // a cause number from above
    int m_cause;                                        // a cause number from above
};

// A file that cannot be opened, read, written or closed.
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
    // Takes every value as given; message is what what() returns.
    CFileException(int cause, LONG osError, std::string fileName, std::string message);
    int m_cause;                // a cause number from above
    LONG m_lOsError;            // Windows error code (the same codes on POSIX); -1 when none
    std::string m_strFileName;  // the file's path as it was given
};

// A failure with an HRESULT-style status code.
class LKMDB7_EXPORT COleException : public CException {
  public:
    COleException(SCODE sc, std::string message);  // message as what() returns it
    SCODE m_sc;                                    // the status code
};

// Raisers, named as the platform names them. Each throws and never returns.
[[noreturn]] LKMDB7_EXPORT void AfxThrowMemoryException();  // throws CMemoryException
// Throws CInvalidArgException with the message what.
[[noreturn]] LKMDB7_EXPORT void AfxThrowInvalidArgException(
    const std::string& what = "invalid argument");
// Throws CArchiveException with this cause and the message what.
[[noreturn]] LKMDB7_EXPORT void AfxThrowArchiveException(int cause, const std::string& what);
// Throws CFileException with these values and the message "<fileName>: file error <osError>".
[[noreturn]] LKMDB7_EXPORT void AfxThrowFileException(int cause, LONG osError,
                                                      const std::string& fileName);
// Throws COleException with this code and the message what.
[[noreturn]] LKMDB7_EXPORT void AfxThrowOleException(SCODE sc, const std::string& what);

}  // namespace LKMDB7

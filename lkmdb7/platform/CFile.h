// A file on disk, read and written as raw bytes. The operations are virtual so that a memory file
// (CMemFile) or a test double can stand in wherever a CFile is taken. OS error codes in the
// exceptions are Windows codes on every platform (lkmdb7/platform/SystemError.h).
#pragma once

#include <cstdint>

#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Exceptions.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// A file of the operating system, opened for one operation; see the top of this header.
class LKMDB7_EXPORT CFile {
  public:
    // Open's flags; combine with |.
    enum OpenFlags : UINT {
        modeRead = 0x0000,       // read only
        modeWrite = 0x0001,      // write only
        modeReadWrite = 0x0002,  // read and write
        // Windows share modes. POSIX has none: there every open may share, and mutual exclusion
        // of the database file comes from the database lock, not from here.
        shareExclusive = 0x0010,  // no other open
        shareDenyWrite = 0x0020,  // others may only read
        shareDenyNone = 0x0040,   // others may read and write
        modeCreate = 0x1000,      // create, or cut an existing file to length 0 ...
        modeNoTruncate = 0x2000,  // ... unless this is set too
        // Creates a new file and fails with ERROR_FILE_EXISTS when the name exists in any form,
        // a symbolic link included, which is never followed (POSIX O_CREAT|O_EXCL|O_NOFOLLOW,
        // Windows CREATE_NEW). Implies modeCreate.
        modeCreateNew = 0x4000,
        typeBinary = 0x8000  // files are always binary; accepted for the platform's sake
    };
    // What Seek's offset counts from.
    enum SeekPosition : UINT {
        begin = 0,    // the start of the file
        current = 1,  // the position
        end = 2       // the end of the file
    };

    CFile();  // not open
    // Opens at once; raises CFileException when the file cannot be opened.
    CFile(const char* path, UINT flags);
    // Closes without raising; a failure to close is lost, so callers that care call Close().
    virtual ~CFile();
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;

    // False when the file cannot be opened, with *err (when given) holding the cause, the Windows
    // error code and the path. A file that was open is closed first. Files created on POSIX get
    // mode 0600; a folder cannot be opened. Never raises for a failure to open.
    virtual bool Open(const char* path, UINT flags, CFileException* err = nullptr);
    // Up to count bytes; fewer only at the end of the file. Raises CFileException on an I/O error.
    virtual UINT Read(void* buffer, UINT count);
    // All count bytes or CFileException (a full disk gives cause diskFull, code 112).
    virtual void Write(const void* buffer, UINT count);
    // The new position from the start. A position before the start raises CFileException badSeek.
    virtual ULONGLONG Seek(LONGLONG offset, UINT from);
    // The position, in bytes from the start. Raises CFileException when the system cannot tell (a
    // file not open included).
    virtual ULONGLONG GetPosition() const;
    // The file's length in bytes. Raises CFileException when the system cannot tell (a file
    // not open included).
    virtual ULONGLONG GetLength() const;
    // Forces written data to stable storage (fsync, FlushFileBuffers); raises on failure. Does
    // nothing for a file opened for reading only.
    virtual void Flush();
    // Raises CFileException when the system reports a failure; the file is closed either way.
    // Closing a file that is not open does nothing.
    virtual void Close();
    // Closes and never raises.
    virtual void Abort();

    void SeekToBegin() { Seek(0, begin); }          // Seek(0, begin)
    ULONGLONG SeekToEnd() { return Seek(0, end); }  // Seek(0, end); returns the length
    // @{
    // The path the file was opened by, which messages name; setting it opens nothing.
    CString GetFilePath() const { return m_strFileName; }
    void SetFilePath(const CString& path) { m_strFileName = path; }
    // @}

    // The exception cause that matches a Windows error code.
    static int CauseFromOsError(LONG osError);

    static constexpr std::intptr_t hFileNull = -1;  // the handle of a file that is not open

  protected:
    // Raises CFileException for the current file, naming the failed action ("write"). The cause
    // follows from the error code unless given.
    [[noreturn]] void ThrowOsError(LONG osError, const char* action, int cause = -1) const;

    std::intptr_t m_hFile = hFileNull;  // the OS handle (descriptor or HANDLE)
    UINT m_nOpenFlags = 0;              // Open's flags
    CString m_strFileName;              // see GetFilePath
    // Bytes written since the system was last asked to start writing them out (POSIX backend).
    ULONGLONG m_unstarted = 0;
};

}  // namespace LKMDB7

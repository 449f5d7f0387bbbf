// CDatabaseStatus: how the last Load, Save, MoveToPath or backup operation of a database object
// ended - what kind of failure, the Windows error code when the system gave one, and a message
// that names the file and what failed there.
//
// The library's save and load path passes one status along and turns it into the public results
// only at the public methods (Result()); the database object keeps the last one
// (CDatabaseObj7::GetLastStatus), so a caller that got -1 can still tell a lock held elsewhere
// from a full disk. Copying a status may raise CMemoryException (its message is a CString).
#pragma once

#include "lkmdb7/platform/CString.h"
#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// A value: copied and kept by the caller as it likes; see the top of this header.
class LKMDB7_EXPORT CDatabaseStatus {
  public:
    // What ended the operation.
    enum Kind : int {
        kOk = 0,           // success
        kLockTimeout,      // another process held the database lock past the wait
        kLockFlag,         // the save was refused by Lock()
        kLockUnavailable,  // the lock could not be created or taken at all
        kIo,               // the file system refused or failed (code: a Windows error code)
        kFormat,           // the file or an item could not be read or written as a database
        kMemory            // memory ran out
    };

    CDatabaseStatus() = default;

    static CDatabaseStatus Ok() { return {}; }  // success, no message
    // A failure of this kind whose public result is -1; code is the system's error code, if any.
    // Throws CMemoryException when the message cannot be copied.
    static CDatabaseStatus Failure(Kind kind, const CString& message, DWORD code = 0);
    // A file that could not be opened, created or moved: the public result is the code.
    static CDatabaseStatus CannotOpen(DWORD code, const CString& message);
    // A failure once the file was open (write, flush, close, rename): the public result is -1.
    static CDatabaseStatus WriteFailed(DWORD code, const CString& message);
    // Out of memory; builds without allocating.
    static CDatabaseStatus OutOfMemory() noexcept;

    bool IsOk() const { return m_kind == kOk; }  // GetKind() is kOk
    Kind GetKind() const { return m_kind; }      // what ended the operation
    // The Windows error code behind an I/O failure or an unusable lock; 0 when there is none.
    DWORD GetCode() const { return m_code; }
    // "<file>: <what failed> (<reason>)"; for a status without a message, a fixed text of its
    // kind ("" for success).
    const char* GetMessage() const;

    // The public result of Load, Save and MoveToPath: 0 on success, the Windows error code of a
    // file that could not be opened, created or moved, and -1 for everything else.
    LONG Result() const;

  private:
    Kind m_kind = kOk;
    DWORD m_code = 0;
    bool m_codeIsResult = false;
    CString m_message;
};

}  // namespace LKMDB7

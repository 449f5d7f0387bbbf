#include "lkmdb7/database/DatabaseStatus.h"

namespace LKMDB7 {

CDatabaseStatus CDatabaseStatus::Failure(Kind kind, const CString& message, DWORD code) {
    CDatabaseStatus status;
    status.m_kind = kind;
    status.m_code = code;
    status.m_message = message;
    return status;
}

CDatabaseStatus CDatabaseStatus::CannotOpen(DWORD code, const CString& message) {
    CDatabaseStatus status = Failure(kIo, message, code);
    status.m_codeIsResult = code != 0;
    return status;
}

CDatabaseStatus CDatabaseStatus::WriteFailed(DWORD code, const CString& message) {
    return Failure(kIo, message, code);
}

CDatabaseStatus CDatabaseStatus::OutOfMemory() noexcept {
    CDatabaseStatus status;
    status.m_kind = kMemory;
    return status;
}

const char* CDatabaseStatus::GetMessage() const {
    if (!m_message.IsEmpty()) {
        return m_message;
    }
    switch (m_kind) {
        case kOk:
            return "";
        case kLockTimeout:
            return "the database lock was not obtained within 10 seconds";
        case kLockFlag:
            return "saving is switched off (Lock)";
        case kLockUnavailable:
            return "the database lock cannot be used";
        case kIo:
            return "the file system failed";
        case kFormat:
            return "the file is not a readable database";
        case kMemory:
            return "out of memory";
    }
    return "";
}

LONG CDatabaseStatus::Result() const {
    if (m_kind == kOk) {
        return 0;
    }
    return m_codeIsResult ? static_cast<LONG>(m_code) : -1;
}

}  // namespace LKMDB7

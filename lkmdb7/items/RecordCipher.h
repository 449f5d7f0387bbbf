// The process-wide record cipher: the Blowfish key schedule under which every packed record is
// enciphered and deciphered, or none.
//
// This file owns the one schedule of the process. Setting a new password (or clearing it) wipes
// the old schedule before it is freed. Not thread-safe: the library is used from one thread at a
// time, and changing the cipher while another thread packs records is a caller error.
#pragma once

#include <memory>

#include "lkmdb7/platform/Export.h"
#include "lkmdb7/platform/Types.h"

namespace LKMDB7 {

// A Blowfish key schedule; opaque outside the library.
struct BlowfishKey;

// Replaces the record cipher with one keyed by the bytes of password up to its terminator;
// a null or empty password leaves no cipher. May throw CMemoryException (the cipher is then none).
LKMDB7_EXPORT void SetRecordCipherPassword(const char* password);

// The schedule in force, or null. The pointer is valid until the next SetRecordCipherPassword.
LKMDB7_EXPORT const BlowfishKey* GetRecordCipher();

// Grows at every SetRecordCipherPassword, whatever it sets. Something enciphered when the count
// was n was enciphered under the cipher now in force exactly when the count is still n (a new
// schedule may well reuse the old one's address).
LKMDB7_EXPORT ULONGLONG GetRecordCipherGeneration();

// An owned schedule, wiped before it is freed: for changing the cipher and going back to the one
// before (CDatabaseObj7::ChangePassword).
struct LKMDB7_EXPORT RecordCipherDeleter {
    void operator()(BlowfishKey* key) const;  // wipes the schedule, then frees it
};
// An owned key schedule, wiped when freed.
using RecordCipherKey = std::unique_ptr<BlowfishKey, RecordCipherDeleter>;

// The schedule of password as SetRecordCipherPassword would make it (null for a null or empty
// password), not yet in force. May throw CMemoryException.
LKMDB7_EXPORT RecordCipherKey MakeRecordCipherKey(const char* password);
// Puts key in force (null: no cipher) and hands back the schedule that was; never throws.
LKMDB7_EXPORT RecordCipherKey ExchangeRecordCipher(RecordCipherKey key) noexcept;

}  // namespace LKMDB7

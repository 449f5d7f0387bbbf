#include "lkmdb7/items/RecordCipher.h"

#include <cstring>
#include <memory>
#include <new>

#include "lkmdb7/foundation/internal/Blowfish.h"
#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

namespace {

RecordCipherKey& Cipher() {
    static RecordCipherKey cipher;
    return cipher;
}

ULONGLONG g_generation = 0;

}  // namespace

void RecordCipherDeleter::operator()(BlowfishKey* key) const {
    BlowfishWipe(key);
    delete key;
}

RecordCipherKey MakeRecordCipherKey(const char* password) {
    if (password == nullptr || password[0] == '\0') {
        return nullptr;
    }
    RecordCipherKey key(new (std::nothrow) BlowfishKey);
    if (!key) {
        AfxThrowMemoryException();
    }
    BlowfishSetKey(key.get(), reinterpret_cast<const BYTE*>(password),
                   static_cast<int>(std::strlen(password)));
    return key;
}

RecordCipherKey ExchangeRecordCipher(RecordCipherKey key) noexcept {
    ++g_generation;
    RecordCipherKey before = std::move(Cipher());
    Cipher() = std::move(key);
    return before;
}

void SetRecordCipherPassword(const char* password) {
    ++g_generation;
    Cipher().reset();
    Cipher() = MakeRecordCipherKey(password);
}

const BlowfishKey* GetRecordCipher() {
    return Cipher().get();
}

ULONGLONG GetRecordCipherGeneration() {
    return g_generation;
}

}  // namespace LKMDB7

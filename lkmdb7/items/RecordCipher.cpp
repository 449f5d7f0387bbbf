#include "lkmdb7/items/RecordCipher.h"

#include <cstring>
#include <memory>
#include <new>

#include "lkmdb7/platform/Exceptions.h"

namespace LKMDB7 {

namespace {

struct WipingDelete {
    void operator()(BlowfishKey* key) const {
        BlowfishWipe(key);
        delete key;
    }
};

std::unique_ptr<BlowfishKey, WipingDelete>& Cipher() {
    static std::unique_ptr<BlowfishKey, WipingDelete> cipher;
    return cipher;
}

ULONGLONG g_generation = 0;

}  // namespace

void SetRecordCipherPassword(const char* password) {
    ++g_generation;
    Cipher().reset();
    if (password == nullptr || password[0] == '\0') {
        return;
    }
    std::unique_ptr<BlowfishKey, WipingDelete> key(new (std::nothrow) BlowfishKey);
    if (!key) {
        AfxThrowMemoryException();
    }
    BlowfishSetKey(key.get(), reinterpret_cast<const BYTE*>(password),
                   static_cast<int>(std::strlen(password)));
    Cipher() = std::move(key);
}

const BlowfishKey* GetRecordCipher() {
    return Cipher().get();
}

ULONGLONG GetRecordCipherGeneration() {
    return g_generation;
}

}  // namespace LKMDB7

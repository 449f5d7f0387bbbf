// Helpers for item tests: byte buffers, archives in memory, and a guard that restores the
// process-wide state (class schemas, record cipher) that tests change.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "lkmdb7/items/BaseItem.h"
#include "tests/support/ArchiveBytes.h"

namespace lkmdb7_test {

using LKMDB7::CObject;
using LKMDB7::UINT;

// Bytes of a text plus its zero byte.
inline Bytes Z(const std::string& text) {
    Bytes b(text.begin(), text.end());
    b.push_back(0);
    return b;
}

inline Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes& p : parts) {
        out = std::move(out) + p;
    }
    return out;
}

// Stamps the layout version of every item class and restores 9 and no record cipher at exit.
class ProcessStateGuard {
  public:
    ProcessStateGuard();
    ~ProcessStateGuard();
    ProcessStateGuard(const ProcessStateGuard&) = delete;
    ProcessStateGuard& operator=(const ProcessStateGuard&) = delete;
    static void SetLayoutVersion(UINT version);
};

// Writes the object's Serialize output to memory and returns the bytes.
Bytes StoreBody(CObject& object);
// Reads the bytes into the object through a loading archive.
void LoadBody(CObject& object, const Bytes& bytes);

}  // namespace lkmdb7_test

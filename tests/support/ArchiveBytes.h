// Helpers for tests that compare archive output with bytes written out by hand.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "lkmdb7/platform/CArchive.h"
#include "lkmdb7/platform/CMemFile.h"

namespace lkmdb7_test {

using LKMDB7::BYTE;
using LKMDB7::CArchive;
using LKMDB7::CMemFile;
using LKMDB7::DWORD;
using LKMDB7::WORD;

using Bytes = std::vector<BYTE>;

// Bytes from a mix of numbers and text: Join({0xFF, 0x00}, "abc").
inline Bytes Join(std::initializer_list<int> head, const std::string& text = {}) {
    // push_back rather than insert: g++ 12 at -O3 warns falsely about inserts of short ranges.
    Bytes out;
    out.reserve(head.size() + text.size());
    for (const int b : head) {
        out.push_back(static_cast<BYTE>(b));
    }
    for (const char c : text) {
        out.push_back(static_cast<BYTE>(c));
    }
    return out;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.reserve(a.size() + b.size());
    for (const BYTE x : b) {
        a.push_back(x);
    }
    return a;
}

// Little-endian integers and plain text as bytes, for fixtures written out by hand.
inline Bytes U16(WORD v) {
    return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8)};
}
inline Bytes U32(DWORD v) {
    return {static_cast<BYTE>(v), static_cast<BYTE>(v >> 8), static_cast<BYTE>(v >> 16),
            static_cast<BYTE>(v >> 24)};
}
inline Bytes Ascii(const std::string& text) {
    return Join({}, text);
}

// What an archive over an empty memory file holds after fill ran and the archive was closed.
inline Bytes Store(const std::function<void(CArchive&)>& fill, int bufSize = 4096) {
    CMemFile file;
    file.SetFilePath("test.bin");
    CArchive ar(&file, CArchive::store, bufSize);
    fill(ar);
    ar.Close();
    return file.Data();
}

}  // namespace lkmdb7_test

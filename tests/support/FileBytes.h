// The envelope of a database file written out by hand, for files of any version: the header, a
// class description and an item body around a packed record.
#pragma once

#include <string>

#include "tests/support/ItemTesting.h"

namespace lkmdb7_test {

// The header of a file: crib, create date, version, the icon name from version 5, reserved values.
inline Bytes Header(WORD version, const std::string& icon = "") {
    Bytes h = Cat({Bytes(40, 0), U32(0x01020304), U16(version)});
    if (version >= 5) {
        h = Cat({h, {static_cast<BYTE>(icon.size())}, Ascii(icon)});
    }
    return Cat({h, U16(0), U32(0), U32(0)});
}

// An item body around a packed record, for schema s.
inline Bytes Body(WORD s, const Bytes& record, DWORD recordID) {
    Bytes b = Cat({U32(static_cast<DWORD>(record.size())), record, U32(recordID)});
    if (s >= 6) {
        b = Cat({b, Bytes(8, 0xAA), U32(1600000000)});
    }
    b = Cat({b, U16(1), U16(0)});
    if (s <= 2) {
        b = Cat({b, U16(0)});
    }
    b = Cat({b, U16(0), U32(0), U32(0)});
    if (s >= 8) {
        b = Cat({b, {0x00, 0x00}, U32(0), U16(0)});
    }
    if (s >= 9) {
        b = Cat({b, U32(0), U16(0)});
    }
    return b;
}

inline Bytes NewClass(WORD schema, const std::string& name) {
    return Cat({{0xFF, 0xFF}, U16(schema), U16(static_cast<WORD>(name.size())), Ascii(name)});
}

}  // namespace lkmdb7_test

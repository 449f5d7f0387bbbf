#include "tests/support/OlderFiles.h"

#include "lkmdb7/items/PackedFormat.h"

namespace lkmdb7_test {

using namespace LKMDB7;

const Bytes kTypeId = {0, 0, 0, 0, 0, 0, 0, 7};
const Bytes kCatId = {1, 2, 3, 4, 5, 6, 7, 8};

// A packed record with its CRC-16 in bytes 0-1, as a file of a checksummed layout holds it.
Bytes Sealed(Bytes r) {
    const WORD crc = PackedRecordCrc(r.data(), r.size() - kPackedTailSize);
    r[0] = static_cast<BYTE>(crc >> 8);
    r[1] = static_cast<BYTE>(crc & 0xFF);
    return r;
}

// A current-form record of layout version v, typed kTypeId, in category kCatId.
Bytes RecordV(WORD v, const std::string& first) {
    Bytes r = Cat({{0, 0}, kTypeId, kCatId, U16(0), U16(0)});  // icon/mask big-endian 0
    const int fields = v < 6 ? kOldFormFieldCount : kFieldCount;
    r = Cat({r, Z(first)});
    for (int i = 1; i < fields; ++i)
        r = Cat({r, Z("")});
    r = Cat({r, Z("note")});
    if (v >= 7)
        r = Cat({r, Z("2"), Z(""), Z("")});
    return Sealed(Cat({r, Bytes(7, 0)}));
}

Bytes TypeV(WORD v, const std::string& name) {
    Bytes r = Cat({{0, 0}, kTypeId, U16(0), U16(0), Bytes(8, 0), Z(name)});
    const int labels = v < 6 ? kOldFormFieldCount : kFieldCount;
    for (int i = 0; i < labels; ++i)
        r = Cat({r, Z(i == 0 ? "Login" : "")});
    return Sealed(Cat({r, Bytes(7, 0)}));
}

Bytes CategoryRecord(const std::string& name) {
    return Sealed(Cat({{0, 0}, kCatId, Bytes(12, 0), Z(name), Bytes(7, 0)}));
}

// A whole file of version v (5 or more) with one record, one type and one category.
Bytes FileV(WORD v) {
    const Bytes columns = Cat({U32(15), Bytes(92, 0)});
    return Cat({Header(v, "icon.ico"), U16(1), NewClass(v, "CRecord"),
                Body(v, RecordV(v, "alice"), 11), U16(1), NewClass(v, "CTypeItem"),
                Body(v, TypeV(v, "Web"), 12), columns, U16(1), NewClass(v, "CCategoryItem"),
                Body(v, CategoryRecord("Home"), 13)});
}

// Version 4: no icon name, records and types in the second old form, no category list.
Bytes FileV4() {
    const Bytes rec = Cat({{0x00, 0x09, 0x05, 0x00, 0x00, 0x00},
                           Z("bob"),
                           Z(""),
                           Z(""),
                           Z(""),
                           Z(""),
                           Z(""),
                           Z("n")});
    const Bytes type = Cat({{0x00, 0x07, 0x03, 0x00, 0x00, 0x00},
                            Z("Card"),
                            Z("Number"),
                            Z(""),
                            Z(""),
                            Z(""),
                            Z(""),
                            Z("")});
    return Cat({Header(4), U16(1), NewClass(4, "CRecord"), Body(4, rec, 21), U16(1),
                NewClass(4, "CCategory"), Body(4, type, 22)});
}

// Versions 0 to 2: record types in the first old form, as plain categories, and one record (whose
// old form holds nothing a record reads).
Bytes FileV1(WORD v) {
    const Bytes type = Cat({{0x00, 0x07, 0x03, 0x00},
                            Z("Card"),
                            Z("Number"),
                            Z("Expiry"),
                            Z(""),
                            Z(""),
                            Z(""),
                            Z("")});
    const Bytes rec = Cat({{0x00, 0x09, 0x05, 0x00}, Z("ignored")});
    return Cat({Header(v), U16(1), NewClass(v, "CRecord"), Body(v, rec, 31), U16(1),
                NewClass(v, "CCategory"), Body(v, type, 32)});
}

Bytes FileV2() {
    return FileV1(2);
}

// Version 3: records in the current form with six fields, the types list of plain categories.
Bytes FileV3() {
    return Cat({Header(3), U16(1), NewClass(3, "CRecord"), Body(3, RecordV(3, "alice"), 11), U16(1),
                NewClass(3, "CCategory"), Body(3, TypeV(3, "Web"), 12)});
}

// A file of each version below the current one.
Bytes OlderFile(WORD v) {
    if (v <= 2) {
        return FileV1(v);
    }
    if (v == 3) {
        return FileV3();
    }
    return v == 4 ? FileV4() : FileV(v);
}

}  // namespace lkmdb7_test

#!/usr/bin/env python3
"""Known answers for packed records and one enciphered database file, computed without the library.

The CRC-16 (polynomial 0x1021, MSB first, no reflection, no final XOR) is written out below;
Blowfish is OpenSSL's (libcrypto's BF_set_key and BF_ecb_encrypt, reached through ctypes), keyed
with the password's bytes alone. Prints the annotated byte arrays that
tests/items/PackedKnownAnswers_test.cpp and tests/database/FileKnownAnswers_test.cpp hold; run it
and compare when a fixture is in doubt:

    python3 tests/data/packed_known_answers.py items
    python3 tests/data/packed_known_answers.py database
"""
import ctypes
import ctypes.util
import struct

PACKED_CRC_INITIAL = 1259
PASSWORD = b"hunter2"
TAIL = bytes([0xA0, 0xA1, 0xA2, 0xA3, 0xA4, 0xA5, 0xA6])  # the random tail, fixed here


def crc16(data, crc):
    for b in data:
        crc ^= b << 8
        for _ in range(8):
            crc = ((crc << 1) ^ 0x1021) if crc & 0x8000 else (crc << 1)
            crc &= 0xFFFF
    return crc


class Blowfish:
    def __init__(self, key):
        path = ctypes.util.find_library("crypto") or "libcrypto.so.3"
        self.lib = ctypes.CDLL(path)
        self.schedule = ctypes.create_string_buffer(4168 + 64)  # BF_KEY is 18 + 1024 words
        self.lib.BF_set_key(self.schedule, len(key), key)

    def encrypt(self, data):
        """Whole 8-byte blocks in ECB, big-endian halves; a shorter rest stays as it is."""
        out = bytearray(data)
        for at in range(0, len(data) - len(data) % 8, 8):
            block = ctypes.create_string_buffer(bytes(data[at:at + 8]), 8)
            result = ctypes.create_string_buffer(8)
            self.lib.BF_ecb_encrypt(block, result, self.schedule, 1)
            out[at:at + 8] = result.raw
        return bytes(out)


def be16(v):
    return struct.pack(">H", v)


def le16(v):
    return struct.pack("<H", v)


def le32(v):
    return struct.pack("<I", v)


def z(text):
    return text.encode("cp1252") + b"\0"


def packed(header, body, cipher):
    """header: (bytes, comment) of bytes 2 to 21; body: of bytes 22 to L-8. The parts of the
    whole record, tail included."""
    head = b"".join(p for p, _ in header)
    plain = b"".join(p for p, _ in body)
    assert len(head) == 20
    assert len(plain) % 8 == 0, "body must fill whole blocks (%d bytes)" % len(plain)
    crc = crc16(b"\0\0" + head + plain, PACKED_CRC_INITIAL)
    out = [(be16(crc), "CRC-16 from 1259 over bytes 0 to L-8")]
    out += header
    if cipher is None:
        out += body
    else:
        out.append((cipher.encrypt(plain), "body, enciphered in whole 8-byte blocks"))
    out.append((TAIL, "tail, fixed here (random when packed)"))
    return out


def category(cipher):
    return packed([(bytes(range(0x11, 0x19)), "unique ID"), (bytes(12), "zero")],
                  [(z("Banking"), 'name "Banking"')], cipher)


def type_item(cipher):
    labels = [z("User"), z("Password"), z("URL")] + [b"\0"] * 6 + [z("Other notes")]
    return packed([(bytes(range(0x21, 0x29)), "unique ID"), (be16(0x0105), "icon index 0x0105"),
                   (be16(0x0006), "default mask: fields 1 and 2 secret"), (bytes(8), "zero")],
                  [(z("Web"), 'name "Web"'),
                   (b"".join(labels), 'labels "User", "Password", "URL", 6 empty, "Other notes"')],
                  cipher)


def record(cipher):
    fields = [z("alice@example.com"), z("s3cret"), z("https://www.example.org")] + [b"\0"] * 7
    labels = [b"\0", z("PIN")] + [b"\0"] * 8
    return packed([(bytes(range(0x21, 0x29)), "type identifier"),
                   (bytes(range(0x11, 0x19)), "category identifier"),
                   (be16(0x0105), "icon index 0x0105"), (be16(0x0002), "field mask: field 1")],
                  [(b"".join(fields), 'fields "alice@example.com", "s3cret", "https://www.example.org", 7 empty'),
                   (z("one\ntwo"), 'note "one" CR LF "two", stored with LF'),
                   (z("12"), 'view count "12"'), (z("x.pdf"), 'attached file "x.pdf"'),
                   (z("k"), 'attachment key "k"'),
                   (b"".join(labels), 'labels: 1 is "PIN", the others empty')], cipher)


def body(record_parts, record_id, pk, stamp, needs_sync):
    n = sum(len(p) for p, _ in record_parts)
    return ([(le32(n), "N, length of the packed record")] +
            [(p, "  " + c) for p, c in record_parts] +
            [(le32(record_id), "record ID"), (pk, "PK identifier"), (le32(stamp), "time stamp"),
             (le16(needs_sync), "needs-sync"), (le16(0), "deleted"), (le16(0), "cloud-sync"),
             (le32(0), "attachment present"), (le32(0), "attachment deleted"),
             (b"\0\0", "extra strings 1 and 2: empty"), (le32(0), "extra value 1"),
             (le16(0), "extra value 2"), (le32(0), "extra value 3"), (le16(0), "item flags")])


def columns():
    entries = [(0, 27, 1, 1), (1, 140, 1, 0), (2, 140, 1, 0)] + \
        [(i, 85, 1, 0) for i in range(3, 13)] + [(13, 24, 1, 1), (14, 24, 1, 1)]
    block = le32(15) + b"".join(le16(a) + le16(b) + bytes([c, d]) for a, b, c, d in entries)
    return [(block + bytes(96 - len(block)), "column block: 15 default columns")]


def new_class(name):
    return [(b"\xff\xff", "new class"), (le16(9), "schema 9"), (le16(len(name)), "name length"),
            (name.encode(), '"%s"' % name)]


def database(cipher):
    crib = bytes(range(1, 41))
    return ([(crib, "crib, bytes 01 to 28"), (le32(0x01020304), "create date"),
             (le16(9), "version 9"), (b"\x06" + b"db.ico", 'icon file name "db.ico"'),
             (le16(0x0A0B), "reserved word"), (le32(0x11223344), "reserved value 1"),
             (le32(0x55667788), "reserved value 2"),
             (le16(1), "record count")] + new_class("CRecord") +
            body(record(cipher), 0xDC000001, bytes(range(0x31, 0x39)), 0x65000001, 1) +
            [(le16(1), "type count")] + new_class("CTypeItem") +
            body(type_item(cipher), 0xDC000002, bytes(range(0x21, 0x29)), 0x65000002, 0) +
            columns() + [(le16(1), "category count")] + new_class("CCategoryItem") +
            body(category(cipher), 0xDC000003, bytes(range(0x11, 0x19)), 0x65000003, 0))


def emit(name, parts):
    print("// %s: %d bytes" % (name, sum(len(p) for p, _ in parts)))
    print("const Bytes %s = {" % name)
    for data, comment in parts:
        inline = len(comment) <= 40
        if not inline:
            print("    // " + comment.strip())
        for at in range(0, len(data), 8):
            chunk = ", ".join("0x%02X" % b for b in data[at:at + 8])
            print("    %s,%s" % (chunk, "  // " + comment if at == 0 and inline else ""))
    print("};")


if __name__ == "__main__":
    import sys
    cipher = Blowfish(PASSWORD)
    if sys.argv[1:] == ["items"]:
        emit("kCategoryPlain", category(None))
        emit("kCategoryEnciphered", category(cipher))
        emit("kTypePlain", type_item(None))
        emit("kTypeEnciphered", type_item(cipher))
        emit("kRecordPlain", record(None))
        emit("kRecordEnciphered", record(cipher))
    elif sys.argv[1:] == ["database"]:
        emit("kDatabaseEnciphered", database(cipher))
    else:
        sys.exit("usage: packed_known_answers.py items|database")

// Helpers shared by the fuzz targets and the hostile-file tests: loading a database from bytes in
// memory, saving it back to bytes, and a canonical text dump of everything a save keeps, so that
// "load, save, reload gives the same database" can be checked by comparing two dumps.
//
// The dump holds the header values that have getters, and per item the packed form of its
// current content (bytes 0 to L-8, which cover every text, identifier, icon, mask and label
// that the packed record carries) plus the values kept outside it. Packing is deterministic
// apart from the random tail, which the dump leaves out. Dumping re-packs each item in place;
// a later save re-packs it anyway.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "lkmdb7/lkmdb7.h"

namespace lkmdb7_fuzz {

using LKMDB7::BYTE;
using LKMDB7::CArchive;
using LKMDB7::CColumnEntry;
using LKMDB7::CMemFile;
using LKMDB7::CShowColumns;
using LKMDB7::CString;
using LKMDB7::POSITION;

// Reads the whole database from bytes. Throws what the reader throws.
inline void LoadFromBytes(LKMDB7::CDatabaseObj7& db, const BYTE* data, std::size_t size) {
    CMemFile file(data, size);
    file.SetFilePath("fuzz.lkb");
    CArchive ar(&file, CArchive::load);
    db.Serialize(ar);
    ar.Close();
}

inline std::vector<BYTE> SaveToBytes(LKMDB7::CDatabaseObj7& db) {
    CMemFile file;
    file.SetFilePath("fuzz.lkb");
    CArchive ar(&file, CArchive::store);
    db.Serialize(ar);
    ar.Close();
    return file.Data();
}

namespace detail {

inline void Hex(std::string& out, const BYTE* p, std::size_t n) {
    static const char* const kDigits = "0123456789abcdef";
    for (std::size_t i = 0; i < n; ++i) {
        out += kDigits[p[i] >> 4];
        out += kDigits[p[i] & 0xF];
    }
}

inline void Field(std::string& out, const char* name, long long value) {
    out += ' ';
    out += name;
    out += '=';
    out += std::to_string(value);
}

inline void Item(std::string& out, LKMDB7::CBaseItem& item) {
    item.PackPalmRecord(false);
    const std::vector<BYTE>& packed = item.PalmRecord();
    out += "  ";
    out += item.GetRuntimeClass()->m_lpszClassName;
    Field(out, "id", item.GetRecordID());
    out += " pk=";
    Hex(out, item.GetPKID().Bytes(), 8);
    Field(out, "stamp", item.getTimeStamp());
    Field(out, "sync", item.NeedsSync());
    Field(out, "deleted", item.IsDeleted());
    Field(out, "cloud", item.getCloudSync());
    Field(out, "attached", item.AttachmentPresent());
    Field(out, "attachmentDeleted", item.IsAttachmentDeleted());
    Field(out, "flags", item.GetItemFlags());
    if (auto* type = dynamic_cast<LKMDB7::CTypeItem*>(&item)) {
        const CShowColumns& columns = type->GetColumnInfo();
        Field(out, "columns", columns.GetCount());
        for (int i = 0; i < CShowColumns::kEntryCount; ++i) {
            const CColumnEntry& e = columns.GetEntry(i);
            out += i == 0 ? ":" : ",";
            out += std::to_string(e.firstWord) + "/" + std::to_string(e.secondWord) + "/" +
                   std::to_string(e.firstByte) + "/" + std::to_string(e.secondByte);
        }
    }
    out += " packed=";
    const std::size_t plain = packed.size() - LKMDB7::kPackedTailSize;
    Hex(out, packed.data(), plain);
    out += '\n';
}

inline void List(std::string& out, const char* name, LKMDB7::CObjectList& list) {
    out += name;
    out += ' ';
    out += std::to_string(list.GetCount());
    out += '\n';
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        Item(out, *static_cast<LKMDB7::CBaseItem*>(list.GetNext(pos)));
    }
}

}  // namespace detail

// Everything that a save of db writes and that reading it back can observe.
inline std::string Dump(LKMDB7::CDatabaseObj7& db) {
    std::string out;
    BYTE crib[LKMDB7::kCribSize];
    db.GetCrib(crib);
    out += "crib=";
    detail::Hex(out, crib, sizeof crib);
    detail::Field(out, "created", db.GetPalmCreateDate());
    // A save writes an older version as the current one.
    detail::Field(
        out, "version",
        db.GetVersion() < LKMDB7::kCurrentVersion ? LKMDB7::kCurrentVersion : db.GetVersion());
    out += " icon=";
    const CString iconName = db.GetIconFileName();
    const std::string& icon = iconName.str();
    detail::Hex(out, reinterpret_cast<const BYTE*>(icon.data()), icon.size());
    out += '\n';
    detail::List(out, "records", db.GetRecordList());
    detail::List(out, "types", db.GetTypesList());
    detail::List(out, "categories", db.GetCategoryList());
    return out;
}

// The first line where two dumps differ, for a failure message.
inline std::string FirstDifference(const std::string& a, const std::string& b) {
    std::size_t line = 0;
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i]) {
        if (a[i] == '\n') {
            line = i + 1;
        }
        ++i;
    }
    const auto lineOf = [line](const std::string& s) {
        const std::size_t end = s.find('\n', line);
        return s.substr(line, end == std::string::npos ? std::string::npos : end - line);
    };
    return "before: " + lineOf(a) + "\nafter:  " + lineOf(b);
}

}  // namespace lkmdb7_fuzz

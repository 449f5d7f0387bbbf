#include "cli/import/Importer.h"

#include <ostream>
#include <utility>

#include "cli/Text1252.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

bool IsUnfiledName(const CString& name) {
    return name.IsEmpty() || name.CompareNoCase("Unfiled") == 0;
}

std::string FieldName(const ImportedRecord& r, std::size_t i) {
    if (i < r.labels.size() && !r.labels[i].empty()) {
        return r.labels[i];
    }
    return "field" + std::to_string(i + 1);
}

// Error lines quote the input's texts: on one line, escaped.
std::string OneLine(std::string text) {
    for (char& c : text) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return Printable(text);
}

}  // namespace

Importer::Importer(CDatabaseObj7& db, std::string inputName, Options options)
    : db_(db),
      name_(std::move(inputName)),
      replace_(options.replaceUnmappable),
      checkDuplicates_(!options.allowDuplicates) {
    if (!checkDuplicates_) {
        return;
    }
    CStringArray fields;
    fields.SetSize(kFieldCount);
    for (const CRecord& r : Items(std::as_const(db_.GetRecordList()))) {
        if (r.IsDeleted()) {
            continue;  // gone for the user, so no reason to skip a row
        }
        for (int i = 0; i < kFieldCount; ++i) {
            fields.SetAt(i, r.GetField(i, false));
        }
        known_.Insert(
            DigestOf(r.GetTypeID(), r.GetCategoryID(), r.GetMaskBits(), fields, 0, r.GetNote()));
    }
}

void Importer::NoteProblemRow(const std::string& where) {
    if (problemRows_ == 0 || where != lastProblemWhere_) {
        ++problemRows_;
        lastProblemWhere_ = where;
    }
}

void Importer::Problem(const std::string& where, const std::string& what) {
    problems_.push_back(name_ + (where.empty() ? "" : ": " + where) + ": " + what);
    NoteProblemRow(where);
}

void Importer::Malformed(const std::string& message) {
    problems_.push_back(message);
    NoteProblemRow(message);
}

bool Importer::Convert(const std::string& utf8, const std::string& where, const std::string& field,
                       CString& out) {
    // ASCII without zero bytes is the same in Windows-1252: no message context is built for it.
    bool ascii = true;
    for (const char c : utf8) {
        if (c == '\0' || static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        out = CString(utf8);
        return true;
    }
    bool unmappable = false;
    try {
        out = CString(ToWindows1252(utf8, where + ", " + field, [&](char32_t cp) {
            Unmappable& u = unmappable_[cp];
            if (u.count++ == 0) {
                u.firstWhere = where + ", " + field;
            }
            ++unmappableCount_;
            unmappable = true;
        }));
    } catch (const CliError& e) {
        // The message starts with `where, field`.
        problems_.push_back(name_ + ": " + e.what());
        NoteProblemRow(where);
        return false;
    }
    if (unmappable && !replace_) {
        NoteProblemRow(where);
        return false;
    }
    return true;
}

Importer::TypeInfo& Importer::Type(const CString& name) {
    const auto [it, added] = types_.try_emplace(name.str());
    TypeInfo& info = it->second;
    if (!added) {
        return info;
    }
    info.unfiled = IsUnfiledName(name);
    if (!info.unfiled) {
        info.item = db_.GetTypesList().GetTypeByName(name);
    }
    for (int i = 0; i < kFieldCount; ++i) {
        if (info.item != nullptr) {
            info.shown[static_cast<std::size_t>(i)] = info.item->GetCustom(i);
        } else {
            // What a record without a type shows, and the labels a new type starts with.
            info.shown[static_cast<std::size_t>(i)] = DefaultFieldLabel(i);
        }
    }
    return info;
}

RecordDigest Importer::DigestOf(const CUID& type, const CUID& category, WORD mask,
                                const CStringArray& texts, int firstField, const CString& note) {
    key_.assign(reinterpret_cast<const char*>(type.Bytes()), 8);
    key_.append(reinterpret_cast<const char*>(category.Bytes()), 8);
    key_ += static_cast<char>(mask & 0xFF);
    key_ += static_cast<char>(mask >> 8);
    for (int i = firstField; i < firstField + kFieldCount; ++i) {
        key_ += texts.GetAt(i).str();
        key_ += '\0';  // no stored text holds one
    }
    for (const char c : note.str()) {
        if (c != '\r') {
            key_ += c;
        }
    }
    // Two independent 64-bit hashes: for 128 bits, even millions of records make a false match
    // far less likely than a memory error, and the texts need not be kept.
    std::uint64_t a = 0xcbf29ce484222325u;
    std::uint64_t b = 0x9e3779b97f4a7c15u ^ key_.size();
    for (const char ch : key_) {
        const auto c = static_cast<unsigned char>(ch);
        a = (a ^ c) * 0x100000001b3u;
        b = (b + c + 1) * 0xff51afd7ed558ccdu;
        b ^= b >> 31;
    }
    b ^= b >> 33;
    b *= 0xc4ceb9fe1a85ec53u;
    b ^= b >> 33;
    return {a, b};
}

void Importer::Add(const ImportedRecord& r) {
    if (++read_ % 1000 == 0 && progress_) {
        progress_();
    }
    bool ok = true;
    CString typeName;
    CString category;
    CStringArray texts;  // as AddRecord takes them: the type name, ten fields, the note
    texts.SetSize(12);
    ok &= Convert(r.typeName, r.where, "type", typeName);
    ok &= Convert(r.category, r.where, "category", category);
    CString text;
    for (std::size_t i = 0; i < kFieldSlots; ++i) {
        ok &= Convert(r.fields[i], r.where, FieldName(r, i), text);
        texts.SetAt(static_cast<int>(i) + 1, text);
    }
    ok &= Convert(r.note, r.where, "note", text);
    texts.SetAt(11, text);
    std::array<CString, kFieldSlots> labels;
    bool labelsGiven = false;
    for (std::size_t i = 0; i < r.labels.size() && i < kFieldSlots; ++i) {
        ok &= Convert(r.labels[i], r.where, "label" + std::to_string(i + 1), labels[i]);
        labelsGiven = labelsGiven || !r.labels[i].empty();
    }
    std::array<CString, kFieldSlots> typeLabels = labels;
    if (!r.typeLabels.empty()) {
        typeLabels = {};
    }
    for (std::size_t i = 0; i < r.typeLabels.size() && i < kFieldSlots; ++i) {
        ok &= Convert(r.typeLabels[i], r.where, "label" + std::to_string(i + 1), typeLabels[i]);
    }
    if (!ok) {
        return;
    }
    if (IsUnfiledName(typeName)) {
        typeName = "Unfiled";
    }
    texts.SetAt(0, typeName);
    if (texts.GetAt(11).IsEmpty()) {
        texts.SetSize(11);
    }

    TypeInfo& type = Type(typeName);
    const WORD mask = r.maskGiven ? r.mask : type.item != nullptr ? type.item->GetMaskBits() : 0;
    // A type that exists with other labels keeps them; the record shows its own where they
    // differ from what its type shows (or will show, when this record makes it).
    const bool typeExists = type.item != nullptr || type.unfiled;
    CStringArray overrides;
    if (labelsGiven && labels != (typeExists ? type.shown : typeLabels)) {
        overrides.SetSize(kFieldCount);
        for (std::size_t i = 0; i < kFieldSlots; ++i) {
            overrides.SetAt(static_cast<int>(i), labels[i]);
        }
    }

    CUID categoryID;
    bool categoryKnown = IsUnfiledName(category);
    if (!categoryKnown) {
        const auto found = categories_.find(category.str());
        if (found != categories_.end()) {
            categoryID = found->second;
            categoryKnown = true;
        } else if (const CCategoryItem* item = db_.GetCategoryList().GetCategoryByName(category)) {
            categoryID = item->GetUniqueID();
            categories_.emplace(category.str(), categoryID);
            categoryKnown = true;
        }
    }
    RecordDigest digest;
    const bool digestBefore = checkDuplicates_ && typeExists && categoryKnown;
    if (digestBefore) {
        const CUID typeID = type.item != nullptr ? type.item->GetUniqueID() : CUID{};
        const CString note = texts.GetSize() > 11 ? texts.GetAt(11) : CString();
        digest = DigestOf(typeID, categoryID, mask, texts, 1, note);
        if (known_.Contains(digest)) {
            ++duplicates_;
            return;
        }
    }

    CRecord* record = nullptr;
    try {
        // Takes the type name out of texts: the fields follow from entry 0 on.
        record = db_.AddRecordWithoutWaiting(texts, mask, overrides, category, 255, false);
    } catch (const CInvalidArgException& e) {
        Problem(r.where, e.what());
        return;
    }
    ++added_;
    if (!typeExists && !type.unfiled) {
        // The type was made on the way with plain labels: it gets the ones the input gives, and
        // a default mask for the records added to it later.
        type.item = db_.GetTypesList().GetTypeByName(typeName);
        if (type.item != nullptr) {
            if (labelsGiven) {
                for (std::size_t i = 0; i < kFieldSlots; ++i) {
                    type.item->SetLabel(static_cast<int>(i), typeLabels[i]);
                    type.shown[i] = typeLabels[i];
                }
            }
            type.item->SetMaskBits(r.typeLabels.empty() ? mask : r.typeMask);
        }
    }
    if (!categoryKnown) {
        categories_.emplace(category.str(), record->GetCategoryID());
    }
    if (checkDuplicates_) {
        if (!digestBefore) {
            const CString note = texts.GetSize() > 10 ? texts.GetAt(10) : CString();
            digest = DigestOf(record->GetTypeID(), record->GetCategoryID(), mask, texts, 0, note);
        }
        known_.Insert(digest);
    }
}

std::size_t Importer::WriteProblems(std::ostream& err) const {
    for (const std::string& p : problems_) {
        err << "lkmdb: " << OneLine(p) << '\n';
    }
    if (unmappableCount_ != 0 && !replace_) {
        std::string line = name_ + ": " + std::to_string(unmappableCount_) +
                           (unmappableCount_ == 1 ? " character has" : " characters have") +
                           " no Windows-1252 byte (--replace-unmappable stores them as '?'):";
        const char* separator = " ";
        for (const auto& [cp, u] : unmappable_) {
            // Appended piece by piece: mingw g++ 12 warns falsely on "literal" + std::string here.
            line.append(separator).append(DescribeCharacter(cp));
            if (u.count > 1) {
                line.append(" ").append(std::to_string(u.count)).append(" times, first");
            }
            line.append(" at ").append(u.firstWhere);
            separator = "; ";
        }
        err << "lkmdb: " << OneLine(line) << '\n';
    }
    return problemRows_;
}

}  // namespace lkmdb

#include <string>
#include <utility>

#include "Database.h"
#include "Errors.h"
#include "Text.h"

namespace lkmdb7py {

using namespace LKMDB7;

namespace {

void CheckIndex(int i) {
    if (i < 0 || i >= kFieldCount) {
        throw py::index_error("field index " + std::to_string(i) + " outside 0-9");
    }
}

// Stored notes break lines with CR LF; Python's lines end in LF alone.
py::str NoteText(const CString& note) {
    std::string text;
    text.reserve(static_cast<std::size_t>(note.GetLength()));
    const std::string& stored = note.str();
    for (std::size_t i = 0; i < stored.size(); ++i) {
        if (stored[i] == '\r' && i + 1 < stored.size() && stored[i + 1] == '\n') {
            continue;
        }
        text += stored[i];
    }
    return FromAnsi(text);
}

[[noreturn]] void RaiseNoName(const char* what, const py::str& name) {
    PyErr_SetObject(PyExc_KeyError, py::str("no {} named {!r}").format(what, name).ptr());
    throw py::error_already_set();
}

bool IsUnfiled(const CString& name) {
    return name.IsEmpty() || name.CompareNoCase("Unfiled") == 0;
}

py::str NameOr(const CString& name) {
    return FromAnsi(name.IsEmpty() ? std::string("Unfiled") : name.str());
}

}  // namespace

Record::Record(std::shared_ptr<Database> db, CRecord& record)
    : db_(std::move(db)), id_(record.GetRecordID()), record_(&record), seen_(db_->Changes()) {}

CRecord& Record::Get() {
    if (seen_ != db_->Changes()) {
        record_ = static_cast<CRecord*>(db_->Db().GetItemByRecordID(0, id_));
        seen_ = db_->Changes();
    }
    if (record_ == nullptr) {
        PyErr_SetObject(PyExc_KeyError, py::int_(id_).ptr());
        throw py::error_already_set();
    }
    return *record_;
}

template <class Change, class Undo>
void Record::Edit(Change change, Undo undo) {
    CRecord& record = Get();
    db_->UseCipher();
    change(record);
    try {
        record.PackPalmRecord(true);
    } catch (...) {
        undo(record);
        throw;
    }
    record.PuffPalmRecord(true);
    record.SetNeedsSync(!record.IsLocalOnly());
    record.renewTimeStamp();
}

py::str Record::Field(int i) {
    CheckIndex(i);
    return FromAnsi(Get().GetField(i, false).str());
}

void Record::SetField(int i, const py::str& text) {
    CheckIndex(i);
    const CString value = ToAnsi(text, "field " + std::to_string(i));
    const CString old = Get().GetField(i, false);
    Edit([&](CRecord& r) { r.SetField(i, value); }, [&](CRecord& r) { r.SetField(i, old); });
}

py::tuple Record::Fields() {
    const CRecord& record = Get();
    py::tuple out(kFieldCount);
    for (int i = 0; i < kFieldCount; ++i) {
        out[static_cast<std::size_t>(i)] = FromAnsi(record.GetField(i, false).str());
    }
    return out;
}

py::tuple Record::Labels() {
    const CRecord& record = Get();
    const CTypeItem* type = db_->Db().GetTypesList().GetType(record.GetTypeID());
    py::tuple out(kFieldCount);
    for (int i = 0; i < kFieldCount; ++i) {
        out[static_cast<std::size_t>(i)] = FromAnsi(record.GetFieldLabel(i, type, false).str());
    }
    return out;
}

py::str Record::Note() {
    return NoteText(Get().GetNote());
}

void Record::SetNote(const py::str& text) {
    const CString value = ToAnsi(text, "note");
    const CString old = Get().GetNote();
    Edit([&](CRecord& r) { r.SetNote(value); }, [&](CRecord& r) { r.SetNote(old); });
}

py::str Record::Type() {
    return NameOr(db_->Db().GetTypesList().GetTypeName(Get().GetTypeID()));
}

void Record::SetType(const py::str& name) {
    const CString text = ToAnsi(name, "type");
    CUID id;
    if (!IsUnfiled(text)) {
        const CTypeItem* type = db_->Db().GetTypesList().GetTypeByName(text);
        if (type == nullptr || type->IsDeleted()) {
            RaiseNoName("record type", name);
        }
        id = type->GetUniqueID();
    }
    const CUID old = Get().GetTypeID();
    Edit([&](CRecord& r) { r.SetTypeID(id); }, [&](CRecord& r) { r.SetTypeID(old); });
}

py::str Record::Category() {
    return NameOr(db_->Db().GetCategoryList().GetCategoryName(Get().GetCategoryID()));
}

void Record::SetCategory(const py::str& name) {
    const CString text = ToAnsi(name, "category");
    CUID id;
    if (!IsUnfiled(text)) {
        const CCategoryItem* category = db_->Db().GetCategoryList().GetCategoryByName(text);
        if (category == nullptr || category->IsDeleted()) {
            RaiseNoName("category", name);
        }
        id = category->GetUniqueID();
    }
    const CUID old = Get().GetCategoryID();
    Edit([&](CRecord& r) { r.SetCategoryID(id); }, [&](CRecord& r) { r.SetCategoryID(old); });
}

unsigned Record::Mask() {
    return Get().GetMaskBits();
}

void Record::SetMask(unsigned long long mask) {
    const WORD bits = CheckFieldMask(mask);
    const WORD old = Get().GetMaskBits();
    Edit([&](CRecord& r) { r.SetMaskBits(bits); }, [&](CRecord& r) { r.SetMaskBits(old); });
}

bool Record::Deleted() {
    return Get().IsDeleted();
}

py::dict Record::ToDict() {
    py::dict out;
    out["id"] = py::int_(Id());
    out["type"] = Type();
    out["category"] = Category();
    out["fields"] = py::list(Fields());
    out["labels"] = py::list(Labels());
    out["note"] = Note();
    out["mask"] = py::int_(Mask());
    return out;
}

}  // namespace lkmdb7py

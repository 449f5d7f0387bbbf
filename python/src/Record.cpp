#include <functional>
#include <limits>
#include <string>
#include <utility>
#include <vector>

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
        record_ = db_->Db().GetRecordList().GetRecordByID(id_);
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

namespace {

// The field an int index names, counting from the end when negative.
int FieldIndex(const py::handle index) {
    const long long i = IndexValue(index, "a field index is an int or a slice");
    const long long at = i < 0 ? i + kFieldCount : i;
    if (at < 0 || at >= kFieldCount) {
        throw py::index_error("field index " + std::to_string(i) + " outside -10 to 9");
    }
    return static_cast<int>(at);
}

std::vector<int> SliceIndexes(const py::slice& slice) {
    py::ssize_t start = 0;
    py::ssize_t stop = 0;
    py::ssize_t step = 0;
    py::ssize_t length = 0;
    if (!slice.compute(kFieldCount, &start, &stop, &step, &length)) {
        throw py::error_already_set();
    }
    std::vector<int> out;
    for (py::ssize_t k = 0; k < length; ++k) {
        out.push_back(static_cast<int>(start + k * step));
    }
    return out;
}

}  // namespace

long long IndexValue(py::handle index, const char* what) {
    if (!py::isinstance<py::int_>(index)) {
        throw py::type_error(std::string(what) + ", not " +
                             std::string(py::str(py::type::of(index).attr("__name__"))));
    }
    int overflow = 0;
    const long long value = PyLong_AsLongLongAndOverflow(index.ptr(), &overflow);
    if (overflow != 0) {
        return overflow < 0 ? std::numeric_limits<long long>::min()
                            : std::numeric_limits<long long>::max();
    }
    return value;
}

py::object Record::Item(const py::object& index) {
    if (py::isinstance<py::slice>(index)) {
        const py::tuple fields = Fields();
        py::list out;
        for (const int i : SliceIndexes(index.cast<py::slice>())) {
            out.append(fields[static_cast<std::size_t>(i)]);
        }
        return py::tuple(out);
    }
    return Field(FieldIndex(index));
}

void Record::SetItem(const py::object& index, const py::object& value) {
    if (!py::isinstance<py::slice>(index)) {
        if (!py::isinstance<py::str>(value)) {
            throw py::type_error("a field is a str");
        }
        SetField(FieldIndex(index), value.cast<py::str>());
        return;
    }
    const std::vector<int> at = SliceIndexes(index.cast<py::slice>());
    if (py::isinstance<py::str>(value) || !py::isinstance<py::sequence>(value)) {
        throw py::type_error("a slice of fields takes a sequence of str");
    }
    const auto texts = value.cast<py::sequence>();
    if (py::len(texts) != at.size()) {
        throw py::value_error("the slice selects " + std::to_string(at.size()) +
                              " fields, the value has " + std::to_string(py::len(texts)));
    }
    // Every text is converted before anything changes.
    std::vector<CString> values;
    for (std::size_t k = 0; k < at.size(); ++k) {
        const py::handle text = texts[k];
        if (!py::isinstance<py::str>(text)) {
            throw py::type_error("field " + std::to_string(at[k]) + " is not a str");
        }
        values.emplace_back(
            ToAnsi(py::reinterpret_borrow<py::str>(text), "field " + std::to_string(at[k])));
    }
    std::vector<CString> old;
    for (const int i : at) {
        old.push_back(Get().GetField(i, false));
    }
    Edit(
        [&](CRecord& r) {
            for (std::size_t k = 0; k < at.size(); ++k) {
                r.SetField(at[k], values[k]);
            }
        },
        [&](CRecord& r) {
            for (std::size_t k = 0; k < at.size(); ++k) {
                r.SetField(at[k], old[k]);
            }
        });
}

std::size_t Record::Hash() const {
    return std::hash<const void*>()(db_.get()) ^ (std::hash<unsigned long>()(id_) << 1U);
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

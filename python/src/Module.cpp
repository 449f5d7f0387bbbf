// lkmdb7: the Python module. See python/README.md and `help(lkmdb7)`.
#include <optional>
#include <string>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "Database.h"
#include "Errors.h"

namespace py = pybind11;
using lkmdb7py::Database;
using lkmdb7py::Record;

namespace {

std::string FsPath(const py::object& path) {
    return py::str(py::module_::import("os").attr("fsdecode")(path));
}

}  // namespace

PYBIND11_MODULE(lkmdb7, m) {
    m.doc() =
        "Password databases of Lockmera7DB: open one with its password, read, add, edit and "
        "delete records, save. Texts are str; the file stores Windows-1252, and a character "
        "without a byte there raises EncodingError. Records of the same process may be open in "
        "several databases at once; use them from one thread at a time.";
    lkmdb7py::RegisterErrors(m);
    m.attr("__version__") = LKMDB7::GetLibraryVersion().text;

    py::class_<Database, std::shared_ptr<Database>>(
        m, "Database",
        "An open database: made by lkmdb7.open or lkmdb7.create. Changes stay in memory until "
        "save().")
        .def_property_readonly("path", &Database::Path, "The database file.")
        .def_property_readonly("has_password", &Database::HasPassword,
                               "Whether it was opened with a password.")
        .def("records", &Database::Records, "The records not marked deleted, in file order.")
        .def("__iter__", [](Database& db) { return py::iter(db.Records()); })
        .def("__len__", &Database::Count)
        .def("record", &Database::Record, py::arg("record_id"),
             "The record of that ID; KeyError when there is none (or it is deleted).")
        .def("types", &Database::TypeNames, "The names of the record types.")
        .def("categories", &Database::CategoryNames, "The names of the categories.")
        .def("add", &Database::Add, py::arg("type"), py::arg("fields") = py::tuple(), py::kw_only(),
             py::arg("category") = "", py::arg("note") = "", py::arg("mask") = py::none(),
             "Adds a record: type and category by name (made when missing; '' or 'Unfiled' for "
             "none), up to 10 fields, a note, and the mask of secret fields (bit 0 = field 0; "
             "default the type's). Returns the new Record.")
        .def(
            "delete",
            [](Database& db, const py::object& which) {
                if (py::isinstance<Record>(which)) {
                    auto& record = which.cast<Record&>();
                    if (&record.Db() != &db) {
                        throw py::value_error("the record belongs to another database");
                    }
                    db.Delete(record.Get());
                } else {
                    db.Delete(py::cast<Record>(db.Record(which.cast<unsigned long long>())).Get());
                }
            },
            py::arg("record"), "Marks a record (a Record or its ID) deleted.")
        .def("save", &Database::Save,
             "Writes the database: a new file renamed over the old one, under the database "
             "lock.")
        .def("to_dicts", &Database::ToDicts, "Every record not deleted, as Record.to_dict().")
        .def("__enter__", [](py::object self) { return self; })
        .def("__exit__", [](py::object, py::args) { return false; })
        .def("__repr__",
             [](Database& db) { return py::str("<lkmdb7.Database {!r}>").format(db.Path()); });

    py::class_<Record>(m, "Record", "One record of a Database; edits repack it at once.")
        .def_property_readonly("id", &Record::Id, "The record ID.")
        .def_property("type", &Record::Type, &Record::SetType,
                      "The record type's name ('Unfiled' for none); set to an existing name.")
        .def_property("category", &Record::Category, &Record::SetCategory,
                      "The category's name ('Unfiled' for none); set to an existing name.")
        .def_property_readonly("fields", &Record::Fields, "The 10 fields, secret ones in clear.")
        .def_property_readonly("labels", &Record::Labels,
                               "The 10 field labels: the record's own, else its type's.")
        .def_property("note", &Record::Note, &Record::SetNote)
        .def_property("mask", &Record::Mask, &Record::SetMask,
                      "Bits of the secret fields (bit 0 = field 0).")
        .def_property_readonly("deleted", &Record::Deleted)
        .def("__getitem__", &Record::Field)
        .def("__setitem__", &Record::SetField)
        .def("__len__", [](const Record&) { return 10; })
        .def("to_dict", &Record::ToDict,
             "id, type, category, fields, labels, note and mask; secret fields in clear.")
        .def("__repr__",
             [](Record& r) { return py::str("<lkmdb7.Record {} {!r}>").format(r.Id(), r.Type()); });

    m.def(
        "open",
        [](const py::object& path, const std::optional<py::str>& password) {
            return Database::Open(FsPath(path), password);
        },
        py::arg("path"), py::arg("password") = py::none(),
        "Opens the database at path (its file, or the folder that holds it). The password is "
        "checked before any record is shown: PasswordError (WrongPasswordError) when it is "
        "missing, wrong or needless.");
    m.def(
        "create",
        [](const py::object& folder, const std::optional<py::str>& password) {
            return Database::Create(FsPath(folder), password);
        },
        py::arg("folder"), py::arg("password") = py::none(),
        "Makes and saves a new, empty database in folder, with the password's check or none. "
        "FileExistsError when folder holds one.");
}

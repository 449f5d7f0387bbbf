// lkmdb7._lkmdb7: the extension behind the lkmdb7 package. See the README and `help(lkmdb7)`.
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

// The record that `which` (a Record of db, or a record ID) names; deleted ones only when asked.
LKMDB7::CRecord& Resolve(Database& db, const py::object& which, bool deletedToo) {
    if (py::isinstance<Record>(which)) {
        auto& record = which.cast<Record&>();
        if (&record.Db() != &db) {
            throw py::value_error("the record belongs to another database");
        }
        return record.Get();
    }
    const auto id = which.cast<unsigned long long>();
    if (deletedToo) {
        return db.AnyRecord(id);
    }
    return py::cast<Record&>(db.Record(id)).Get();
}

}  // namespace

PYBIND11_MODULE(_lkmdb7, m) {
    m.doc() =
        "Password databases of Lockmera7DB: open one with its password, read, add, edit, find "
        "and delete records, save. Texts are str; the file stores Windows-1252, and a character "
        "without a byte there raises EncodingError. Several databases may be open at once; use "
        "them from one thread at a time.";
    lkmdb7py::RegisterErrors(m);
    m.attr("__version__") = LKMDB7::GetLibraryVersion().text;

    py::class_<Database, std::shared_ptr<Database>> database(
        m, "Database",
        "An open database: made by lkmdb7.open or lkmdb7.create. Changes stay in memory until "
        "save(). As a context manager it closes on exit, without saving.");
    database.def_property_readonly("path", &Database::Path, "The database file.")
        .def_property_readonly("has_password", &Database::HasPassword,
                               "Whether it was opened with a password.")
        .def_property_readonly("closed", &Database::Closed, "Whether close() was called.")
        .def("records", &Database::Records, "The records not marked deleted, in file order.")
        .def(
            "__iter__", [](Database& db) { return py::iter(db.Records()); },
            "Iterates over records().")
        .def("__len__", &Database::Count, "The number of records not marked deleted.")
        .def("record", &Database::Record, py::arg("record_id"),
             "The record of that ID; KeyError when there is none (or it is deleted).")
        .def("deleted", &Database::Deleted,
             "The records marked deleted (kept, fields and all, until purge()), in file order.")
        .def("types", &Database::TypeNames, "The names of the record types.")
        .def("categories", &Database::CategoryNames, "The names of the categories.")
        .def("add", &Database::Add, py::arg("type"), py::arg("fields") = py::tuple(), py::kw_only(),
             py::arg("category") = "", py::arg("note") = "", py::arg("mask") = py::none(),
             "Adds a record: type and category by name (made when missing; '' or 'Unfiled' for "
             "none), up to 10 fields, a note, and the mask of secret fields (bit 0 = field 0; "
             "default the type's). Returns the new Record.")
        .def(
            "delete",
            [](Database& db, const py::object& which) { db.Delete(Resolve(db, which, false)); },
            py::arg("record"),
            "Marks a record (a Record or its ID) deleted. The record stays in the database, and "
            "in the file at the next save, with every field, so that synced devices learn of "
            "the deletion: undelete() takes it back, purge() removes it for good.")
        .def(
            "undelete",
            [](Database& db, const py::object& which) { db.Undelete(Resolve(db, which, true)); },
            py::arg("record"),
            "Takes the deleted mark off a record (a Record or its ID); nothing for one not "
            "deleted. An attached file, which delete() removed from the Files folder, does not "
            "come back. KeyError for an ID that no record has.")
        .def("purge", &Database::Purge,
             "Removes the records, record types and categories marked deleted, so that the next "
             "save writes none of their texts; returns the number of records removed. Devices "
             "that sync and have not yet learnt of those deletions no longer can.")
        .def("find", &Database::Find, py::arg("text"), py::arg("fields") = py::none(),
             py::kw_only(), py::arg("match_case") = false, py::arg("whole_word") = false,
             py::arg("note") = true,
             "The records not marked deleted in which text occurs, in file order: in the fields "
             "of the given indexes (all 10 when None; secret ones too) or in the note. Without "
             "match_case letters compare in lower case; with whole_word an occurrence counts "
             "only between spaces, tabs, line breaks or the ends of a text.")
        .def("save", &Database::Save,
             "Writes the database: a new file renamed over the old one, under the database "
             "lock.")
        .def("to_dicts", &Database::ToDicts, "Every record not deleted, as Record.to_dict().")
        .def("close", &Database::Close,
             "Drops the records and the password from memory, without saving; any later use "
             "of the database or its records raises ValueError. Closing twice does nothing.")
        .def(
            "__enter__", [](py::object self) { return self; }, "Returns the database.")
        .def(
            "__exit__",
            [](Database& db, const py::object&, const py::object&, const py::object&) {
                db.Close();
                return false;
            },
            py::arg("exc_type"), py::arg("exc_value"), py::arg("traceback"),
            "Closes the database (close()); unsaved changes are dropped.")
        .def(
            "__repr__",
            [](Database& db) {
                return py::str("<lkmdb7.Database {!r}{}>")
                    .format(db.Path(), db.Closed() ? " (closed)" : "");
            },
            "<lkmdb7.Database PATH>.");

    py::class_<Record> record(m, "Record",
                              "One record of a Database; edits repack it at once. Two Record "
                              "objects are equal when they show the same record of the same "
                              "Database.");
    record.def_property_readonly("id", &Record::Id, "The record ID.")
        .def_property("type", &Record::Type, &Record::SetType,
                      "The record type's name ('Unfiled' for none); set to an existing name.")
        .def_property("category", &Record::Category, &Record::SetCategory,
                      "The category's name ('Unfiled' for none); set to an existing name.")
        .def_property_readonly("fields", &Record::Fields, "The 10 fields, secret ones in clear.")
        .def_property_readonly("labels", &Record::Labels,
                               "The 10 field labels: the record's own, else its type's.")
        .def_property("note", &Record::Note, &Record::SetNote,
                      "The note; lines end in '\\n' here (stored as CR LF).")
        .def_property("mask", &Record::Mask, &Record::SetMask,
                      "Bits of the secret fields (bit 0 = field 0).")
        .def_property_readonly("deleted", &Record::Deleted, "Whether the record is marked deleted.")
        .def("__getitem__", &Record::Item, py::arg("index"),
             "Field index (0 to 9, or -10 to -1 from the end) as a str; a slice gives a tuple.")
        .def("__setitem__", &Record::SetItem, py::arg("index"), py::arg("value"),
             "Sets a field (index as for reading), or with a slice as many fields as the slice "
             "selects, all or none.")
        .def(
            "__len__", [](const Record&) { return LKMDB7::kFieldCount; }, "Always 10.")
        .def(
            "__eq__",
            [](const Record& a, const py::object& b) -> py::object {
                if (!py::isinstance<Record>(b)) {
                    return py::reinterpret_borrow<py::object>(Py_NotImplemented);
                }
                return py::bool_(a == b.cast<const Record&>());
            },
            py::arg("other"), "Whether other shows the same record of the same Database.")
        .def("__hash__", &Record::Hash, "A hash of the database and the record ID.")
        .def("to_dict", &Record::ToDict,
             "id, type, category, fields, labels, note and mask; secret fields in clear.")
        .def(
            "__repr__",
            [](Record& r) { return py::str("<lkmdb7.Record {} {!r}>").format(r.Id(), r.Type()); },
            "<lkmdb7.Record ID TYPE>.");

    // Shown as members of the package, where users import them from.
    database.attr("__module__") = "lkmdb7";
    record.attr("__module__") = "lkmdb7";

    m.def(
        "open",
        [](const py::object& path, const std::optional<py::str>& password) {
            return Database::Open(FsPath(path), password);
        },
        py::arg("path"), py::arg("password") = py::none(),
        "Opens the database at path (its file, or the folder that holds it). The password is "
        "checked before any record is shown: PasswordError (WrongPasswordError) when it is "
        "missing, wrong or needless. DatabaseNotFoundError (a FileNotFoundError) when there is "
        "no database.");
    m.def(
        "create",
        [](const py::object& folder, const std::optional<py::str>& password) {
            return Database::Create(FsPath(folder), password);
        },
        py::arg("folder"), py::arg("password") = py::none(),
        "Makes and saves a new, empty database in folder, with the password's check or none. "
        "DatabaseExistsError (a FileExistsError) when folder holds one.");
}

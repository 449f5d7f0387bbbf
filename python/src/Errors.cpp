#include "Errors.h"

#include <exception>

#include "lkmdb7/platform/Exceptions.h"

namespace lkmdb7py {
namespace {

// Lives as long as the interpreter: the module is never unloaded.
ErrorTypes* g_errors = nullptr;

py::object MakeClass(py::module_& m, const char* name, const py::tuple& bases, const char* doc) {
    const std::string qualified = std::string("lkmdb7.") + name;
    PyObject* type = PyErr_NewExceptionWithDoc(qualified.c_str(), doc, bases.ptr(), nullptr);
    if (type == nullptr) {
        throw py::error_already_set();
    }
    py::object object = py::reinterpret_steal<py::object>(type);
    m.attr(name) = object;
    return object;
}

}  // namespace

void RegisterErrors(py::module_& m) {
    auto* errors = new ErrorTypes;  // NOLINT(cppcoreguidelines-owning-memory): lives forever
    const py::object exception = py::reinterpret_borrow<py::object>(PyExc_Exception);
    const py::object valueError = py::reinterpret_borrow<py::object>(PyExc_ValueError);
    const py::object osError = py::reinterpret_borrow<py::object>(PyExc_OSError);
    errors->error = MakeClass(m, "Error", py::make_tuple(exception),
                              "Base of the errors that the database raises.");
    errors->password =
        MakeClass(m, "PasswordError", py::make_tuple(errors->error),
                  "A password is missing, wrong, or given for a database that has none.");
    errors->wrongPassword = MakeClass(m, "WrongPasswordError", py::make_tuple(errors->password),
                                      "The password is not the database's.");
    errors->format = MakeClass(m, "FormatError", py::make_tuple(errors->error),
                               "The file is malformed or damaged, or records fail their checksum.");
    errors->lock = MakeClass(m, "LockError", py::make_tuple(errors->error),
                             "The database lock was not obtained.");
    errors->file = MakeClass(m, "FileError", py::make_tuple(errors->error, osError),
                             "The file system refused or failed.");
    errors->notFound = MakeClass(
        m, "DatabaseNotFoundError",
        py::make_tuple(errors->file, py::reinterpret_borrow<py::object>(PyExc_FileNotFoundError)),
        "open() found no database at the path.");
    errors->exists = MakeClass(
        m, "DatabaseExistsError",
        py::make_tuple(errors->file, py::reinterpret_borrow<py::object>(PyExc_FileExistsError)),
        "create() found a database in the folder already.");
    errors->encoding = MakeClass(m, "EncodingError", py::make_tuple(errors->error, valueError),
                                 "A character has no Windows-1252 byte, or is U+0000.");
    errors->invalidArgument =
        MakeClass(m, "InvalidArgumentError", py::make_tuple(errors->error, valueError),
                  "The library refuses a value (an index, a record too long to pack).");
    g_errors = errors;

    py::register_exception_translator([](std::exception_ptr p) {
        try {
            if (p) {
                std::rethrow_exception(p);
            }
        } catch (const LKMDB7::CMemoryException& e) {
            PyErr_SetString(PyExc_MemoryError, e.what());
        } catch (const LKMDB7::CArchiveException& e) {
            PyErr_SetString(g_errors->format.ptr(), e.what());
        } catch (const LKMDB7::CFileException& e) {
            PyErr_SetString(g_errors->file.ptr(), e.what());
        } catch (const LKMDB7::CInvalidArgException& e) {
            PyErr_SetString(g_errors->invalidArgument.ptr(), e.what());
        } catch (const LKMDB7::CException& e) {
            PyErr_SetString(g_errors->error.ptr(), e.what());
        }
    });
}

const ErrorTypes& Errors() {
    return *g_errors;
}

void Raise(const py::object& type, const std::string& message) {
    PyErr_SetString(type.ptr(), message.c_str());
    throw py::error_already_set();
}

void RaiseOSError(const py::object& type, int code, const std::string& message,
                  const std::string& path) {
    PyErr_SetObject(type.ptr(), py::make_tuple(code, message, path).ptr());
    throw py::error_already_set();
}

}  // namespace lkmdb7py

// The module's exception classes and the translation of the library's exceptions into them.
// Every message is the library's own (what()), which names the file and what failed there.
//
//   lkmdb7.Error                  base of everything the module raises itself
//   lkmdb7.PasswordError          a password missing, wrong, or given to a database without one
//   lkmdb7.WrongPasswordError     (a PasswordError) the password is not the database's
//   lkmdb7.FormatError            a malformed or damaged file, or records that fail their checksum
//   lkmdb7.LockError              the database lock was not obtained
//   lkmdb7.FileError              (also an OSError) the file system refused or failed
//   lkmdb7.DatabaseNotFoundError  (a FileError, also a FileNotFoundError) open: no database there
//   lkmdb7.DatabaseExistsError    (a FileError, also a FileExistsError) create: one is there
//   lkmdb7.EncodingError          (also a ValueError) a character without a Windows-1252 byte
//   lkmdb7.InvalidArgumentError   (also a ValueError) a value the library refuses
// Memory exhaustion becomes MemoryError.
#pragma once

#include <string>

#include <pybind11/pybind11.h>

namespace lkmdb7py {

namespace py = pybind11;

struct ErrorTypes {
    py::object error;
    py::object password;
    py::object wrongPassword;
    py::object format;
    py::object lock;
    py::object file;
    py::object notFound;
    py::object exists;
    py::object encoding;
    py::object invalidArgument;
};

// Creates the classes in module m and installs the translator. Called once, at import.
void RegisterErrors(py::module_& m);

const ErrorTypes& Errors();

// Sets the Python exception `type` with message and throws py::error_already_set.
[[noreturn]] void Raise(const py::object& type, const std::string& message);
// Raises the OSError subclass `type` as OSError(code, message, path) builds it, so that errno,
// strerror and filename are set.
[[noreturn]] void RaiseOSError(const py::object& type, int code, const std::string& message,
                               const std::string& path);

}  // namespace lkmdb7py

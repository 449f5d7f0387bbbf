#include "Text.h"

#include <cstdio>
#include <vector>

#include "Errors.h"
#include "lkmdb7/platform/internal/Windows1252.h"

namespace lkmdb7py {

std::string ToAnsi(const py::str& text, std::string_view what) {
    PyObject* object = text.ptr();
    const Py_ssize_t length = PyUnicode_GetLength(object);
    if (length < 0) {
        throw py::error_already_set();
    }
    std::string out;
    out.reserve(static_cast<std::size_t>(length));
    for (Py_ssize_t i = 0; i < length; ++i) {
        const Py_UCS4 cp = PyUnicode_ReadChar(object, i);
        const int byte = cp == 0 ? -1 : LKMDB7::Windows1252ByteOf(cp);
        if (byte < 0) {
            char name[16];
            std::snprintf(name, sizeof name, "U+%04X", static_cast<unsigned>(cp));
            Raise(Errors().encoding,
                  std::string(what) + ": the character " + name + " at position " +
                      std::to_string(i) +
                      (cp == 0 ? " cannot be stored" : " has no Windows-1252 byte"));
        }
        out += static_cast<char>(byte);
    }
    return out;
}

py::str FromAnsi(std::string_view bytes) {
    std::vector<Py_UCS4> points;
    points.reserve(bytes.size());
    for (const char c : bytes) {
        points.push_back(LKMDB7::Windows1252ToCodePoint(static_cast<unsigned char>(c)));
    }
    PyObject* text = PyUnicode_FromKindAndData(PyUnicode_4BYTE_KIND, points.data(),
                                               static_cast<Py_ssize_t>(points.size()));
    if (text == nullptr) {
        throw py::error_already_set();
    }
    return py::reinterpret_steal<py::str>(text);
}

}  // namespace lkmdb7py

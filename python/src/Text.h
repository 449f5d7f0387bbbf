// Python text and the database's Windows-1252 bytes. The database stores single-byte
// Windows-1252; Python sees str. Every byte has a character (the five bytes the code page leaves
// unassigned stand for U+0081, U+008D, U+008F, U+0090 and U+009D), so reading never fails and a
// text read can always be written back unchanged.
#pragma once

#include <string>
#include <string_view>

#include <pybind11/pybind11.h>

namespace lkmdb7py {

namespace py = pybind11;

// The Windows-1252 bytes of text. Raises lkmdb7.EncodingError naming `what` and the character
// (and its position) for a character without a byte, and for U+0000, which a stored text cannot
// hold.
std::string ToAnsi(const py::str& text, std::string_view what);

py::str FromAnsi(std::string_view bytes);

}  // namespace lkmdb7py

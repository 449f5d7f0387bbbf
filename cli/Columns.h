// Human-readable output in columns.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace lkmdb {

// Writes the lines of `rows` in columns two spaces apart (widths counted in characters), each
// cell made Printable.
void WriteColumns(std::ostream& out, std::vector<std::vector<std::string>> rows);

}  // namespace lkmdb

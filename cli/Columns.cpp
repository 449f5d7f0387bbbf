#include "cli/Columns.h"

#include <algorithm>
#include <ostream>

#include "cli/Text1252.h"

namespace lkmdb {

void WriteColumns(std::ostream& out, std::vector<std::vector<std::string>> rows) {
    for (auto& row : rows) {
        for (std::string& cell : row) {
            cell = Printable(cell);
        }
    }
    const auto width = [](const std::string& s) {
        return static_cast<std::size_t>(
            std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
    };
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t i = 0; i < row.size(); ++i) {
            widths[i] = std::max(widths[i], width(row[i]));
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t i = 0; i < row.size(); ++i) {
            line += row[i];
            if (i + 1 < row.size()) {
                line.append(widths[i] - width(row[i]) + 2, ' ');
            }
        }
        out << line << '\n';
    }
}

}  // namespace lkmdb

// Feeds arbitrary bytes to lkmdb's CSV reader: it reads rows within its limits or refuses with a
// message naming the input and a line, and every row it reads is written back and read again
// unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/CliError.h"
#include "cli/Csv.h"
#include "fuzz/Outcome.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// Small limits, so that the fuzzer reaches them.
constexpr lkmdb::CsvLimits kLimits{64, 16};

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

// Reads all rows; false when the reader refused the input. Checks what every row must satisfy.
bool ReadAll(const std::string& text, Rows& rows) {
    std::istringstream in(text);
    lkmdb::CsvReader reader(in, "in.csv", kLimits);
    std::vector<std::string> fields;
    std::size_t line = 0;
    std::size_t lastLine = 0;
    try {
        while (reader.Next(fields, line)) {
            Check(!fields.empty() && fields.size() <= kLimits.maxFields);
            for (const std::string& field : fields) {
                Check(field.size() <= kLimits.maxFieldBytes);
            }
            // Every row but the last ends with a line break, so rows start on later lines, and
            // there are never more rows than bytes plus one.
            Check(line > lastLine && line <= text.size() + 1);
            lastLine = line;
            rows.push_back(fields);
            Check(rows.size() <= text.size() + 1);
        }
    } catch (const lkmdb::CliError& e) {
        Check(std::string(e.what()).rfind("in.csv: line ", 0) == 0);
        return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    Rows rows;
    if (!ReadAll(text, rows)) {
        lkmdb7_fuzz::Refuse();
        return 0;
    }
    // A leading mark, which the reader drops, keeps a first field that starts with one intact.
    std::ostringstream out;
    out << "\xEF\xBB\xBF";
    for (const auto& row : rows) {
        lkmdb::WriteCsvRow(out, row);
    }
    Rows again;
    Check(ReadAll(out.str(), again));
    Check(again == rows);
    return 0;
}

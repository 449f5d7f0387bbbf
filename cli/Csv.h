// Comma-separated values as RFC 4180 describes them: fields separated by commas, records by CRLF
// (a bare LF is accepted), fields holding commas, quotes or line breaks enclosed in double quotes
// with inner quotes doubled. The reader is bounded, so a hostile file cannot exhaust memory.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <string>
#include <vector>

namespace lkmdb {

struct CsvLimits {
    std::size_t maxFieldBytes = 1 << 20;
    std::size_t maxFields = 64;
};

class CsvReader {
  public:
    // `name` is how errors name the input. A UTF-8 byte order mark at the start is skipped.
    // `separator` is ',' or ';', or kDetect: the one of the two that the first line holds more
    // often outside quotes (',' on a tie), as spreadsheets in some locales write ';'.
    // `readAhead` holds bytes that the caller already took from the start of `in`.
    static constexpr char kDetect = 0;
    CsvReader(std::istream& in, std::string name, CsvLimits limits = {}, char separator = ',',
              std::string readAhead = {});

    char Separator() const { return separator_; }
    const std::string& Name() const { return name_; }

    // Reads the next record; false at the end of the input. `line` becomes the line on which the
    // record starts. Throws CliError (exit code 2) naming the input and the line of a malformed
    // record or one beyond the limits.
    bool Next(std::vector<std::string>& fields, std::size_t& line);

  private:
    [[noreturn]] void Fail(std::size_t line, const std::string& what) const;
    // The input's next byte (as istream::get and peek give it), after the bytes that were read
    // in looking for a byte order mark and were not one.
    int Get();
    int Peek();
    char DetectSeparator();

    std::istream& in_;
    std::string name_;
    CsvLimits limits_;
    std::size_t line_ = 1;
    std::string pending_;
    std::size_t pendingAt_ = 0;
    char separator_;
};

// One record, fields quoted where needed, ended by CRLF.
void WriteCsvRow(std::ostream& out, const std::vector<std::string>& fields);

// The header row of lkmdb's own CSV, as export writes it and import reads it: type, category,
// field1..field10, note, then mask and label1..label10 (which older files lack).
const std::vector<std::string>& CsvHeader();

}  // namespace lkmdb

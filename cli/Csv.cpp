#include "cli/Csv.h"

#include <istream>
#include <ostream>

#include "cli/CliError.h"
#include "lkmdb7/items/PackedFormat.h"

namespace lkmdb {

CsvReader::CsvReader(std::istream& in, std::string name, CsvLimits limits, char separator,
                     std::string readAhead)
    : in_(in), name_(std::move(name)), limits_(limits), pending_(std::move(readAhead)) {
    // Only a whole mark is dropped: a text may start with a character whose UTF-8 form begins
    // with its first bytes (U+FF01 is EF BC 81).
    static constexpr char kBom[] = "\xEF\xBB\xBF";
    std::size_t matched = 0;
    while (matched < 3) {
        if (matched == pending_.size()) {
            if (in_.peek() != static_cast<unsigned char>(kBom[matched])) {
                break;
            }
            pending_ += static_cast<char>(in_.get());
        } else if (pending_[matched] != kBom[matched]) {
            break;
        }
        ++matched;
    }
    if (matched == 3) {
        pending_.erase(0, 3);
    }
    separator_ = separator == kDetect ? DetectSeparator() : separator;
}

char CsvReader::DetectSeparator() {
    // The first line is read ahead into the pending bytes, so Next reads it again.
    std::size_t commas = 0;
    std::size_t semicolons = 0;
    bool inQuotes = false;
    for (std::size_t at = 0; at < limits_.maxFieldBytes; ++at) {
        if (at == pending_.size()) {
            const int c = in_.rdbuf()->sbumpc();
            if (c == std::char_traits<char>::eof()) {
                break;
            }
            pending_ += static_cast<char>(c);
        }
        const char ch = pending_[at];
        if (ch == '"') {
            inQuotes = !inQuotes;
        } else if (!inQuotes && (ch == '\n' || ch == '\r')) {
            break;
        } else if (!inQuotes) {
            commas += ch == ',' ? 1 : 0;
            semicolons += ch == ';' ? 1 : 0;
        }
    }
    return semicolons > commas ? ';' : ',';
}

int CsvReader::Get() {
    if (pendingAt_ < pending_.size()) {
        return static_cast<unsigned char>(pending_[pendingAt_++]);
    }
    // The buffer directly: a stream's get() and peek() pay for a sentry on every byte.
    return in_.rdbuf()->sbumpc();
}

int CsvReader::Peek() {
    if (pendingAt_ < pending_.size()) {
        return static_cast<unsigned char>(pending_[pendingAt_]);
    }
    return in_.rdbuf()->sgetc();
}

void CsvReader::Fail(std::size_t line, const std::string& what) const {
    throw CliError(kExitFailure, name_ + ": line " + std::to_string(line) + ": " + what);
}

bool CsvReader::Next(std::vector<std::string>& fields, std::size_t& line) {
    fields.clear();
    if (Peek() == std::char_traits<char>::eof()) {
        return false;
    }
    line = line_;
    std::string field;
    bool quoted = false;    // the current field started with a quote
    bool inQuotes = false;  // between its opening and closing quote
    bool closed = false;    // its closing quote has been read
    const auto endField = [&] {
        if (fields.size() == limits_.maxFields) {
            Fail(line, "more than " + std::to_string(limits_.maxFields) + " fields");
        }
        fields.push_back(std::move(field));
        field.clear();
        quoted = inQuotes = closed = false;
    };
    for (;;) {
        const int c = Get();
        if (c == std::char_traits<char>::eof()) {
            if (inQuotes) {
                Fail(line, "a quoted field is not closed before the end of the input");
            }
            endField();
            return true;
        }
        const char ch = static_cast<char>(c);
        if (inQuotes) {
            if (ch == '"') {
                if (Peek() != '"') {
                    inQuotes = false;
                    closed = true;
                    continue;
                }
                Get();  // a doubled quote is one quote, under the same limit as any byte
            } else if (ch == '\n') {
                ++line_;
            }
        } else if (ch == separator_) {
            endField();
            continue;
        } else if (ch == '\r' || ch == '\n') {
            if (ch == '\r' && Peek() == '\n') {
                Get();
            }
            ++line_;
            endField();
            return true;
        } else if (ch == '"') {
            if (!field.empty() || quoted) {
                Fail(line_, "a quote inside a field that does not start with one");
            }
            quoted = inQuotes = true;
            continue;
        } else if (closed) {
            Fail(line_, "text after the closing quote of a field");
        }
        if (field.size() == limits_.maxFieldBytes) {
            Fail(line, "a field longer than " + std::to_string(limits_.maxFieldBytes) + " bytes");
        }
        field += ch;
    }
}

void WriteCsvRow(std::ostream& out, const std::vector<std::string>& fields) {
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i != 0) {
            out << ',';
        }
        const std::string& f = fields[i];
        if (f.find_first_of(",\"\r\n") == std::string::npos) {
            out << f;
            continue;
        }
        out << '"';
        for (char c : f) {
            if (c == '"') {
                out << '"';
            }
            out << c;
        }
        out << '"';
    }
    out << "\r\n";
}

const std::vector<std::string>& CsvHeader() {
    static const std::vector<std::string> header = [] {
        std::vector<std::string> h{"type", "category"};
        for (int i = 1; i <= LKMDB7::kFieldCount; ++i) {
            h.push_back("field" + std::to_string(i));
        }
        h.emplace_back("note");
        // What is secret and what the fields are called, so that an import gives both back.
        h.emplace_back("mask");
        for (int i = 1; i <= LKMDB7::kFieldCount; ++i) {
            h.push_back("label" + std::to_string(i));
        }
        return h;
    }();
    return header;
}

}  // namespace lkmdb

// The CSV reader and writer: quoting, line ends, and malformed input reported by line.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliError.h"
#include "cli/Csv.h"

using lkmdb::CliError;
using lkmdb::CsvLimits;
using lkmdb::CsvReader;
using Rows = std::vector<std::vector<std::string>>;

namespace {

Rows ReadAll(const std::string& text, std::vector<std::size_t>* lines = nullptr,
             CsvLimits limits = {}) {
    std::istringstream in(text);
    CsvReader reader(in, "in.csv", limits);
    Rows rows;
    std::vector<std::string> fields;
    std::size_t line = 0;
    while (reader.Next(fields, line)) {
        rows.push_back(fields);
        if (lines != nullptr) {
            lines->push_back(line);
        }
    }
    return rows;
}

std::string ErrorOf(const std::string& text, CsvLimits limits = {}) {
    try {
        ReadAll(text, nullptr, limits);
    } catch (const CliError& e) {
        return e.what();
    }
    return "no error";
}

}  // namespace

TEST(Csv, ReadsQuotedFieldsAndBothLineEnds) {
    std::vector<std::size_t> lines;
    const Rows rows = ReadAll(
        "\xEF\xBB\xBF"
        "a,b,c\r\n"
        "\"x, y\",\"say \"\"hi\"\"\",\"two\r\nlines\"\n"
        ",,\n"
        "last,\"\",end",
        &lines);
    const Rows expected = {
        {"a", "b", "c"}, {"x, y", "say \"hi\"", "two\r\nlines"}, {"", "", ""}, {"last", "", "end"}};
    EXPECT_EQ(rows, expected);
    EXPECT_EQ(lines, (std::vector<std::size_t>{1, 2, 4, 5}));
}

TEST(Csv, OnlyAWholeByteOrderMarkIsDropped) {
    // U+FF01 starts with the mark's first byte, and EF BB alone is no mark.
    EXPECT_EQ(ReadAll("\xEF\xBC\x81,a\n"), (Rows{{"\xEF\xBC\x81", "a"}}));
    EXPECT_EQ(ReadAll("\xEF\xBBx"), (Rows{{"\xEF\xBBx"}}));
    EXPECT_EQ(ReadAll("\xEF"), (Rows{{"\xEF"}}));
    EXPECT_EQ(ReadAll("\xEF\xBB\xBF"), Rows{});
}

TEST(Csv, MalformedInputNamesTheLine) {
    EXPECT_EQ(ErrorOf("a\n\"open,b\nc\n"),
              "in.csv: line 2: a quoted field is not closed before the end of the input");
    EXPECT_EQ(ErrorOf("a\nb\nx\"y\n"),
              "in.csv: line 3: a quote inside a field that does not "
              "start with one");
    EXPECT_EQ(ErrorOf("\"a\"b\n"), "in.csv: line 1: text after the closing quote of a field");
    CsvLimits small;
    small.maxFields = 3;
    small.maxFieldBytes = 4;
    EXPECT_EQ(ErrorOf("a,b,c\n1,2,3,4\n", small), "in.csv: line 2: more than 3 fields");
    EXPECT_EQ(ErrorOf("abcde\n", small), "in.csv: line 1: a field longer than 4 bytes");
    EXPECT_EQ(ErrorOf("\"\"\"\"\"\"\"\"\"\"\"\"\"\n", small),
              "in.csv: line 1: a field longer than 4 bytes");
}

TEST(Csv, WriterOutputReadsBack) {
    const Rows rows = {{"plain", "with,comma", "with \"quote\"", "two\r\nlines", ""}, {"x"}};
    std::ostringstream out;
    for (const auto& row : rows) {
        lkmdb::WriteCsvRow(out, row);
    }
    EXPECT_EQ(out.str(), "plain,\"with,comma\",\"with \"\"quote\"\"\",\"two\r\nlines\",\r\nx\r\n");
    EXPECT_EQ(ReadAll(out.str()), rows);
}

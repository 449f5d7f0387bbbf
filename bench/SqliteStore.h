// SQLite holding the generated rows, the store a user would pick instead: the yardstick of the
// load, save and cold-start benchmarks. Every function throws std::runtime_error when SQLite
// reports a failure.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "DatabaseGenerator.h"

namespace bench {

// One row as a host would hold it; identifiers are 8-byte values, as in the engine's records.
struct SqlRecord {
    std::int64_t recordID = 0;
    std::array<unsigned char, 8> type{};
    std::array<unsigned char, 8> category{};
    int icon = 0;
    int mask = 0;
    std::array<std::string, 10> fields;
    std::string note;
    std::array<std::string, 10> labels;
};

std::vector<SqlRecord> SqlRows(const std::vector<Row>& rows);

// Replaces the file at path with one table holding rows, inserted in one transaction with
// SQLite's default (full) synchronous setting.
void SqliteInsert(const std::string& path, const std::vector<SqlRecord>& rows);

// Every row of the file into objects. expected: the row count, known beforehand as a reader
// would from SELECT count(*); growing the vector instead would move every row several times and
// flatter the engine beside it.
std::vector<SqlRecord> SqliteSelect(const std::string& path, std::size_t expected);

}  // namespace bench

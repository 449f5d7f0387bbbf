// Realistic databases for the benchmarks: N records of ten fields of about 12 bytes, a note of
// about 40 and a few label overrides, spread over a few dozen record types and categories, all
// enciphered under one password. Everything is derived from a fixed seed, so every run and every
// store (the engine, SQLite, the CSV of an import) sees the same rows.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "lkmdb7/database/DatabaseObj7.h"

namespace bench {

inline constexpr const char* kPassword = "correct horse battery staple";
inline constexpr std::size_t kTypeCount = 36;
inline constexpr std::size_t kCategoryCount = 24;

struct Row {
    std::string type;
    std::string category;
    std::array<std::string, 10> fields;
    std::string note;  // lines joined by CR LF
    std::array<std::string, 10> labels;
    unsigned short icon = 0;
    unsigned short mask = 0;
};

// n rows from a fixed seed.
std::vector<Row> GenerateRows(std::size_t n);

// Turns on the process-wide record cipher that generated databases are enciphered with.
void UseBenchCipher();

// Appends the rows to db as records with distinct record IDs, creating their types and
// categories in the lists on first use.
void FillDatabase(LKMDB7::CDatabaseObj7& db, const std::vector<Row>& rows);

// A scratch folder for this process, removed at exit.
const std::string& ScratchFolder();

// Writes an enciphered database of n generated records at file, in a folder that exists.
void WriteDatabase(const std::string& file, std::size_t n);

// The path of an enciphered database of n records, written on first request and kept for the run.
const std::string& DatabaseFile(std::size_t n);

// The rows as an import file: a header line, then per row the type, the category, the ten fields
// and the note, comma-separated with quotes where a text needs them.
void WriteCsv(const std::string& path, const std::vector<Row>& rows);

std::size_t FileSize(const std::string& path);

}  // namespace bench

#include "SqliteStore.h"

#include <sqlite3.h>

#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace bench {

namespace {

void Check(int rc, sqlite3* db, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        throw std::runtime_error(std::string(what) + ": " + sqlite3_errmsg(db));
    }
}

constexpr const char* kCreateTable =
    "CREATE TABLE records(record_id INTEGER PRIMARY KEY, type BLOB, category BLOB, icon INTEGER, "
    "mask INTEGER, f0 TEXT, f1 TEXT, f2 TEXT, f3 TEXT, f4 TEXT, f5 TEXT, f6 TEXT, f7 TEXT, "
    "f8 TEXT, f9 TEXT, note TEXT, l0 TEXT, l1 TEXT, l2 TEXT, l3 TEXT, l4 TEXT, l5 TEXT, l6 TEXT, "
    "l7 TEXT, l8 TEXT, l9 TEXT)";

}  // namespace

std::vector<SqlRecord> SqlRows(const std::vector<Row>& rows) {
    std::vector<SqlRecord> out(rows.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SqlRecord& r = out[i];
        r.recordID = 0xD0000000LL + static_cast<std::int64_t>(i);
        r.type[7] = static_cast<unsigned char>(rows[i].type.size());
        r.category[7] = static_cast<unsigned char>(rows[i].category.size());
        r.icon = rows[i].icon;
        r.mask = rows[i].mask;
        r.fields = rows[i].fields;
        r.note = rows[i].note;
        r.labels = rows[i].labels;
    }
    return out;
}

void SqliteInsert(const std::string& path, const std::vector<SqlRecord>& rows) {
    std::filesystem::remove(path);
    sqlite3* db = nullptr;
    Check(sqlite3_open(path.c_str(), &db), db, "open");
    Check(sqlite3_exec(db, kCreateTable, nullptr, nullptr, nullptr), db, "create");
    Check(sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr), db, "begin");
    sqlite3_stmt* insert = nullptr;
    Check(sqlite3_prepare_v2(db,
                             "INSERT INTO records VALUES(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,"
                             "?,?,?,?,?)",
                             -1, &insert, nullptr),
          db, "prepare");
    for (const SqlRecord& r : rows) {
        sqlite3_bind_int64(insert, 1, r.recordID);
        sqlite3_bind_blob(insert, 2, r.type.data(), 8, SQLITE_STATIC);
        sqlite3_bind_blob(insert, 3, r.category.data(), 8, SQLITE_STATIC);
        sqlite3_bind_int(insert, 4, r.icon);
        sqlite3_bind_int(insert, 5, r.mask);
        int column = 6;
        for (const auto& f : r.fields) {
            sqlite3_bind_text(insert, column++, f.data(), static_cast<int>(f.size()),
                              SQLITE_STATIC);
        }
        sqlite3_bind_text(insert, column++, r.note.data(), static_cast<int>(r.note.size()),
                          SQLITE_STATIC);
        for (const auto& l : r.labels) {
            sqlite3_bind_text(insert, column++, l.data(), static_cast<int>(l.size()),
                              SQLITE_STATIC);
        }
        Check(sqlite3_step(insert), db, "insert");
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    Check(sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr), db, "commit");
    sqlite3_close(db);
}

namespace {

std::string ColumnText(sqlite3_stmt* s, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(s, column));
    return std::string(text != nullptr ? text : "",
                       static_cast<std::size_t>(sqlite3_column_bytes(s, column)));
}

void ColumnBlob(sqlite3_stmt* s, int column, std::array<unsigned char, 8>& out) {
    const void* blob = sqlite3_column_blob(s, column);
    if (blob != nullptr && sqlite3_column_bytes(s, column) == 8) {
        std::memcpy(out.data(), blob, 8);
    }
}

}  // namespace

std::vector<SqlRecord> SqliteSelect(const std::string& path, std::size_t expected) {
    sqlite3* db = nullptr;
    Check(sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr), db, "open");
    sqlite3_stmt* select = nullptr;
    Check(sqlite3_prepare_v2(db, "SELECT * FROM records", -1, &select, nullptr), db, "prepare");
    std::vector<SqlRecord> out;
    out.reserve(expected);
    while (sqlite3_step(select) == SQLITE_ROW) {
        SqlRecord& r = out.emplace_back();
        r.recordID = sqlite3_column_int64(select, 0);
        ColumnBlob(select, 1, r.type);
        ColumnBlob(select, 2, r.category);
        r.icon = sqlite3_column_int(select, 3);
        r.mask = sqlite3_column_int(select, 4);
        int column = 5;
        for (auto& f : r.fields) {
            f = ColumnText(select, column++);
        }
        r.note = ColumnText(select, column++);
        for (auto& l : r.labels) {
            l = ColumnText(select, column++);
        }
    }
    sqlite3_finalize(select);
    sqlite3_close(db);
    return out;
}

}  // namespace bench

#include "DatabaseGenerator.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <stdexcept>

#include "lkmdb7/items/CategoryItem.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/items/RecordCipher.h"
#include "lkmdb7/items/TypeItem.h"

namespace bench {

namespace {

constexpr const char* kTypeStems[] = {"Login",   "Bank Account", "Credit Card", "Email",
                                      "Server",  "Wi-Fi",        "Membership",  "Passport",
                                      "Licence", "Insurance",    "Software",    "Database"};
constexpr const char* kCategoryStems[] = {"Personal", "Work",     "Family", "Finance",
                                          "Travel",   "Shopping", "Health", "Archive"};

std::string Text(std::mt19937& gen, std::size_t minLength, std::size_t maxLength) {
    static constexpr char kAlphabet[] =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789@._-";
    std::uniform_int_distribution<std::size_t> length(minLength, maxLength);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    std::string s(length(gen), ' ');
    for (char& c : s) {
        c = kAlphabet[pick(gen)];
    }
    return s;
}

std::string Named(const char* const* stems, std::size_t stemCount, std::size_t i) {
    if (i < stemCount) {
        return stems[i];
    }
    char name[64];
    std::snprintf(name, sizeof name, "%s %zu", stems[i % stemCount], i / stemCount + 1);
    return name;
}

std::string CsvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        return text;
    }
    std::string out = "\"";
    for (char c : text) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    return out + "\"";
}

}  // namespace

std::vector<Row> GenerateRows(std::size_t n) {
    std::mt19937 gen(20240607);
    std::uniform_int_distribution<std::size_t> type(0, kTypeCount - 1);
    std::uniform_int_distribution<std::size_t> category(0, kCategoryCount - 1);
    std::uniform_int_distribution<int> labelCount(0, 3);
    std::uniform_int_distribution<int> slot(0, 9);
    std::vector<Row> rows(n);
    for (Row& row : rows) {
        row.type = Named(kTypeStems, std::size(kTypeStems), type(gen));
        row.category = Named(kCategoryStems, std::size(kCategoryStems), category(gen));
        for (auto& field : row.fields) {
            field = Text(gen, 8, 16);
        }
        row.note = Text(gen, 15, 22) + "\r\n" + Text(gen, 15, 22);
        for (int k = labelCount(gen); k > 0; --k) {
            row.labels[static_cast<std::size_t>(slot(gen))] = Text(gen, 5, 10);
        }
        row.icon = static_cast<unsigned short>(gen() % 64);
        row.mask = static_cast<unsigned short>(gen() & 0x3FF);
    }
    return rows;
}

void UseBenchCipher() {
    LKMDB7::SetRecordCipherPassword(kPassword);
}

void FillDatabase(LKMDB7::CDatabaseObj7& db, const std::vector<Row>& rows) {
    using namespace LKMDB7;
    std::map<std::string, CUID> types;
    std::map<std::string, CUID> categories;
    DWORD recordID = 0xD0000000u;
    for (const Row& row : rows) {
        auto& typeID = types[row.type];
        if (typeID.IsNull()) {
            auto item = std::make_unique<CTypeItem>();
            item->SetName(row.type.c_str());
            item->SetDefaultLabels();
            CTypeItem* raw = item.release();
            db.GetTypesList().AddItemSorted(raw);
            typeID = raw->GetUniqueID();
        }
        auto& categoryID = categories[row.category];
        if (categoryID.IsNull()) {
            auto item = std::make_unique<CCategoryItem>();
            item->SetName(row.category.c_str());
            CCategoryItem* raw = item.release();
            db.GetCategoryList().AddItemSorted(raw);
            categoryID = raw->GetUniqueID();
        }
        auto record = std::make_unique<CRecord>();
        record->SetRecordID(recordID++);
        record->SetTypeID(typeID);
        record->SetCategoryID(categoryID);
        record->SetIconIndex(row.icon);
        record->SetMaskBits(row.mask);
        CStringArray values;
        for (const auto& field : row.fields) {
            values.Add(field.c_str());
        }
        record->SetFields(values);
        CStringArray labels;
        for (const auto& label : row.labels) {
            labels.Add(label.c_str());
        }
        record->SetFieldLabels(labels);
        record->SetNote(row.note.c_str());
        db.GetRecordList().AddItem(record.release());
    }
}

const std::string& ScratchFolder() {
    struct Folder {
        std::string path;
        Folder() {
            const auto base = std::filesystem::temp_directory_path();
            std::random_device random;
            for (int attempt = 0; attempt < 100; ++attempt) {
                auto candidate = base / ("lkmdb7-bench-" + std::to_string(random()));
                if (std::filesystem::create_directory(candidate)) {
                    path = candidate.string();
                    return;
                }
            }
            throw std::runtime_error("no scratch folder");
        }
        ~Folder() {
            std::error_code ignored;
            std::filesystem::remove_all(path, ignored);
        }
    };
    static const Folder folder;
    return folder.path;
}

void WriteDatabase(const std::string& file, std::size_t n) {
    UseBenchCipher();
    LKMDB7::CDatabaseObj7 db;
    if (db.Load(file.c_str()) != 0) {
        throw std::runtime_error("cannot open " + file);
    }
    FillDatabase(db, GenerateRows(n));
    if (db.Save(true) != 0) {
        throw std::runtime_error("cannot save " + file);
    }
}

const std::string& DatabaseFile(std::size_t n) {
    static std::map<std::size_t, std::string> files;
    auto& path = files[n];
    if (path.empty()) {
        const std::string folder = ScratchFolder() + "/db" + std::to_string(n);
        std::filesystem::create_directories(folder);
        const std::string file = folder + "/" + LKMDB7::kDatabaseFileName;
        WriteDatabase(file, n);
        path = file;
    }
    return path;
}

void WriteCsv(const std::string& path, const std::vector<Row>& rows) {
    std::ofstream out(path, std::ios::binary);
    out << "type,category,field1,field2,field3,field4,field5,field6,field7,field8,field9,field10,"
           "note\r\n";
    for (const Row& row : rows) {
        out << CsvField(row.type) << ',' << CsvField(row.category);
        for (const auto& field : row.fields) {
            out << ',' << CsvField(field);
        }
        out << ',' << CsvField(row.note) << "\r\n";
    }
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::size_t FileSize(const std::string& path) {
    return static_cast<std::size_t>(std::filesystem::file_size(path));
}

}  // namespace bench

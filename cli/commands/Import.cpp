#include <algorithm>
#include <fstream>
#include <map>
#include <ostream>

#include "cli/Csv.h"
#include "cli/Terminal.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

struct Row {
    CString type;
    CString category;
    CStringArray fields;
    CString note;
    std::size_t line = 0;
};

bool SameNoCase(const std::string& a, const std::string& b) {
    return CString(a).CompareNoCase(b.c_str()) == 0;
}

// Texts of ASCII (without zero bytes) are the same in Windows-1252; the context that an error
// message would need is made only for the others.
CString StoredField(const std::string& utf8, const std::string& where, const std::string& name) {
    if (std::all_of(utf8.begin(), utf8.end(),
                    [](char c) { return c != '\0' && static_cast<unsigned char>(c) < 0x80; })) {
        return CString(utf8);
    }
    return Stored(utf8, where + ", " + name);
}

// The whole file, checked and converted; throws CliError naming the line of the first bad row.
std::vector<Row> ReadRows(const std::string& name) {
    std::ifstream in(NativePath(name), std::ios::binary);
    if (!in) {
        throw CliError(kExitFailure, name + ": cannot be read");
    }
    CsvReader reader(in, name);
    std::vector<std::string> fields;
    std::size_t line = 0;
    const std::vector<std::string>& header = CsvHeader();
    if (!reader.Next(fields, line) ||
        !std::equal(fields.begin(), fields.end(), header.begin(), header.end(), SameNoCase)) {
        throw CliError(kExitFailure, name +
                                         ": line 1: the header must read "
                                         "type,category,field1,...,field10,note");
    }
    std::vector<Row> rows;
    while (reader.Next(fields, line)) {
        if (fields.size() == 1 && fields[0].empty()) {
            continue;  // a blank line
        }
        const std::string where = name + ": line " + std::to_string(line);
        if (fields.size() != header.size()) {
            throw CliError(kExitFailure, where + ": " + std::to_string(fields.size()) +
                                             " fields, where the header has " +
                                             std::to_string(header.size()));
        }
        Row row;
        row.line = line;
        row.type = StoredField(fields[0], where, "type");
        if (row.type.IsEmpty()) {
            row.type = "Unfiled";
        }
        row.category = StoredField(fields[1], where, "category");
        row.fields.SetSize(kFieldCount);
        for (std::size_t i = 0; i < std::size_t{kFieldCount}; ++i) {
            row.fields.SetAt(static_cast<int>(i), StoredField(fields[2 + i], where, header[2 + i]));
        }
        row.note = StoredField(fields[12], where, "note");
        rows.push_back(std::move(row));
    }
    return rows;
}

}  // namespace

void AddImport(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        std::string file;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "import",
                                 "Add every row of a CSV file as a record, in one "
                                 "save; a bad row changes nothing");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("FILE", opts->file, "CSV, UTF-8, header type,category,field1,...,field10,note")
        ->required();
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        const std::vector<Row> rows = ReadRows(opts->file);
        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kWrite);
        Progress progress(ctx, "import", rows.size());
        // The secret-field mask of each existing type, looked up once (the list is searched).
        std::map<std::string, WORD> masks;
        CStringArray texts;
        for (const Row& row : rows) {
            progress.Step();
            texts.SetSize(row.note.IsEmpty() ? 11 : 12);
            texts.SetAt(0, row.type);
            for (int i = 0; i < kFieldCount; ++i) {
                texts.SetAt(1 + i, row.fields.GetAt(i));
            }
            if (!row.note.IsEmpty()) {
                texts.SetAt(11, row.note);
            }
            // Fields of an existing type are as secret as the type says; a type that the import
            // makes is looked up again by the rows after the one that made it.
            WORD mask = 0;
            if (const auto known = masks.find(row.type.str()); known != masks.end()) {
                mask = known->second;
            } else if (const CTypeItem* type = db.Db().GetTypesList().GetTypeByName(row.type)) {
                mask = type->GetMaskBits();
                masks.emplace(row.type.str(), mask);
            }
            CStringArray labels;
            try {
                db.Db().AddRecordWithoutWaiting(texts, mask, labels, row.category, 255, false);
            } catch (const CInvalidArgException& e) {
                throw CliError(kExitFailure, opts->file + ": line " + std::to_string(row.line) +
                                                 ": " + e.what() + "; nothing was imported");
            }
        }
        if (!rows.empty()) {
            db.Save();
        }
        ctx.out << "imported " << rows.size() << " records into " << db.File().shown << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb

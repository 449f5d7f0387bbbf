#include <ostream>

#include "cli/SecretFields.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

// "N=TEXT" of --field: the field number (1-10) and the text.
std::pair<int, std::string> FieldAssignment(const std::string& given) {
    const std::size_t equals = given.find('=');
    const std::string number = given.substr(0, equals);
    if (equals == std::string::npos || number.empty() || number.size() > 2 ||
        number.find_first_not_of("0123456789") != std::string::npos || std::stoi(number) < 1 ||
        std::stoi(number) > kFieldCount) {
        throw CliError(kExitFailure,
                       "--field: '" + given + "' is not N=TEXT with N a field number from 1 to 10");
    }
    return {std::stoi(number), given.substr(equals + 1)};
}

}  // namespace

void AddEdit(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        std::string record;
        std::vector<std::string> fields;
        std::vector<int> fieldsFromStdin;
        std::vector<int> fieldsAsked;
        std::string note;
        std::string type;
        std::string category;
        std::string mask;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "edit",
                                 "Change fields, note, type, category or mask of one "
                                 "record; what is not named stays");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("RECORD", opts->record, "its ID as ls shows it, or its first field")
        ->required();
    sub->add_option("--field", opts->fields, "N=TEXT: field N (1 to 10) becomes TEXT")
        ->allow_extra_args(false);
    AddSecretFieldOptions(*sub, opts->fieldsFromStdin, opts->fieldsAsked);
    sub->add_option("--note", opts->note, "the new note (\"\" clears it)");
    sub->add_option("--type", opts->type, "an existing record type (\"Unfiled\": none)");
    sub->add_option("--category", opts->category, "an existing category (\"Unfiled\": none)");
    sub->add_option("--mask", opts->mask,
                    "secret fields, bit 0 for field 1 to bit 9 for field 10 (default: as it "
                    "was, and with --type also the new type's)");
    commands.Bind(sub, [opts, sub, &ctx = commands.Ctx()] {
        // Every text is read and converted before the database is touched.
        std::map<int, CString> fields;
        for (const std::string& given : opts->fields) {
            auto [number, text] = FieldAssignment(given);
            if (!fields.emplace(number, Stored(text, "--field " + std::to_string(number))).second) {
                throw CliError(kExitFailure, "field " + std::to_string(number) + " is given twice");
            }
        }
        for (const auto& [number, text] :
             ReadSecretFields(ctx, opts->fieldsFromStdin, opts->fieldsAsked)) {
            if (!fields.emplace(number, Stored(text, "field " + std::to_string(number))).second) {
                throw CliError(kExitFailure, "field " + std::to_string(number) + " is given twice");
            }
        }
        const bool noteGiven = sub->count("--note") != 0;
        const CString note = Stored(opts->note, "--note");
        const bool maskGiven = sub->count("--mask") != 0;
        const auto mask = maskGiven ? ParseMask(opts->mask, "--mask") : WORD{0};
        const bool typeGiven = sub->count("--type") != 0;
        const bool categoryGiven = sub->count("--category") != 0;
        if (fields.empty() && !noteGiven && !maskGiven && !typeGiven && !categoryGiven) {
            throw CliError(kExitFailure,
                           "edit: nothing to change (--field, --field-stdin, "
                           "--ask-field, --note, --type, --category or --mask)");
        }

        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kWrite);
        CRecord& record = FindRecord(db.Db(), opts->record, db.File());
        const CUID type = typeGiven ? TypeIDByName(db.Db(), opts->type, db.File()) : CUID{};
        const CUID category =
            categoryGiven ? CategoryIDByName(db.Db(), opts->category, db.File()) : CUID{};
        // Lookups first: a name not found changes nothing.
        for (const auto& [number, text] : fields) {
            record.SetField(number - 1, text);
        }
        if (noteGiven) {
            record.SetNote(note);
        }
        WORD bits = record.GetMaskBits();
        if (typeGiven) {
            record.SetTypeID(type);
            // A field secret before stays secret unless --mask says otherwise.
            bits |= db.Db().GetTypesList().GetTypeMask(type);
        }
        record.SetMaskBits(maskGiven ? mask : bits);
        if (categoryGiven) {
            record.SetCategoryID(category);
        }
        record.SetNeedsSync(!record.IsLocalOnly());
        db.Save();
        ctx.out << "changed record " << record.GetRecordID() << " in " << db.File().shown << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb

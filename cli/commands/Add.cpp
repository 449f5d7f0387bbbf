#include <algorithm>
#include <ostream>

#include "cli/SecretFields.h"

#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

void AddAdd(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        std::string type;
        std::string category;
        std::vector<std::string> fields;
        std::vector<int> fieldsFromStdin;
        std::vector<int> fieldsAsked;
        std::string note;
        std::string mask;
        std::string icon;
        bool localOnly = false;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "add", "Add one record, creating its type and category");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("--type", opts->type, "record type (\"Unfiled\": none)")->required();
    sub->add_option("--category", opts->category, "category (default: none)");
    sub->add_option("--field", opts->fields, "the next field's text (up to ten, in order)")
        ->allow_extra_args(false);
    AddSecretFieldOptions(*sub, opts->fieldsFromStdin, opts->fieldsAsked);
    sub->add_option("--note", opts->note, "the note");
    sub->add_option("--mask", opts->mask,
                    "secret fields, bit 0 for field 1 to bit 9 for field 10 (default: the type's)");
    sub->add_option("--icon", opts->icon, "icon index (default 255: the type's)");
    sub->add_flag("--local-only", opts->localOnly, "keep the record on this computer only");
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        if (opts->fields.size() > std::size_t{kFieldCount}) {
            throw CliError(kExitFailure, "--field: a record has ten fields, " +
                                             std::to_string(opts->fields.size()) + " were given");
        }
        for (auto& [number, text] :
             ReadSecretFields(ctx, opts->fieldsFromStdin, opts->fieldsAsked)) {
            const auto at = static_cast<std::size_t>(number - 1);
            if (at < opts->fields.size() && !opts->fields[at].empty()) {
                throw CliError(kExitFailure, "field " + std::to_string(number) + " is given twice");
            }
            opts->fields.resize(std::max(opts->fields.size(), at + 1));
            opts->fields[at] = std::move(text);
        }
        // Every text is converted before the database is touched.
        CStringArray texts;
        texts.Add(opts->type.empty() ? CString("Unfiled") : Stored(opts->type, "--type"));
        for (std::size_t i = 0; i < std::size_t{kFieldCount}; ++i) {
            texts.Add(i < opts->fields.size()
                          ? Stored(opts->fields[i], "--field " + std::to_string(i + 1))
                          : CString());
        }
        if (!opts->note.empty()) {
            texts.Add(Stored(opts->note, "--note"));
        }
        const CString category = Stored(opts->category, "--category");
        const bool maskGiven = !opts->mask.empty();
        const auto mask = maskGiven ? ParseMask(opts->mask, "--mask") : WORD{0};
        const auto icon =
            static_cast<WORD>(opts->icon.empty() ? 255 : ParseBits(opts->icon, 0xFFFF, "--icon"));

        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kWrite);
        WORD maskBits = mask;
        if (!maskGiven) {
            // As a new record of an existing type hides what the type hides.
            if (const CTypeItem* type = db.Db().GetTypesList().GetTypeByName(texts.GetAt(0))) {
                maskBits = type->GetMaskBits();
            }
        }
        CStringArray labels;
        const CRecord* record = db.Db().AddRecordWithoutWaiting(texts, maskBits, labels, category,
                                                                icon, opts->localOnly);
        db.Save();
        ctx.out << "added record " << record->GetRecordID() << " to " << db.File().shown << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb

#include <ostream>

#include "cli/Columns.h"
#include "cli/Json.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

// The undeleted type of that name (ignoring case); throws CliError (1) when there is none.
CTypeItem& ExistingType(CDatabaseObj7& db, const std::string& name, const DatabaseFile& file) {
    CTypeItem* type = db.GetTypesList().GetTypeByName(Stored(name, "NAME"));
    if (type == nullptr) {
        throw CliError(kExitNotFound, file.shown + ": no record type named \"" + name + "\"");
    }
    return *type;
}

std::size_t RecordsOfType(CDatabaseObj7& db, const CUID& type) {
    std::size_t count = 0;
    for (const CRecord& record : Items(std::as_const(db.GetRecordList()))) {
        count +=
            !record.IsDeleted() && record.GetTypeID() == type ? std::size_t{1} : std::size_t{0};
    }
    return count;
}

void AddTypeLs(CLI::App& parent, Commands& commands) {
    struct Options {
        std::string path;
        bool json = false;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(parent, "ls",
                                 "One line per record type: name, records, labels "
                                 "(secret ones marked *)");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_flag("--json", opts->json, "print JSON");
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kRead);
        nlohmann::json types = nlohmann::json::array();
        std::vector<std::vector<std::string>> rows{{"TYPE", "RECORDS", "LABELS"}};
        for (const CTypeItem& type : Items(std::as_const(db.Db().GetTypesList()))) {
            if (type.IsDeleted()) {
                continue;
            }
            nlohmann::json labels = nlohmann::json::array();
            std::string shown;
            for (int i = 0; i < kFieldCount; ++i) {
                const std::string label = Shown(type.GetLabel(i));
                labels.push_back(label);
                const bool secret = type.GetMask(i);
                if (!label.empty() || secret) {
                    shown += (shown.empty() ? "" : ", ") + std::to_string(i + 1) + " " + label +
                             (secret ? "*" : "");
                }
            }
            const std::size_t records = RecordsOfType(db.Db(), type.GetUniqueID());
            types.push_back({{"name", Shown(type.GetName())},
                             {"labels", labels},
                             {"mask", type.GetMaskBits()},
                             {"records", records}});
            rows.push_back({Shown(type.GetName()), std::to_string(records), shown});
        }
        if (opts->json) {
            nlohmann::json doc = JsonDocument();
            doc["types"] = std::move(types);
            WriteJson(ctx.out, doc);
        } else if (rows.size() > 1) {
            WriteColumns(ctx.out, std::move(rows));
        }
        return kExitOk;
    });
}

void AddTypeAdd(CLI::App& parent, Commands& commands) {
    struct Options {
        std::string path;
        std::string name;
        std::vector<std::string> labels;
        std::string mask;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(parent, "add",
                                 "A new record type with field labels and secret fields, which "
                                 "add gives the records of it");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("NAME", opts->name, "the type's name")->required();
    sub->add_option("--label", opts->labels, "the next field's label (up to ten, in order)")
        ->allow_extra_args(false);
    sub->add_option("--mask", opts->mask,
                    "secret fields, bit 0 for field 1 to bit 9 for field 10 (default: none)");
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        if (opts->labels.size() > static_cast<std::size_t>(kFieldCount)) {
            throw CliError(kExitFailure, "--label: a type has ten fields, " +
                                             std::to_string(opts->labels.size()) + " were given");
        }
        const CString name = Stored(opts->name, "NAME");
        if (name.IsEmpty() || name.CompareNoCase("Unfiled") == 0) {
            throw CliError(kExitFailure, "NAME: \"" + opts->name + "\" cannot name a record type");
        }
        auto type = std::make_unique<CTypeItem>();
        type->SetName(name);
        type->SetDefaultLabels();
        for (std::size_t i = 0; i < opts->labels.size(); ++i) {
            type->SetLabel(static_cast<int>(i),
                           Stored(opts->labels[i], "--label " + std::to_string(i + 1)));
        }
        type->SetMaskBits(opts->mask.empty() ? WORD{0} : ParseMask(opts->mask, "--mask"));
        type->SetNeedsSync(true);

        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kWrite);
        if (db.Db().GetTypesList().GetTypeByName(name) != nullptr) {
            throw CliError(kExitFailure,
                           db.File().shown + ": a record type named \"" + opts->name + "\" exists");
        }
        db.Db().GetTypesList().AddItemSorted(type.release());
        db.Save();
        ctx.out << "added record type \"" << opts->name << "\" to " << db.File().shown << '\n';
        return kExitOk;
    });
}

void AddTypeRm(CLI::App& parent, Commands& commands) {
    struct Options {
        std::string path;
        std::string name;
        bool force = false;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(parent, "rm", "Delete a record type that no record uses");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("NAME", opts->name, "the type's name")->required();
    sub->add_flag("--force", opts->force, "also when records use it: they become Unfiled");
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kWrite);
        CTypeItem& type = ExistingType(db.Db(), opts->name, db.File());
        const std::size_t used = RecordsOfType(db.Db(), type.GetUniqueID());
        if (used != 0 && !opts->force) {
            // Its records would lose their labels, and the type's secret fields with them.
            throw CliError(kExitFailure, db.File().shown + ": " + std::to_string(used) +
                                             " records are of type \"" + opts->name +
                                             "\"; nothing was changed (--force makes them "
                                             "Unfiled)");
        }
        db.Db().SetTypeDeleted(&type);
        db.Save();
        ctx.out << "deleted record type \"" << opts->name << "\" from " << db.File().shown << '\n';
        return kExitOk;
    });
}

}  // namespace

void AddType(CLI::App& app, Commands& commands) {
    CLI::App* type = commands.Add(app, "type", "Record types: ls, add, rm");
    type->require_subcommand(1);
    AddTypeLs(*type, commands);
    AddTypeAdd(*type, commands);
    AddTypeRm(*type, commands);
}

}  // namespace lkmdb

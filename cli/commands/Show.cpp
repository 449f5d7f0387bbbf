#include <nlohmann/json.hpp>
#include <ostream>
#include <utility>

#include "cli/Columns.h"
#include "cli/Json.h"
#include "cli/Text1252.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

// The record's own label, else its type's, else a plain field number (counted from 1).
std::string LabelOf(const CRecord& record, const CTypeItem* type, int i) {
    CString label = record.GetFieldLabelA(i);
    if (label.IsEmpty() && type != nullptr) {
        label = type->GetLabel(i);
    }
    if (label.IsEmpty()) {
        label = DefaultFieldLabel(i);
    }
    return Shown(label);
}

std::vector<std::string> NoteLines(const std::string& note) {
    std::vector<std::string> lines;
    std::string line;
    for (char c : note) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else if (c != '\r') {
            line += c;
        }
    }
    lines.push_back(line);
    return lines;
}

}  // namespace

void AddShow(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        std::string record;
        bool reveal = false;
        int field = 0;
        bool json = false;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "show",
                                 "Every field of one record with its label, the note, "
                                 "view count and attachment");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("RECORD", opts->record, "its ID as ls shows it, or its first field")
        ->required();
    sub->add_flag("--reveal", opts->reveal, "show secret fields instead of ****");
    sub->add_option("--field", opts->field, "print field N (1 to 10) alone, for scripts")
        ->check(CLI::Range(1, kFieldCount));
    sub->add_flag("--json", opts->json, "print JSON");
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kRead);
        const CRecord* record = &FindRecord(db.Db(), opts->record, db.File());
        const bool mask = !opts->reveal;
        if (opts->field != 0) {
            // A script given "****" would take it for the value.
            if (mask && record->GetFieldMask(opts->field - 1)) {
                throw CliError(kExitFailure, db.File().shown + ": field " +
                                                 std::to_string(opts->field) + " of record " +
                                                 std::to_string(record->GetRecordID()) +
                                                 " is secret; add --reveal to print it");
            }
            const std::string value = Shown(record->GetField(opts->field - 1, false));
            ctx.out << (ctx.env.outputIsTerminal ? Printable(value) : value) << '\n';
            return kExitOk;
        }
        const CTypeItem* type = db.Db().GetTypesList().GetType(record->GetTypeID());
        const std::string note = Shown(record->GetNote());
        const std::string attachment = Shown(record->GetAttachedFileName());
        if (opts->json) {
            nlohmann::json doc = JsonDocument();
            doc["record"] =
                RecordJson(db.Db(), *record, opts->reveal ? Secrets::kRevealed : Secrets::kHidden);
            WriteJson(ctx.out, doc);
            return kExitOk;
        }
        std::vector<std::vector<std::string>> rows{
            {"record:", std::to_string(record->GetRecordID())},
            {"type:", TypeName(db.Db(), *record)},
            {"category:", CategoryName(db.Db(), *record)}};
        for (int i = 0; i < kFieldCount; ++i) {
            const std::string value = Shown(record->GetField(i, mask));
            if (!value.empty()) {
                rows.push_back({LabelOf(*record, type, i) + ":", value});
            }
        }
        if (!note.empty()) {
            bool first = true;
            for (const std::string& line : NoteLines(note)) {
                rows.push_back({first ? "note:" : "", line});
                first = false;
            }
        }
        rows.push_back({"views:", std::to_string(record->GetViewCount())});
        if (!attachment.empty()) {
            rows.push_back({"attachment:", attachment});
        }
        WriteColumns(ctx.out, std::move(rows));
        return kExitOk;
    });
}

}  // namespace lkmdb

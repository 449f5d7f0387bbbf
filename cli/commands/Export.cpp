#include <filesystem>
#include <nlohmann/json.hpp>
#include <ostream>
#include <sstream>

#include "cli/Csv.h"
#include "cli/Json.h"
#include "cli/Listing.h"
#include "cli/Password.h"
#include "cli/Terminal.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

void AddExport(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        std::string format = "csv";
        std::string output;
        bool force = false;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "export",
                                 "Write every record, secret fields included, as CSV (with each "
                                 "record's secret-field mask and labels) or JSON (UTF-8)");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("--format", opts->format, "csv (default) or json")
        ->check(CLI::IsMember({"csv", "json"}));
    sub->add_option("-o,--output", opts->output,
                    "write to FILE (readable by you only; whole or not at all) instead of "
                    "standard output")
        ->type_name("FILE");
    sub->add_flag("--force", opts->force, "replace FILE when it exists");
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kRead);
        const std::vector<CRecord*> records = RecordsInView(db.Db(), CUID_ALL, CUID_ALL);
        std::string native;
        if (!opts->output.empty()) {
            native = NativePath(opts->output);
            // By identity, not by name: a link or another spelling of the database is refused.
            std::error_code ec;
            if (std::filesystem::equivalent(native, db.File().native, ec)) {
                throw CliError(kExitFailure,
                               opts->output + ": is the database itself; nothing was written");
            }
        }
        // A file gets the export whole or not at all: what a failed write left would be secrets
        // in clear.
        std::ostringstream file;
        std::ostream& out = opts->output.empty() ? ctx.out : file;
        Progress progress(ctx, "export", records.size());
        if (opts->format == "json") {
            nlohmann::json doc = JsonDocument();
            nlohmann::json& list = doc["records"] = nlohmann::json::array();
            for (const CRecord* r : records) {
                progress.Step();
                list.push_back(RecordJson(db.Db(), *r, Secrets::kRevealed));
            }
            WriteJson(out, doc);
        } else {
            WriteCsvRow(out, CsvHeader());
            for (const CRecord* r : records) {
                progress.Step();
                std::vector<std::string> row{TypeName(db.Db(), *r), CategoryName(db.Db(), *r)};
                for (int i = 0; i < kFieldCount; ++i) {
                    row.push_back(Shown(r->GetField(i, false)));
                }
                row.push_back(Shown(r->GetNote()));
                row.push_back(std::to_string(r->GetMaskBits()));
                // The labels the record shows: its type's, or its own where it has them.
                const CTypeItem* type = db.Db().GetTypesList().GetType(r->GetTypeID());
                for (int i = 0; i < kFieldCount; ++i) {
                    row.push_back(Shown(r->GetFieldLabel(i, type, false)));
                }
                WriteCsvRow(out, row);
            }
        }
        if (!opts->output.empty()) {
            std::string bytes = std::move(file).str();
            const std::string refused = WritePrivateFile(native, bytes, opts->force);
            Wipe(bytes);
            if (!refused.empty()) {
                throw CliError(kExitFailure,
                               opts->output + ": " + refused + "; nothing was written");
            }
            ctx.out << "exported " << records.size() << " records to " << opts->output << '\n';
        }
        return kExitOk;
    });
}

}  // namespace lkmdb

#include <algorithm>
#include <ostream>
#include <sstream>

#include "cli/Csv.h"
#include "cli/Terminal.h"
#include "cli/commands/Commands.h"
#include "cli/import/Importer.h"
#include "cli/import/Readers.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

// Every input is read whole before the database is opened; a larger one is no export of a password
// manager.
constexpr std::size_t kMaxInputBytes = std::size_t{256} << 20;

constexpr const char* kImportHelp = R"(
FILE is CSV (',' or ';' between fields), Bitwarden's JSON or KeePassXC's XML, UTF-8 with or
without a byte order mark; "-" reads standard input. The format is recognised by the header's column names
(or by the file's first character for JSON and XML), or named with --from: lkmdb (the CSV that
export writes), chrome (also Edge and Brave), firefox, bitwarden, bitwarden-json, keepassxc,
keepassxc-xml, lastpass, 1password, apple. Other CSV files name their columns with --map, e.g.
--map title=Site,username=Login,password=Secret,url=Address,notes=Comment,folder=Group.

Other managers' entries become records of the types "Login" (Title, User name, Password, URL,
One-time password; the password and one-time password are secret), "Secure Note" and "Card";
folders and groups become categories; columns that fit no field are kept in the note as
"column: value" lines, but hidden or protected custom fields in a free field, secret. A row equal to a record that the database holds (or that an earlier row
added) is skipped and counted, unless --allow-duplicates.

Rows go into the database as they are read, and nothing is saved unless every row is good. The
problems are reported together, on standard error, in this order: each bad row in input order
(its line and field; for JSON the item's number), then every character that has no Windows-1252
byte in one line (with --replace-unmappable they are stored as '?' instead), then a last line
counting the bad rows. A header of no known format, an input that is no JSON or XML, and the
database's own errors stop at once. A malformed CSV record (an unclosed quote) ends the reading,
as nothing after it can be told apart; the problems before it are reported with it.

The input is read whole (at most 256 MiB) before the database is opened, so a slow pipe never
holds the database lock. FILE must be a regular file: a named pipe, a device or a folder is
refused (use "-" to read a pipe). An empty input (nothing, or only a byte order mark and blank
lines) is refused; an export that holds no records (a CSV header alone, a JSON export whose
"items" list is empty, an XML export with no entries) imports nothing and succeeds. An XML
document that declares a document type (<!DOCTYPE ...>) is refused, entities included.
)";

}  // namespace

void AddImport(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        std::string file;
        std::string from;
        std::string map;
        bool dryRun = false;
        bool replaceUnmappable = false;
        bool allowDuplicates = false;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "import",
                                 "Add the records of a CSV, JSON or XML export (lkmdb's or another "
                                 "password manager's) in one save; a bad row changes nothing");
    sub->footer(kImportHelp);
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("FILE", opts->file, "the export to read; - for standard input")->required();
    std::vector<std::string> formats = ImportFormatNames();
    formats.erase(std::remove(formats.begin(), formats.end(), "map"), formats.end());
    CLI::Option* from = sub->add_option("--from", opts->from, "the format of FILE (see below)")
                            ->check(CLI::IsMember(formats));
    sub->add_option("--map", opts->map,
                    "ROLE=COLUMN,...: the columns of a CSV file of another kind")
        ->excludes(from);
    sub->add_flag("--dry-run", opts->dryRun, "read and check everything, save nothing");
    sub->add_flag("--replace-unmappable", opts->replaceUnmappable,
                  "store characters that have no Windows-1252 byte as '?'");
    sub->add_flag("--allow-duplicates", opts->allowDuplicates,
                  "add rows equal to records the database holds");
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        const bool fromStdin = opts->file == "-";
        if (fromStdin && ctx.password.fromStdin) {
            throw CliError(kExitFailure,
                           "standard input cannot carry both the password and the rows; use "
                           "--password-file or --ask-password");
        }
        const std::string name = fromStdin ? std::string("standard input") : opts->file;
        // All of the input is read before the database is opened: the database lock is one for
        // all of the user's databases, and must not wait on a writer at the other end of a pipe.
        std::string text;
        if (fromStdin) {
            char buffer[65536];
            while (ctx.in.read(buffer, sizeof buffer) || ctx.in.gcount() > 0) {
                text.append(buffer, static_cast<std::size_t>(ctx.in.gcount()));
                if (text.size() > kMaxInputBytes) {
                    throw CliError(kExitFailure, name + ": larger than " +
                                                     std::to_string(kMaxInputBytes >> 20) +
                                                     " MiB; nothing was imported");
                }
            }
        } else if (const std::string refused =
                       ReadRegularFile(NativePath(opts->file), kMaxInputBytes, text);
                   !refused.empty()) {
            throw CliError(kExitFailure, opts->file + ": " + refused + "; nothing was imported");
        }
        // Most likely a command before it in a pipe that failed: no header is no export.
        const std::size_t start = text.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
        if (text.find_first_not_of(" \t\r\n", start) == std::string::npos) {
            throw CliError(kExitFailure, name +
                                             ": empty (no header, no records); nothing was "
                                             "imported");
        }
        std::string kind = opts->from == "bitwarden-json"  ? "json"
                           : opts->from == "keepassxc-xml" ? "xml"
                                                           : "csv";
        if (opts->from.empty() && opts->map.empty()) {
            kind = SniffImport(text);
        }

        OpenDatabase db(ctx, opts->path,
                        opts->dryRun ? OpenDatabase::Mode::kRead : OpenDatabase::Mode::kWrite);
        Importer importer(db.Db(), name, {opts->replaceUnmappable, opts->allowDuplicates});
        if (kind == "csv") {
            const std::size_t size = text.size();
            std::istringstream in(std::move(text));
            CsvReader reader(in, name, {}, CsvReader::kDetect);
            Progress progress(ctx, "import (bytes read)", size);
            importer.OnProgress([&] { progress.StepTo(static_cast<std::size_t>(in.tellg())); });
            ReadCsvImport(reader, opts->from, opts->map, importer);
        } else if (kind == "json") {
            ReadBitwardenJson(text, importer);
        } else {
            ReadKeePassXml(text, importer);
        }

        if (importer.Failed()) {
            const std::size_t bad = importer.WriteProblems(ctx.err);
            throw CliError(kExitFailure, name + ": " + std::to_string(bad) +
                                             (bad == 1 ? " bad record" : " bad records") +
                                             "; nothing was imported");
        }
        if (!opts->dryRun && importer.Added() != 0) {
            db.Save();
        }
        ctx.out << (opts->dryRun ? "would import " : "imported ") << importer.Added()
                << " records into " << db.File().shown;
        if (importer.Duplicates() != 0) {
            ctx.out << "; skipped " << importer.Duplicates()
                    << " equal to records it holds (--allow-duplicates keeps them)";
        }
        if (importer.Replaced() != 0) {
            ctx.out << "; " << importer.Replaced()
                    << " characters without a Windows-1252 byte stored as '?'";
        }
        ctx.out << '\n';
        return kExitOk;
    });
}

}  // namespace lkmdb

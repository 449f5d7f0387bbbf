#include <algorithm>
#include <filesystem>
#include <fstream>
#include <ostream>

#include "cli/Csv.h"
#include "cli/Terminal.h"
#include "cli/commands/Commands.h"
#include "cli/import/Importer.h"
#include "cli/import/Readers.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

// JSON and XML are parsed whole; a larger input is no export of a password manager.
constexpr std::size_t kMaxDocumentBytes = std::size_t{256} << 20;

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
        std::ifstream file;
        std::size_t size = 0;
        if (!fromStdin) {
            const std::string native = NativePath(opts->file);
            file.open(native, std::ios::binary);
            std::error_code ec;
            if (!file || std::filesystem::is_directory(native, ec)) {
                throw CliError(kExitFailure, opts->file + ": cannot be read");
            }
            size = static_cast<std::size_t>(std::filesystem::file_size(native, ec));
        }
        std::istream& in = fromStdin ? ctx.in : file;

        OpenDatabase db(ctx, opts->path,
                        opts->dryRun ? OpenDatabase::Mode::kRead : OpenDatabase::Mode::kWrite);
        Importer importer(db.Db(), name, {opts->replaceUnmappable, opts->allowDuplicates});

        // What the input is: the bytes up to its first one that is neither a byte order mark
        // nor white space tell, and are handed on to the reader.
        std::string head;
        for (int c = in.rdbuf()->sgetc();
             c != std::char_traits<char>::eof() && head.size() < 4096 &&
             (c == 0xEF || c == 0xBB || c == 0xBF || c == ' ' || c == '\t' || c == '\r' ||
              c == '\n');
             c = in.rdbuf()->sgetc()) {
            head += static_cast<char>(in.rdbuf()->sbumpc());
        }
        std::string kind = opts->from == "bitwarden-json"  ? "json"
                           : opts->from == "keepassxc-xml" ? "xml"
                                                           : "csv";
        if (opts->from.empty() && opts->map.empty()) {
            const int next = in.rdbuf()->sgetc();
            kind = SniffImport(
                next == std::char_traits<char>::eof() ? head : head + static_cast<char>(next));
        }
        if (kind == "csv") {
            CsvReader reader(in, name, {}, CsvReader::kDetect, std::move(head));
            Progress progress(ctx, "import (bytes read)", size);
            if (!fromStdin) {
                importer.OnProgress(
                    [&] { progress.StepTo(static_cast<std::size_t>(file.tellg())); });
            }
            ReadCsvImport(reader, opts->from, opts->map, importer);
        } else {
            std::string text = std::move(head);
            char buffer[65536];
            while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
                text.append(buffer, static_cast<std::size_t>(in.gcount()));
                if (text.size() > kMaxDocumentBytes) {
                    throw CliError(kExitFailure, name + ": larger than " +
                                                     std::to_string(kMaxDocumentBytes >> 20) +
                                                     " MiB; nothing was imported");
                }
            }
            if (kind == "json") {
                ReadBitwardenJson(text, importer);
            } else {
                ReadKeePassXml(text, importer);
            }
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

// The readers of the files that `lkmdb import` takes. Each hands every record it parses to an
// Importer, which checks and stores it; a problem with one record goes there too, so that the
// reader carries on and every bad record is named. A reader throws CliError (exit code 2) only for
// an input that it cannot read on from: a header of no known format, a file of another structure.
#pragma once

#include <istream>
#include <string>
#include <vector>

#include "cli/Csv.h"
#include "cli/import/Importer.h"

namespace lkmdb {

// The names --from takes, in the order --help lists them, and the generic "map".
const std::vector<std::string>& ImportFormatNames();

// What the first bytes of an input say it is: "json", "xml" or "csv".
std::string SniffImport(const std::string& head);

// CSV: our own export (with or without its mask and label columns), another manager's export
// recognised by its header (or the one that `from` names), or any CSV whose columns `map` names
// ("title=Name,password=Secret,..."; the roles are title, username, password, url, totp, notes
// and folder). Rows are read and handed on one at a time. A malformed row (an open quote) ends the
// reading, as nothing after it can be told apart: it is a problem noted with the others. An input
// without even a header is no export: it throws.
void ReadCsvImport(CsvReader& reader, const std::string& from, const std::string& map,
                   Importer& importer);

// Bitwarden's unencrypted JSON export (folders, logins, secure notes, cards, identities).
void ReadBitwardenJson(const std::string& text, Importer& importer);

// KeePassXC's unencrypted XML export: the entries of every group, without their
// history. False when this build has no XML parser.
bool KeePassXmlAvailable();
void ReadKeePassXml(const std::string& text, Importer& importer);

// --- shared by the readers ---

// The record types that imports of other managers' files make, with their labels and secret
// fields.
enum class ImportedKind { kLogin, kSecureNote, kCard };
ImportedRecord RecordOfKind(ImportedKind kind);
// Field positions of a login record.
inline constexpr std::size_t kLoginTitle = 0;
inline constexpr std::size_t kLoginUser = 1;
inline constexpr std::size_t kLoginPassword = 2;
inline constexpr std::size_t kLoginUrl = 3;
inline constexpr std::size_t kLoginTotp = 4;

// Puts a secret that the input marks as such (a hidden custom field) into a free field of the
// record, masked and labelled for this record alone; false when all ten are taken.
bool AddSecretField(ImportedRecord& r, const std::string& label, const std::string& value);
// "host" of "scheme://user@host:port/path", or the text itself when it has none.
std::string HostOf(const std::string& url);
// Appends "label: value" as a line of the note; nothing for an empty value.
void AppendNoteLine(std::string& note, const std::string& label, const std::string& value);

}  // namespace lkmdb

// CSV imports: lkmdb's own export, other managers' exports recognised by their header's column
// names (their order changes between versions), and columns named with --map.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>

#include "cli/Arguments.h"
#include "cli/Text1252.h"
#include "cli/import/Readers.h"

namespace lkmdb {

namespace {

// What a column of another manager's export holds.
enum class Role {
    kTitle,
    kUser,
    kPassword,
    kUrl,
    kTotp,
    kNotes,
    kFolder,
    kGroupPath,     // a group path whose first part is the database's root group
    kKind,          // Bitwarden's item type: "login" or "note"
    kFieldLines,    // Bitwarden's extra fields, already "name: value" lines
    kFlag,          // kept in the note unless "0", "false" or empty
    kMilliseconds,  // a time in ms since 1970, kept in the note as a UTC date
    kIgnored,       // carries nothing a record here can use (an icon number)
    kExtra,         // kept in the note as "column: value"
    // lkmdb's own columns
    kType,
    kCategory,
    kField,  // field1 to field10
    kNote,
    kMask,
    kLabel,  // label1 to label10
};

struct Column {
    const char* name;
    Role role;
    bool required;
};

struct CsvFormat {
    const char* id;     // as --from names it
    const char* shown;  // as messages name it
    std::vector<Column> columns;
};

const std::vector<CsvFormat>& ManagerFormats() {
    static const std::vector<CsvFormat> formats = {
        {"chrome",
         "Chrome/Edge",
         {{"name", Role::kTitle, true},
          {"url", Role::kUrl, true},
          {"username", Role::kUser, true},
          {"password", Role::kPassword, true},
          {"note", Role::kNotes, false}}},
        {"firefox",
         "Firefox",
         {{"url", Role::kUrl, true},
          {"username", Role::kUser, true},
          {"password", Role::kPassword, true},
          {"httpRealm", Role::kExtra, true},
          {"formActionOrigin", Role::kExtra, true},
          {"guid", Role::kExtra, false},
          {"timeCreated", Role::kMilliseconds, false},
          {"timeLastUsed", Role::kMilliseconds, false},
          {"timePasswordChanged", Role::kMilliseconds, false}}},
        {"bitwarden",
         "Bitwarden",
         {{"folder", Role::kFolder, false},
          {"favorite", Role::kFlag, false},
          {"type", Role::kKind, true},
          {"name", Role::kTitle, true},
          {"notes", Role::kNotes, false},
          {"fields", Role::kFieldLines, false},
          {"reprompt", Role::kFlag, false},
          {"login_uri", Role::kUrl, true},
          {"login_username", Role::kUser, true},
          {"login_password", Role::kPassword, true},
          {"login_totp", Role::kTotp, false}}},
        {"keepassxc",
         "KeePassXC",
         {{"Group", Role::kGroupPath, true},
          {"Title", Role::kTitle, true},
          {"Username", Role::kUser, true},
          {"Password", Role::kPassword, true},
          {"URL", Role::kUrl, true},
          {"Notes", Role::kNotes, true},
          {"TOTP", Role::kTotp, false},
          {"Icon", Role::kIgnored, false},
          {"Last Modified", Role::kExtra, false},
          {"Created", Role::kExtra, false}}},
        {"lastpass",
         "LastPass",
         {{"url", Role::kUrl, true},
          {"username", Role::kUser, true},
          {"password", Role::kPassword, true},
          {"totp", Role::kTotp, false},
          {"extra", Role::kNotes, true},
          {"name", Role::kTitle, true},
          {"grouping", Role::kFolder, true},
          {"fav", Role::kFlag, false}}},
        {"1password",
         "1Password",
         {{"Title", Role::kTitle, true},
          {"Url", Role::kUrl, true},
          {"Username", Role::kUser, true},
          {"Password", Role::kPassword, true},
          {"OTPAuth", Role::kTotp, false},
          {"Favorite", Role::kFlag, false},
          {"Archived", Role::kFlag, true},
          {"Tags", Role::kExtra, false},
          {"Notes", Role::kNotes, false}}},
        {"apple",
         "Apple Passwords",
         {{"Title", Role::kTitle, true},
          {"URL", Role::kUrl, true},
          {"Username", Role::kUser, true},
          {"Password", Role::kPassword, true},
          {"Notes", Role::kNotes, false},
          {"OTPAuth", Role::kTotp, false}}},
    };
    return formats;
}

const CsvFormat& OwnFormat() {
    static const CsvFormat own = [] {
        // Export's header, in its order: type, category, the fields and the note are required;
        // mask and labels came later, and older files lack them.
        const std::vector<std::string>& header = CsvHeader();
        const std::size_t note = 2 + kFieldSlots;
        CsvFormat f{"lkmdb", "lkmdb", {}};
        for (std::size_t i = 0; i < header.size(); ++i) {
            const Role role = i == 0          ? Role::kType
                              : i == 1        ? Role::kCategory
                              : i < note      ? Role::kField
                              : i == note     ? Role::kNote
                              : i == note + 1 ? Role::kMask
                                              : Role::kLabel;
            f.columns.push_back({header[i].c_str(), role, i <= note});
        }
        return f;
    }();
    return own;
}

bool SameNoCase(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (std::tolower(x) != std::tolower(y)) {
            return false;
        }
    }
    return i == a.size() && b[i] == '\0';
}

// The columns of one input: the role of each header column, and for the numbered ones which.
struct Layout {
    const CsvFormat* format = nullptr;
    std::vector<Role> roles;
    std::vector<std::size_t> numbers;  // field or label index; 0 elsewhere
    std::vector<std::string> names;    // the header as written
};

// Matches the header against a format: every required column present (without regard to case);
// the first header column of each name wins, later ones are extras. Empty when one is missing,
// else the missing columns' names.
Layout LayoutFor(const CsvFormat& format, const std::vector<std::string>& header,
                 std::vector<std::string>& missing) {
    Layout layout;
    layout.format = &format;
    layout.names = header;
    layout.roles.assign(header.size(), Role::kExtra);
    layout.numbers.assign(header.size(), 0);
    missing.clear();
    std::size_t fieldNumber = 0;
    std::size_t labelNumber = 0;
    for (const Column& c : format.columns) {
        std::size_t at = 0;
        while (at < header.size() &&
               !(layout.roles[at] == Role::kExtra && SameNoCase(header[at], c.name))) {
            ++at;
        }
        std::size_t number = 0;
        if (c.role == Role::kField) {
            number = fieldNumber++;
        } else if (c.role == Role::kLabel) {
            number = labelNumber++;
        }
        if (at == header.size()) {
            if (c.required) {
                missing.emplace_back(c.name);
            }
            continue;
        }
        layout.roles[at] = c.role;
        layout.numbers[at] = number;
    }
    return layout;
}

std::string Joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names) {
        text += (text.empty() ? "" : ", ") + n;
    }
    return text;
}

// The format whose required columns all appear; of several, the one that requires the most (a
// LastPass header also has all that Chrome requires).
Layout Recognise(const std::vector<std::string>& header, const std::string& from,
                 const std::string& name) {
    std::vector<const CsvFormat*> candidates{&OwnFormat()};
    for (const CsvFormat& f : ManagerFormats()) {
        candidates.push_back(&f);
    }
    std::vector<std::string> missing;
    if (!from.empty()) {
        for (const CsvFormat* f : candidates) {
            if (from == f->id) {
                Layout layout = LayoutFor(*f, header, missing);
                if (!missing.empty()) {
                    throw CliError(kExitFailure, name + ": line 1: a " + f->shown +
                                                     " export has the columns " + Joined(missing) +
                                                     ", which this header lacks");
                }
                return layout;
            }
        }
        throw CliError(kExitFailure, name + ": --from " + from + " is not a CSV format");
    }
    Layout best;
    std::size_t bestRequired = 0;
    for (const CsvFormat* f : candidates) {
        Layout layout = LayoutFor(*f, header, missing);
        std::size_t required = 0;
        for (const Column& c : f->columns) {
            required += c.required ? 1 : 0;
        }
        if (missing.empty() && required > bestRequired) {
            best = std::move(layout);
            bestRequired = required;
        }
    }
    if (best.format == nullptr) {
        throw CliError(kExitFailure,
                       name +
                           ": line 1: the header is of no export that lkmdb knows (its own: "
                           "type,category,field1,...,field10,note); name the format with --from "
                           "or the columns with --map");
    }
    return best;
}

// --map "title=Name,password=Secret": the roles of the named columns; the others are extras.
Layout MappedLayout(const std::vector<std::string>& header, const std::string& map,
                    const std::string& name) {
    static const CsvFormat mapped{"map", "mapped", {}};
    static const std::vector<std::pair<const char*, Role>> roles = {
        {"title", Role::kTitle},  {"username", Role::kUser}, {"password", Role::kPassword},
        {"url", Role::kUrl},      {"totp", Role::kTotp},     {"notes", Role::kNotes},
        {"folder", Role::kFolder}};
    Layout layout;
    layout.format = &mapped;
    layout.names = header;
    layout.roles.assign(header.size(), Role::kExtra);
    layout.numbers.assign(header.size(), 0);
    std::size_t start = 0;
    while (start <= map.size()) {
        std::size_t end = map.find(',', start);
        if (end == std::string::npos) {
            end = map.size();
        }
        const std::string item = map.substr(start, end - start);
        start = end + 1;
        const std::size_t eq = item.find('=');
        const std::string role = item.substr(0, eq);
        const auto known = std::find_if(roles.begin(), roles.end(),
                                        [&](const auto& r) { return role == r.first; });
        if (eq == std::string::npos || known == roles.end()) {
            throw CliError(kExitFailure, "--map: \"" + item +
                                             "\" is not ROLE=COLUMN with a ROLE of title, "
                                             "username, password, url, totp, notes, folder");
        }
        const std::string column = item.substr(eq + 1);
        const auto at = std::find(header.begin(), header.end(), column);
        if (at == header.end()) {
            std::string message = name + ": line 1: the header has no column \"";
            message += column;
            message += "\" (--map)";
            throw CliError(kExitFailure, message);
        }
        layout.roles[static_cast<std::size_t>(at - header.begin())] = known->second;
    }
    return layout;
}

std::string UtcDateOfMilliseconds(const std::string& text) {
    if (text.empty() || text.size() > 15 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return text;
    }
    using namespace std::chrono;
    const sys_seconds t{duration_cast<seconds>(milliseconds(std::stoll(text)))};
    const sys_days day = floor<days>(t);
    const year_month_day ymd{day};
    const hh_mm_ss<seconds> hms{t - day};
    char out[40];
    std::snprintf(out, sizeof out, "%04d-%02u-%02u %02ld:%02ld:%02ld UTC",
                  static_cast<int>(ymd.year()), static_cast<unsigned>(ymd.month()),
                  static_cast<unsigned>(ymd.day()), static_cast<long>(hms.hours().count()),
                  static_cast<long>(hms.minutes().count()),
                  static_cast<long>(hms.seconds().count()));
    return out;
}

void ReadOwnRow(const Layout& layout, std::vector<std::string>& row, ImportedRecord& r,
                Importer& importer) {
    std::string extras;
    for (std::size_t i = 0; i < row.size(); ++i) {
        std::string& v = row[i];
        switch (layout.roles[i]) {
            case Role::kType:
                r.typeName = std::move(v);
                break;
            case Role::kCategory:
                r.category = std::move(v);
                break;
            case Role::kField:
                r.fields[layout.numbers[i]] = std::move(v);
                break;
            case Role::kNote:
                r.note = std::move(v);
                break;
            case Role::kLabel:
                r.labels.resize(kFieldSlots);
                r.labels[layout.numbers[i]] = std::move(v);
                break;
            case Role::kMask:
                if (!v.empty()) {
                    try {
                        r.mask = static_cast<LKMDB7::WORD>(ParseBits(v, 0xFFFF, "mask"));
                        r.maskGiven = true;
                    } catch (const CliError& e) {
                        importer.Problem(r.where, e.what());
                    }
                }
                break;
            default:
                AppendNoteLine(extras, layout.names[i], v);
                break;
        }
    }
    if (!extras.empty()) {
        r.note += (r.note.empty() ? "" : "\n") + extras;
    }
}

void ReadManagerRow(const Layout& layout, std::vector<std::string>& row, ImportedRecord& r) {
    std::string fields[5];  // title, user, password, url, totp
    std::string notes;
    std::string extras;
    std::string kind;
    for (std::size_t i = 0; i < row.size(); ++i) {
        std::string& v = row[i];
        const std::string& column = layout.names[i];
        switch (layout.roles[i]) {
            case Role::kTitle:
                fields[kLoginTitle] = std::move(v);
                break;
            case Role::kUser:
                fields[kLoginUser] = std::move(v);
                break;
            case Role::kPassword:
                fields[kLoginPassword] = std::move(v);
                break;
            case Role::kUrl:
                fields[kLoginUrl] = std::move(v);
                break;
            case Role::kTotp:
                fields[kLoginTotp] = std::move(v);
                break;
            case Role::kNotes:
                notes = std::move(v);
                break;
            case Role::kFolder:
                r.category = std::move(v);
                break;
            case Role::kGroupPath: {
                // "Root/Email/Work" is "Email/Work"; the root group itself is none.
                const std::size_t slash = v.find('/');
                r.category = slash == std::string::npos ? std::string() : v.substr(slash + 1);
                break;
            }
            case Role::kKind:
                kind = v;
                if (v != "login" && v != "note") {
                    AppendNoteLine(extras, column, v);
                }
                break;
            case Role::kFieldLines:
                if (!v.empty()) {
                    extras += (extras.empty() ? "" : "\n") + v;
                }
                break;
            case Role::kFlag:
                if (v != "0" && v != "false") {
                    AppendNoteLine(extras, column, v);
                }
                break;
            case Role::kMilliseconds:
                AppendNoteLine(extras, column, UtcDateOfMilliseconds(v));
                break;
            case Role::kIgnored:
                break;
            default:
                AppendNoteLine(extras, column, v);
                break;
        }
    }
    // Secure notes: Bitwarden's type "note", LastPass's pseudo URL.
    const bool secureNote = (kind == "note" || fields[kLoginUrl] == "http://sn") &&
                            fields[kLoginUser].empty() && fields[kLoginPassword].empty() &&
                            fields[kLoginTotp].empty();
    std::string where = std::move(r.where);
    std::string category = std::move(r.category);
    r = RecordOfKind(secureNote ? ImportedKind::kSecureNote : ImportedKind::kLogin);
    r.where = std::move(where);
    r.category = std::move(category);
    if (fields[kLoginTitle].empty() && !secureNote) {
        fields[kLoginTitle] = HostOf(fields[kLoginUrl]);  // Firefox names no title
    }
    r.fields[kLoginTitle] = std::move(fields[kLoginTitle]);
    if (!secureNote) {
        for (std::size_t i = 1; i < 5; ++i) {
            r.fields[i] = std::move(fields[i]);
        }
    }
    r.note = std::move(notes);
    if (!extras.empty()) {
        r.note += (r.note.empty() ? "" : "\n") + extras;
    }
}

}  // namespace

void ReadCsvImport(CsvReader& reader, const std::string& from, const std::string& map,
                   Importer& importer) {
    std::vector<std::string> header;
    std::size_t line = 0;
    if (!reader.Next(header, line)) {
        // No header is no export (a failed command before a pipe gives this), not one of no rows.
        throw CliError(kExitFailure, reader.Name() + ": empty (no header, no records)");
    }
    const Layout layout = map.empty() ? Recognise(header, from, reader.Name())
                                      : MappedLayout(header, map, reader.Name());
    const bool own = layout.format == &OwnFormat();
    std::vector<std::string> row;
    for (;;) {
        try {
            if (!reader.Next(row, line)) {
                break;
            }
        } catch (const CliError& e) {
            importer.Malformed(e.what());
            break;
        }
        if (row.size() == 1 && row[0].empty()) {
            continue;  // a blank line
        }
        ImportedRecord r;
        r.where = "line " + std::to_string(line);
        if (row.size() != header.size()) {
            importer.Problem(r.where, std::to_string(row.size()) +
                                          " fields, where the header has " +
                                          std::to_string(header.size()));
            continue;
        }
        if (own) {
            ReadOwnRow(layout, row, r, importer);
        } else {
            ReadManagerRow(layout, row, r);
        }
        importer.Add(r);
    }
}

}  // namespace lkmdb

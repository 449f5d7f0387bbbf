// Bitwarden's unencrypted JSON export: {"folders": [{"id", "name"}], "items": [{"type", "name",
// "notes", "folderId", "favorite", "fields": [{"name", "value", "type"}], "login": {"uris":
// [{"uri"}], "username", "password", "totp"}, "card": {...}, "identity": {...}}]}.
#include <map>
#include <nlohmann/json.hpp>

#include "cli/import/Readers.h"

namespace lkmdb {

namespace {

using nlohmann::json;

// The text of a member that is a string (or a number, as some exports write months); empty when
// it is missing, null or of another kind.
std::string Text(const json& object, const char* key) {
    const auto it = object.find(key);
    if (it == object.end()) {
        return {};
    }
    if (it->is_string()) {
        return it->get<std::string>();
    }
    if (it->is_number_integer()) {
        return std::to_string(it->get<long long>());
    }
    return {};
}

long long Number(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_number_integer() ? it->get<long long>() : 0;
}

bool Flag(const json& object, const char* key) {
    const auto it = object.find(key);
    return it != object.end() && it->is_boolean() && it->get<bool>();
}

const json& Member(const json& object, const char* key) {
    static const json empty = json::object();
    const auto it = object.find(key);
    return it != object.end() && it->is_object() ? *it : empty;
}

void ReadItem(const json& item, const std::map<std::string, std::string>& folders,
              ImportedRecord& r) {
    std::string extras;
    const long long type = Number(item, "type");
    std::string title = Text(item, "name");
    if (type == 1) {
        const json& login = Member(item, "login");
        r = RecordOfKind(ImportedKind::kLogin);
        r.fields[kLoginUser] = Text(login, "username");
        r.fields[kLoginPassword] = Text(login, "password");
        r.fields[kLoginTotp] = Text(login, "totp");
        if (const auto uris = login.find("uris"); uris != login.end() && uris->is_array()) {
            std::size_t n = 0;
            for (const json& u : *uris) {
                if (!u.is_object()) {
                    continue;
                }
                const std::string uri = Text(u, "uri");
                if (n++ == 0) {
                    r.fields[kLoginUrl] = uri;
                } else {
                    AppendNoteLine(extras, "URL " + std::to_string(n), uri);
                }
            }
        }
        if (title.empty()) {
            title = HostOf(r.fields[kLoginUrl]);
        }
    } else if (type == 3) {
        const json& card = Member(item, "card");
        r = RecordOfKind(ImportedKind::kCard);
        r.fields[1] = Text(card, "cardholderName");
        r.fields[2] = Text(card, "number");
        r.fields[3] = Text(card, "brand");
        const std::string month = Text(card, "expMonth");
        const std::string year = Text(card, "expYear");
        r.fields[4] = month.empty() || year.empty() ? month + year : month + "/" + year;
        r.fields[5] = Text(card, "code");
    } else {
        // Secure notes, and identities, whose many parts go to the note.
        r = RecordOfKind(ImportedKind::kSecureNote);
        const json& identity = Member(item, "identity");
        for (const auto& [key, value] : identity.items()) {
            if (value.is_string()) {
                AppendNoteLine(extras, key, value.get<std::string>());
            }
        }
        if (type != 2 && identity.empty()) {
            AppendNoteLine(extras, "type", std::to_string(type));
        }
    }
    r.fields[0] = std::move(title);
    if (const auto folder = folders.find(Text(item, "folderId")); folder != folders.end()) {
        r.category = folder->second;
    }
    if (const auto fields = item.find("fields"); fields != item.end() && fields->is_array()) {
        for (const json& f : *fields) {
            // Type 1 is a hidden field: a secret, kept as one where a field is free.
            if (f.is_object() && !(Number(f, "type") == 1 && !Text(f, "value").empty() &&
                                   AddSecretField(r, Text(f, "name"), Text(f, "value")))) {
                AppendNoteLine(extras, Text(f, "name"), Text(f, "value"));
            }
        }
    }
    if (Flag(item, "favorite")) {
        AppendNoteLine(extras, "favorite", "true");
    }
    r.note = Text(item, "notes");
    if (!extras.empty()) {
        r.note += (r.note.empty() ? "" : "\n") + extras;
    }
}

}  // namespace

void ReadBitwardenJson(const std::string& text, Importer& importer) {
    const json doc = json::parse(text, nullptr, false);
    if (doc.is_discarded()) {
        throw CliError(kExitFailure, importer.Name() + ": not valid JSON");
    }
    if (!doc.is_object() || doc.contains("schemaVersion")) {
        // lkmdb's own JSON export is for scripts: only its CSV export reads back.
        throw CliError(kExitFailure, importer.Name() +
                                         ": JSON that is not a Bitwarden export (lkmdb's "
                                         "export reads back as CSV)");
    }
    if (Flag(doc, "encrypted")) {
        throw CliError(kExitFailure, importer.Name() +
                                         ": an encrypted Bitwarden export; export it "
                                         "unencrypted to import it");
    }
    const auto items = doc.find("items");
    if (items == doc.end() || !items->is_array()) {
        throw CliError(kExitFailure,
                       importer.Name() + ": no \"items\" list: not a Bitwarden export");
    }
    std::map<std::string, std::string> folders;
    if (const auto list = doc.find("folders"); list != doc.end() && list->is_array()) {
        for (const json& f : *list) {
            if (f.is_object()) {
                folders[Text(f, "id")] = Text(f, "name");
            }
        }
    }
    std::size_t n = 0;
    for (const json& item : *items) {
        ImportedRecord r;
        const std::string where = "item " + std::to_string(++n);
        if (!item.is_object()) {
            importer.Problem(where, "not an object");
            continue;
        }
        ReadItem(item, folders, r);
        r.where = where;
        importer.Add(r);
    }
}

}  // namespace lkmdb

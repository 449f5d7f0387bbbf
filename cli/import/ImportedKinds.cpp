// The record types that other managers' entries become, and what the readers share.
#include "cli/import/Readers.h"

namespace lkmdb {

const std::vector<std::string>& ImportFormatNames() {
    static const std::vector<std::string> names = {
        "lkmdb",     "chrome",        "firefox",  "bitwarden", "bitwarden-json",
        "keepassxc", "keepassxc-xml", "lastpass", "1password", "apple",
        "map"};
    return names;
}

std::string SniffImport(const std::string& head) {
    // After a byte order mark and white space, JSON opens with a brace or bracket, XML with '<'.
    std::size_t at = head.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0;
    at = head.find_first_not_of(" \t\r\n", at);
    if (at == std::string::npos) {
        return "csv";
    }
    return head[at] == '{' || head[at] == '[' ? "json" : head[at] == '<' ? "xml" : "csv";
}

ImportedRecord RecordOfKind(ImportedKind kind) {
    ImportedRecord r;
    r.maskGiven = true;
    switch (kind) {
        case ImportedKind::kLogin:
            r.typeName = "Login";
            r.labels = {"Title", "User name", "Password", "URL", "One-time password"};
            r.mask = (1u << kLoginPassword) | (1u << kLoginTotp);
            break;
        case ImportedKind::kSecureNote:
            r.typeName = "Secure Note";
            r.labels = {"Title"};
            r.mask = 0;
            break;
        case ImportedKind::kCard:
            r.typeName = "Card";
            r.labels = {"Title", "Cardholder", "Number", "Brand", "Expires", "Security code"};
            r.mask = (1u << 2) | (1u << 5);
            break;
    }
    r.labels.resize(kFieldSlots);
    r.typeLabels = r.labels;
    r.typeMask = r.mask;
    return r;
}

bool AddSecretField(ImportedRecord& r, const std::string& label, const std::string& value) {
    for (std::size_t i = 0; i < r.fields.size() && i < r.labels.size(); ++i) {
        if (r.labels[i].empty() && r.fields[i].empty()) {
            r.labels[i] = label;
            r.fields[i] = value;
            r.mask = static_cast<LKMDB7::WORD>(r.mask | (1u << i));
            return true;
        }
    }
    return false;
}

std::string HostOf(const std::string& url) {
    std::size_t start = url.find("://");
    start = start == std::string::npos ? 0 : start + 3;
    std::size_t end = url.find_first_of("/?#", start);
    std::string host =
        url.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (const std::size_t at = host.rfind('@'); at != std::string::npos) {
        host.erase(0, at + 1);
    }
    if (const std::size_t colon = host.rfind(':');
        colon != std::string::npos && host.find(']') == std::string::npos) {
        host.erase(colon);
    }
    return host.empty() ? url : host;
}

void AppendNoteLine(std::string& note, const std::string& label, const std::string& value) {
    if (value.empty()) {
        return;
    }
    if (!note.empty()) {
        note += '\n';
    }
    note += label;
    note += ": ";
    note += value;
}

}  // namespace lkmdb

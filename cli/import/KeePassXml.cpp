// KeePassXC's unencrypted XML export: <KeePassFile><Root><Group><Name/>
// <Entry><String><Key/><Value/></String>...<History/></Entry><Group/>...</Group></Root>.
// Values marked Protected="True" are enciphered under the file's inner stream key, which a plain
// export does not carry: such a file is refused rather than imported as ciphertext.
#include "cli/import/Readers.h"

#ifdef LKMDB_HAVE_TINYXML2
#include <tinyxml2.h>

#include <algorithm>
#include <cctype>
#endif

namespace lkmdb {

#ifdef LKMDB_HAVE_TINYXML2

namespace {

using tinyxml2::XMLElement;

std::string TextOf(const XMLElement* e) {
    const char* text = e != nullptr ? e->GetText() : nullptr;
    return text != nullptr ? text : "";
}

class XmlReader {
  public:
    explicit XmlReader(Importer& importer) : importer_(importer) {}

    // Entries of `group` get `path` as their category (the root group's own name is none).
    void Group(const XMLElement* group, const std::string& path, int depth) {
        if (depth > 200) {
            importer_.Problem("line " + std::to_string(group->GetLineNum()),
                              "groups nested too deeply");
            return;
        }
        for (const XMLElement* e = group->FirstChildElement(); e != nullptr;
             e = e->NextSiblingElement()) {
            const std::string name = e->Name();
            if (name == "Entry") {
                Entry(e, path);
            } else if (name == "Group") {
                const std::string child = TextOf(e->FirstChildElement("Name"));
                Group(e, path.empty() ? child : path + "/" + child, depth + 1);
            }
        }
    }

  private:
    void Entry(const XMLElement* entry, const std::string& path) {
        ImportedRecord r = RecordOfKind(ImportedKind::kLogin);
        r.where = "line " + std::to_string(entry->GetLineNum());
        r.category = path;
        std::string extras;
        std::string notes;
        // Only the entry's own strings: those under <History> are its earlier versions.
        for (const XMLElement* s = entry->FirstChildElement("String"); s != nullptr;
             s = s->NextSiblingElement("String")) {
            const std::string key = TextOf(s->FirstChildElement("Key"));
            const XMLElement* value = s->FirstChildElement("Value");
            if (value != nullptr && value->BoolAttribute("Protected", false)) {
                importer_.Problem(r.where, "the value of \"" + key +
                                               "\" is enciphered (Protected); export the "
                                               "database as plain XML to import it");
                continue;
            }
            std::string text = TextOf(value);
            if (key == "Title") {
                r.fields[kLoginTitle] = std::move(text);
            } else if (key == "UserName") {
                r.fields[kLoginUser] = std::move(text);
            } else if (key == "Password") {
                r.fields[kLoginPassword] = std::move(text);
            } else if (key == "URL") {
                r.fields[kLoginUrl] = std::move(text);
            } else if (key == "otp" || key == "TOTP Seed") {
                r.fields[kLoginTotp] = std::move(text);
            } else if (key == "Notes") {
                notes = std::move(text);
            } else if (!(value != nullptr && value->BoolAttribute("ProtectInMemory", false) &&
                         !text.empty() && AddSecretField(r, key, text))) {
                AppendNoteLine(extras, key, text);
            }
        }
        if (r.fields[kLoginTitle].empty()) {
            r.fields[kLoginTitle] = HostOf(r.fields[kLoginUrl]);
        }
        r.note = std::move(notes);
        if (!extras.empty()) {
            r.note += (r.note.empty() ? "" : "\n") + extras;
        }
        importer_.Add(r);
    }

    Importer& importer_;
};

}  // namespace

bool KeePassXmlAvailable() {
    return true;
}

void ReadKeePassXml(const std::string& text, Importer& importer) {
    tinyxml2::XMLDocument doc;
    if (doc.Parse(text.data(), text.size()) != tinyxml2::XML_SUCCESS) {
        throw CliError(kExitFailure, importer.Name() + ": line " +
                                         std::to_string(doc.ErrorLineNum()) + ": not valid XML (" +
                                         doc.ErrorName() + ")");
    }
    // tinyxml2 expands no entity and reads nothing a DTD names, so entities would be stored as
    // their literal names: a document that declares a type is refused rather than half read.
    for (const tinyxml2::XMLNode* node = doc.FirstChild(); node != nullptr;
         node = node->NextSibling()) {
        const tinyxml2::XMLUnknown* unknown = node->ToUnknown();
        const std::string value = unknown != nullptr ? unknown->Value() : "";
        if (value.size() >= 7 &&
            std::equal(value.begin(), value.begin() + 7, "DOCTYPE", [](char a, char b) {
                return std::toupper(static_cast<unsigned char>(a)) == b;
            })) {
            throw CliError(kExitFailure,
                           importer.Name() + ": line " + std::to_string(node->GetLineNum()) +
                               ": an XML document type declaration (DTD) is not accepted; "
                               "export the database again as plain XML, without one");
        }
    }
    const XMLElement* file = doc.FirstChildElement("KeePassFile");
    const XMLElement* root = file != nullptr ? file->FirstChildElement("Root") : nullptr;
    if (root == nullptr) {
        throw CliError(kExitFailure,
                       importer.Name() + ": no <KeePassFile><Root>: not a KeePassXC XML export");
    }
    XmlReader reader(importer);
    for (const XMLElement* g = root->FirstChildElement("Group"); g != nullptr;
         g = g->NextSiblingElement("Group")) {
        reader.Group(g, "", 0);
    }
}

#else

bool KeePassXmlAvailable() {
    return false;
}

void ReadKeePassXml(const std::string&, Importer& importer) {
    throw CliError(kExitFailure,
                   importer.Name() + ": this build of lkmdb reads no XML; export as CSV instead");
}

#endif

}  // namespace lkmdb

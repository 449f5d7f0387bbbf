// lkmdb import and export, in-process: other managers' exports, our own CSV's round trip, and how
// bad input, duplicates and standard input are handled.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Csv.h"
#include "cli/Lkmdb.h"
#include "cli/import/Readers.h"
#include "lkmdb7/lkmdb7.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/LkmdbRun.h"
#include "tests/support/TestPaths.h"

using namespace lkmdb7_test;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

using Result = LkmdbResult;

std::string Fixture(const std::string& name) {
    return DataPath("import/" + name).string();
}

// A record as our CSV export gives it back.
struct Row {
    std::string type;
    std::string category;
    std::vector<std::string> fields;  // the ten fields
    std::string note;                 // line ends as LF
    unsigned mask = 0;
    std::vector<std::string> labels;
};

class Import : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
    TempDir dir;

    Result Run(std::vector<std::string> args, const std::string& input = "") {
        return RunLkmdbCommand(std::move(args), input);
    }

    std::string Folder(const std::string& name = "db") const { return dir.File(name); }
    fs::path DbFile(const std::string& name = "db") const {
        return fs::path(Folder(name)) / LKMDB7::kDatabaseFileName;
    }
    void Init(const std::string& name = "db") { ASSERT_EQ(Run({"init", Folder(name)}).code, 0); }

    std::vector<Row> Exported(const std::string& name = "db") {
        const Result r = Run({"export", Folder(name)});
        EXPECT_EQ(r.code, 0) << r.err;
        std::istringstream in(r.out);
        lkmdb::CsvReader reader(in, "export");
        std::vector<std::string> fields;
        std::size_t line = 0;
        std::vector<Row> rows;
        EXPECT_TRUE(reader.Next(fields, line));
        EXPECT_EQ(fields.size(), 24u);
        while (reader.Next(fields, line)) {
            Row row{fields[0],
                    fields[1],
                    {fields.begin() + 2, fields.begin() + 12},
                    fields[12],
                    static_cast<unsigned>(std::stoul(fields[13])),
                    {fields.begin() + 14, fields.end()}};
            std::string lf;
            for (char c : row.note) {
                if (c != '\r') {
                    lf += c;
                }
            }
            row.note = lf;
            rows.push_back(std::move(row));
        }
        return rows;
    }

    std::vector<std::string> Ids(const std::string& name = "db") {
        const Result r = Run({"ls", Folder(name), "--json"});
        EXPECT_EQ(r.code, 0) << r.err;
        std::vector<std::string> ids;
        const json listed = json::parse(r.out);
        for (const json& record : listed["records"]) {
            ids.push_back(std::to_string(record["recordId"].get<unsigned>()));
        }
        return ids;
    }
};

// What one imported record must hold: its type, category, first fields and note.
struct Expected {
    std::string type;
    std::string category;
    std::vector<std::string> fields;
    std::string note;
    // Fields of its own beyond its type's, each secret: label, value, field index.
    std::string ownLabel = {};
    std::string ownSecret = {};
    std::size_t ownAt = 0;
};

constexpr unsigned kLoginMask = 0x14;  // password and one-time password
constexpr unsigned kCardMask = 0x24;   // number and security code

unsigned MaskOf(const std::string& type) {
    return type == "Login" ? kLoginMask : type == "Card" ? kCardMask : 0;
}

}  // namespace

// Each manager's export arrives whole: every text in its field or in the note, folders as
// categories, and the secret fields masked, so that show does not print them.
TEST_F(Import, EveryFormatBringsEveryTextAndKeepsPasswordsSecret) {
    struct Case {
        std::string file;
        std::vector<Expected> records;
    };
    const std::vector<Case> cases = {
        {"chrome.csv",
         {{"Login",
           "Unfiled",
           {"example.com", "zo\u00EB@example.com", "p,ass\"word", "https://example.com/login", ""},
           ""},
          {"Login",
           "Unfiled",
           {"Caf\u00E9 M\u00FCller", "m\u00FCller", "Gr\u00FC\u00DF\u20ACGott1",
            "https://cafe-mueller.de/", ""},
           "Table 4, by the window\nAsk for \"Herr M\u00FCller\""}}},
        {"firefox.csv",
         {{"Login",
           "Unfiled",
           {"accounts.example.org", "ana\u00EFs", "s3cr;et,\u00E9", "https://accounts.example.org",
            ""},
           "formActionOrigin: https://accounts.example.org\n"
           "guid: {5e7c1f3a-0b7d-4c55-9a7e-2f1e3d6c8b90}\n"
           "timeCreated: 2023-11-14 22:13:20 UTC\ntimeLastUsed: 2023-11-14 22:15:00 UTC\n"
           "timePasswordChanged: 2023-11-14 22:16:40 UTC"},
          {"Login",
           "Unfiled",
           {"mail.example.net", "bob", "hunter2", "https://mail.example.net:8443/inbox", ""},
           "httpRealm: Mail Realm\nguid: {0d6e2a44-6f1b-4f6e-8c0e-4b1f0b9e7a21}\n"
           "timeCreated: 2020-09-13 12:26:40 UTC"}}},
        {"bitwarden.csv",
         {{"Login",
           "Banking",
           {"Cr\u00E9dit Agricole", "jean.dupont", "\u00C7ava\"123",
            "https://www.credit-agricole.fr", "otpauth://totp/CA?secret=JBSWY3DPEHPK3PXP"},
           "PIN hint: birthday\nBranch: Lyon\nfavorite: 1\nQuestion: Nom de l'\u00E9cole"},
          {"Secure Note",
           "Unfiled",
           {"Wi-Fi at the chalet"},
           "Network: Chalet-\u00C6r\u00F8\nKey: \"snow, ice\""}}},
        {"keepassxc.csv",
         {{"Login",
           "Email/Work",
           {"Webmail \u2014 Zo\u00EB", "zoe@example.com", "\u00DCn\u00EFc\u00F6d\u00E9,pass",
            "https://mail.example.com", "otpauth://totp/mail?secret=MZXW6YTB"},
           "Recovery codes:\n1234-5678\n\"keep safe\"\nLast Modified: 2024-03-01T10:00:00Z\n"
           "Created: 2023-01-01T09:00:00Z"},
          {"Login",
           "Unfiled",
           {"Router", "admin", "admin;admin", "http://192.168.1.1", ""},
           "Last Modified: 2024-03-01T10:00:00Z\nCreated: 2023-01-01T09:00:00Z"}}},
        {"lastpass.csv",
         {{"Login",
           "Shopping",
           {"Shop \u2014 Ren\u00E9e", "ren\u00E9e", "pa\"ss,word",
            "https://shop.example.com/account", ""},
           "Order #1234, delivered\nfav: 1"},
          {"Secure Note",
           "Work\\Servers",
           {"Serveur de donn\u00E9es"},
           "NoteType:Server\nHostname: db.internal"}}},
        {"1password.csv",
         {{"Login",
           "Unfiled",
           {"Biblioth\u00E8que", "lecteur", "mot;de passe", "https://bib.example.fr", ""},
           "Carte n\u00B0 42\nRenouveler en \u00E9t\u00E9\nTags: reading,library"}}},
        {"apple.csv",
         {{"Login",
           "Unfiled",
           {"github.com (Zo\u00EB)", "zo\u00EB", "gh,pass\"1", "https://github.com/",
            "otpauth://totp/GitHub:zoe?secret=ABC"},
           ""},
          {"Login",
           "Unfiled",
           {"B\u00E4ckerei", "kunde", "brot\u20AC42", "https://baeckerei.example/", ""},
           "Mittwochs geschlossen, sonst 7\u201318 Uhr"}}},
        {"bitwarden.json",
         {{"Login",
           "Voyages",
           {"Compagnie a\u00E9rienne", "\u00E9lise", "\u00C7a,vole\"1", "https://air.example.com",
            "otpauth://totp/air?secret=XYZ"},
           "Fid\u00E9lit\u00E9: Gold\nSi\u00E8ge: hublot, \"c\u00F4t\u00E9 gauche\"\n"
           "URL 2: https://app.air.example.com\nNum\u00E9ro client: AF-12345\nfavorite: true",
           "PIN",
           "4321",
           5},
          {"Secure Note", "Unfiled", {"Code du portail"}, "Portail: 1984#\nGarage: 2468"},
          {"Card",
           "Unfiled",
           {"Carte Visa", "\u00C9lise Durand", "4111111111111111", "Visa", "7/2029", "123"},
           ""}}},
        {"keepassxc.xml",
         {{"Login",
           "Unfiled",
           {"Forum \u00ABcaf\u00E9\u00BB", "zo\u00EB", "p<w>,\"q\"", "https://forum.example.com",
            ""},
           "Line one, with comma\nLine \"two\"\nRecovery email: zoe.backup@example.com",
           "Recovery PIN",
           "9876",
           5},
          {"Login",
           "Email/Work",
           {"Bureau", "m.dupr\u00E9", "\u00C9t\u00E92024!", "https://owa.example.fr",
            "otpauth://totp/owa?secret=QWE"},
           ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        if (c.file.ends_with(".xml") && !lkmdb::KeePassXmlAvailable()) {
            continue;
        }
        const std::string db = c.file;
        Init(db);
        const Result r = Run({"import", Folder(db), Fixture(c.file)});
        ASSERT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, "imported " + std::to_string(c.records.size()) + " records into " +
                             DbFile(db).string() + "\n");
        const std::vector<Row> rows = Exported(db);
        ASSERT_EQ(rows.size(), c.records.size());
        const std::vector<std::string> ids = Ids(db);
        ASSERT_EQ(ids.size(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Expected& e = c.records[i];
            std::vector<std::string> fields = e.fields;
            fields.resize(10);
            EXPECT_EQ(rows[i].type, e.type);
            EXPECT_EQ(rows[i].category, e.category);
            EXPECT_EQ(rows[i].note, e.note);
            if (!e.ownLabel.empty()) {
                fields[e.ownAt] = e.ownSecret;
                EXPECT_EQ(rows[i].labels[e.ownAt], e.ownLabel);
            }
            EXPECT_EQ(rows[i].fields, fields);
            EXPECT_EQ(rows[i].mask, MaskOf(e.type) | (e.ownLabel.empty() ? 0u : 1u << e.ownAt));
            if (e.type == "Login") {
                EXPECT_EQ(rows[i].labels[2], "Password");
                if (e.ownLabel.empty()) {
                    EXPECT_EQ(rows[i].labels[5], "");  // another record's own field is its own
                }
            }
            // Shown without --reveal, every secret field is a placeholder.
            const Result shown = Run({"show", Folder(db), ids[i]});
            ASSERT_EQ(shown.code, 0) << shown.err;
            std::size_t secrets = 0;
            for (std::size_t bit = 0; bit < 10; ++bit) {
                if ((rows[i].mask >> bit & 1u) != 0 && !fields[bit].empty()) {
                    ++secrets;
                    EXPECT_EQ(shown.out.find(" " + fields[bit] + "\n"), std::string::npos)
                        << shown.out;
                }
            }
            std::size_t placeholders = 0;
            for (std::size_t at = 0; (at = shown.out.find("  ****\n", at)) != std::string::npos;
                 ++at) {
                ++placeholders;
            }
            EXPECT_EQ(placeholders, secrets) << shown.out;
        }
    }
}

// Our own CSV carries each record's mask and labels: export, import into a new database and
// export again gives the same bytes, and the copy keeps the secrets secret.
TEST_F(Import, OwnCsvRoundTripKeepsMasksAndLabels) {
    ASSERT_EQ(Run({"demo", Folder()}).code, 0);
    const Result exported = Run({"export", Folder()});
    ASSERT_EQ(exported.code, 0);
    EXPECT_EQ(exported.out.rfind("type,category,field1,", 0), 0u);
    WriteText(dir.path() / "out.csv", exported.out);
    Init("copy");
    const Result imported = Run({"import", Folder("copy"), dir.File("out.csv")});
    ASSERT_EQ(imported.code, 0) << imported.err;
    EXPECT_EQ(Run({"export", Folder("copy")}).out, exported.out);

    const std::vector<Row> rows = Exported("copy");
    const auto card =
        std::find_if(rows.begin(), rows.end(), [](const Row& r) { return r.type == "Bank Card"; });
    ASSERT_NE(card, rows.end());
    EXPECT_EQ(card->labels[3], "PIN");
    EXPECT_EQ(card->mask, 8u);
    const std::string id = Ids("copy")[static_cast<std::size_t>(card - rows.begin())];
    EXPECT_EQ(Run({"show", Folder("copy"), id}).out.find(card->fields[3]), std::string::npos);

    // The type made on the way has the labels and mask, for records added later.
    const json dump = json::parse(Run({"dump", Folder("copy")}).out);
    for (const json& type : dump["types"]) {
        if (type["name"] == "Bank Card") {
            EXPECT_EQ(type["labels"][3], "PIN");
            EXPECT_EQ(type["mask"], 8);
        }
    }

    // A file of the older form, without mask and labels, still imports; the rows take the mask
    // of the type they name.
    Init("old");
    WriteText(dir.path() / "old.csv",
              "type,category,field1,field2,field3,field4,field5,field6,field7,field8,field9,"
              "field10,note\r\nPlain,Web,a,b,,,,,,,,,n\r\n");
    ASSERT_EQ(Run({"import", Folder("old"), dir.File("old.csv")}).code, 0);
    const std::vector<Row> old = Exported("old");
    ASSERT_EQ(old.size(), 1u);
    EXPECT_EQ(old[0].fields[1], "b");
    EXPECT_EQ(old[0].mask, 0u);
}

// Records of a type that the database has with other labels show the import's labels.
TEST_F(Import, AnExistingTypeOfTheNameKeepsItsLabels) {
    Init();
    ASSERT_EQ(Run({"add", Folder(), "--type", "Login", "--field", "mine"}).code, 0);
    ASSERT_EQ(Run({"import", Folder(), Fixture("apple.csv")}).code, 0);
    const std::vector<Row> rows = Exported();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].mask, 0u);
    EXPECT_EQ(rows[0].labels[0], "Field 0");
    EXPECT_EQ(rows[1].labels[2], "Password");
    EXPECT_EQ(rows[1].mask, kLoginMask);
}

// Every problem of the file is reported, in input order, before anything is saved; characters
// without a Windows-1252 byte are reported together.
TEST_F(Import, EveryBadRowIsReportedAndNothingSaved) {
    Init();
    const std::string before = ReadText(DbFile());
    WriteText(dir.path() / "bad.csv",
              "name,url,username,password\n"
              "ok,https://a.example,u,p\n"
              "short,https://b.example\n"
              "W\u0142adys\u0142aw,https://c.example,\u4E2D,p\n"
              "bad utf8,https://d.example,\xC3(,p\n"
              "long,https://e.example,u," +
                  std::string(70000, 'x') +
                  "\n"
                  "emoji,https://f.example,u,\U0001F600\n"
                  "broken,\"https://g.example,u,p\n");
    const Result r = Run({"import", Folder(), dir.File("bad.csv")});
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.out, "");
    const std::string f = dir.File("bad.csv");
    // The record ID in the library's message varies.
    std::string err = r.err;
    const std::size_t id = err.find("CRecord ");
    ASSERT_NE(id, std::string::npos) << err;
    err.replace(id + 8, err.find(':', id) - id - 8, "ID");
    EXPECT_EQ(err,
              "lkmdb: " + f + ": line 3: 2 fields, where the header has 4\n" + "lkmdb: " + f +
                  ": line 5, User name: not valid UTF-8 at byte 1\n" + "lkmdb: " + f +
                  ": line 6: CRecord ID: its packed record would be 70066 bytes, over the limit "
                  "of 65535 bytes; shorten its texts\n" +
                  "lkmdb: " + f +
                  ": line 8: a quoted field is not closed before the end of the input\n" +
                  "lkmdb: " + f +
                  ": 4 characters have no Windows-1252 byte (--replace-unmappable stores them "
                  "as '?'): U+0142 (\u0142) 2 times, first at line 4, Title; U+4E2D (\u4E2D) at "
                  "line 4, User name; U+1F600 (\U0001F600) at line 7, Password\n" +
                  "lkmdb: " + f + ": 6 bad records; nothing was imported\n");
    EXPECT_EQ(ReadText(DbFile()), before);

    // With --replace-unmappable, such characters alone no longer stop the import.
    WriteText(dir.path() / "odd.csv",
              "name,url,username,password\nW\u0142adys\u0142aw,https://c.example,u,\u4E2D\n");
    const Result replaced = Run({"import", Folder(), dir.File("odd.csv"), "--replace-unmappable"});
    ASSERT_EQ(replaced.code, 0) << replaced.err;
    EXPECT_NE(replaced.out.find("3 characters without a Windows-1252 byte stored as '?'"),
              std::string::npos)
        << replaced.out;
    const std::vector<Row> rows = Exported();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fields[0], "W?adys?aw");
    EXPECT_EQ(rows[0].fields[2], "?");
}

// Inputs that are not of any format, or not of the one named, stop at once with one line.
TEST_F(Import, InputsOfNoKnownFormatAreRefused) {
    Init();
    struct Case {
        std::string text;
        std::vector<std::string> extra;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"Site,Login,Secret\nx,y,z\n", {}, "the header is of no export that lkmdb knows"},
        {"name,url,username,password\n",
         {"--from", "keepassxc"},
         "a KeePassXC export has the columns Group, Title, Notes, which this header lacks"},
        {"Site,Login\n", {"--map", "title=Site,secret=Login"}, "--map: \"secret=Login\""},
        {"Site,Login\n", {"--map", "title=Website"}, "the header has no column \"Website\""},
        {"{\"items\": [", {}, "not valid JSON"},
        {"{\"encrypted\": true, \"items\": []}", {}, "an encrypted Bitwarden export"},
        {"{\"folders\": []}", {}, "no \"items\" list"},
        {"[{\"type\": \"Login\"}]", {}, "JSON that is not a Bitwarden export"},
    };
    const std::string before = ReadText(DbFile());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        WriteText(dir.path() / "in", c.text);
        std::vector<std::string> args{"import", Folder(), dir.File("in")};
        args.insert(args.end(), c.extra.begin(), c.extra.end());
        const Result r = Run(args);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
    }
    if (lkmdb::KeePassXmlAvailable()) {
        WriteText(dir.path() / "in", "<KeePassFile><Root><Group><Entry>");
        EXPECT_NE(Run({"import", Folder(), dir.File("in")}).err.find("line 1: not valid XML"),
                  std::string::npos);
        WriteText(dir.path() / "in",
                  "<KeePassFile><Root><Group><Name>R</Name><Entry>\n<String><Key>Password</Key>"
                  "<Value Protected=\"True\">AbCd</Value></String></Entry></Group></Root>"
                  "</KeePassFile>");
        EXPECT_NE(Run({"import", Folder(), dir.File("in")})
                      .err.find("line 1: the value of \"Password\" is enciphered (Protected)"),
                  std::string::npos);
    }
    EXPECT_EQ(ReadText(DbFile()), before);
}

// A row equal to a record the database holds is skipped and counted, however its note's line
// ends were written; --allow-duplicates keeps it.
TEST_F(Import, RowsEqualToRecordsAreSkipped) {
    ASSERT_EQ(Run({"demo", Folder()}).code, 0);
    const Result exported = Run({"export", Folder()});
    WriteText(dir.path() / "own.csv", exported.out);
    const Result again = Run({"import", Folder(), dir.File("own.csv")});
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_EQ(again.out, "imported 0 records into " + DbFile().string() +
                             "; skipped 5 equal to records it holds (--allow-duplicates keeps "
                             "them)\n");

    Init("web");
    ASSERT_EQ(Run({"import", Folder("web"), Fixture("chrome.csv")}).code, 0);
    EXPECT_NE(Run({"import", Folder("web"), Fixture("chrome.csv")}).out.find("skipped 2"),
              std::string::npos);
    // A changed password is another record.
    WriteText(dir.path() / "changed.csv",
              "name,url,username,password,note\r\n"
              "example.com,https://example.com/login,zo\u00EB@example.com,new,\r\n"
              "example.com,https://example.com/login,zo\u00EB@example.com,new,\r\n");
    EXPECT_NE(Run({"import", Folder("web"), dir.File("changed.csv")})
                  .out.find("imported 1 records into " + DbFile("web").string() + "; skipped 1"),
              std::string::npos);
    EXPECT_EQ(Run({"import", Folder("web"), Fixture("chrome.csv"), "--allow-duplicates"}).out,
              "imported 2 records into " + DbFile("web").string() + "\n");
    EXPECT_EQ(Exported("web").size(), 5u);
}

// --dry-run checks everything and saves nothing; "-" reads standard input; --map names the
// columns of anything else, ';' separated here.
TEST_F(Import, DryRunStandardInputAndMappedColumns) {
    Init();
    const std::string before = ReadText(DbFile());
    const Result dry = Run({"import", Folder(), Fixture("lastpass.csv"), "--dry-run"});
    ASSERT_EQ(dry.code, 0) << dry.err;
    EXPECT_EQ(dry.out, "would import 2 records into " + DbFile().string() + "\n");
    EXPECT_EQ(ReadText(DbFile()), before);

    const std::string csv =
        "Site;Login;Secret;Address;Comment;Folder;Colour\r\n"
        "Bank;me;\"s;1\";https://bank.example;\"two\r\nlines\";Money;blue\r\n";
    const Result mapped =
        Run({"import", Folder(), "-", "--map",
             "title=Site,username=Login,password=Secret,url=Address,notes=Comment,folder=Folder"},
            csv);
    ASSERT_EQ(mapped.code, 0) << mapped.err;
    const std::vector<Row> rows = Exported();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].category, "Money");
    EXPECT_EQ(rows[0].fields[2], "s;1");
    EXPECT_EQ(rows[0].fields[3], "https://bank.example");
    EXPECT_EQ(rows[0].note, "two\nlines\nColour: blue");
    EXPECT_EQ(rows[0].mask, kLoginMask);

    // Standard input cannot carry both the password and the rows.
    const Result both = Run({"import", Folder(), "-", "--password-stdin"}, "pw\n" + csv);
    EXPECT_EQ(both.code, 2);
    EXPECT_NE(both.err.find("standard input cannot carry both"), std::string::npos) << both.err;
}

// No header is no export (a command before a pipe that failed gives nothing): refused, however it
// reaches lkmdb, and in any format. An export that holds no records is one, and imports nothing.
TEST_F(Import, AnEmptyInputIsRefusedButAnExportWithoutRecordsIsNot) {
    Init();
    const std::string before = ReadText(DbFile());
    const std::vector<std::vector<std::string>> formats = {
        {}, {"--from", "chrome"}, {"--from", "bitwarden-json"}, {"--from", "keepassxc-xml"}};
    for (const std::string text : {"", "\xEF\xBB\xBF", "\r\n\n  \t\n", "\xEF\xBB\xBF\n\n"}) {
        for (const std::vector<std::string>& from : formats) {
            SCOPED_TRACE(::testing::PrintToString(text) + (from.empty() ? "" : " " + from[1]));
            WriteText(dir.path() / "in", text);
            for (const std::string& input : {dir.File("in"), std::string("-")}) {
                std::vector<std::string> args{"import", Folder(), input};
                args.insert(args.end(), from.begin(), from.end());
                const Result r = Run(args, text);
                EXPECT_EQ(r.code, 2) << r.out;
                EXPECT_EQ(r.out, "");
                EXPECT_NE(r.err.find(": empty (no header, no records); nothing was imported"),
                          std::string::npos)
                    << r.err;
            }
        }
    }
    EXPECT_EQ(ReadText(DbFile()), before);

    std::vector<std::string> empties = {"name,url,username,password,note\r\n",
                                        "\xEF\xBB\xBF{\"folders\": [], \"items\": []}"};
    if (lkmdb::KeePassXmlAvailable()) {
        empties.push_back(
            "<?xml version=\"1.0\"?>\n<KeePassFile><Root><Group><Name>Root</Name></Group></Root>"
            "</KeePassFile>\n");
    }
    for (const std::string& text : empties) {
        SCOPED_TRACE(text);
        const Result r = Run({"import", Folder(), "-"}, text);
        EXPECT_EQ(r.code, 0) << r.err;
        EXPECT_EQ(r.out, "imported 0 records into " + DbFile().string() + "\n");
    }
}

// tinyxml2 expands no entity and reads nothing that a DTD names; a document that declares one is
// refused, rather than imported with the entities' names as the texts.
TEST_F(Import, XmlWithADocumentTypeDeclarationIsRefused) {
    if (!lkmdb::KeePassXmlAvailable()) {
        GTEST_SKIP() << "this build reads no XML";
    }
    Init();
    const std::string before = ReadText(DbFile());
    const std::string entry =
        "<KeePassFile><Root><Group><Name>R</Name><Entry><String><Key>Title</Key>"
        "<Value>&x;</Value></String></Entry></Group></Root></KeePassFile>\n";
    const std::vector<std::string> prologs = {
        // An internal entity.
        "<!DOCTYPE KeePassFile [<!ENTITY x \"text\">]>\n",
        // An external one, which a parser that followed it would read from the disk.
        "<?xml version=\"1.0\"?>\n<!DOCTYPE KeePassFile [<!ENTITY x SYSTEM "
        "\"file:///etc/passwd\">]>\n",
        // A parameter entity, fetched from elsewhere.
        "<!DOCTYPE KeePassFile [<!ENTITY % p SYSTEM \"http://example.com/x.dtd\"> %p;]>\n",
        // Exponential expansion.
        "<!DOCTYPE KeePassFile [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;\">"
        "<!ENTITY x \"&b;&b;&b;&b;&b;&b;&b;&b;\">]>\n",
        // No subset at all, lower case.
        "<!doctype KeePassFile SYSTEM \"keepass.dtd\">\n",
    };
    for (const std::string& prolog : prologs) {
        SCOPED_TRACE(prolog);
        const Result r = Run({"import", Folder(), "-"}, prolog + entry);
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find("standard input: line "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("an XML document type declaration (DTD) is not accepted"),
                  std::string::npos)
            << r.err;
    }
    EXPECT_EQ(ReadText(DbFile()), before);
}

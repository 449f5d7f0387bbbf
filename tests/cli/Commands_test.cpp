// Every lkmdb command run in-process: arguments in; standard output, errors and exit code out.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Lkmdb.h"
#include "lkmdb7/lkmdb7.h"
#include "tests/support/FaultyFileSystem.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/LkmdbRun.h"
#include "tests/support/OlderFiles.h"
#include "tests/support/TestPaths.h"
#include "tests/support/platform/Env.h"

using namespace LKMDB7;
using namespace lkmdb7_test;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

using Result = LkmdbResult;

class Cli : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
    TempDir dir;

    Result Run(std::vector<std::string> args, const std::string& input = "",
               const lkmdb::Environment& env = {}) {
        return RunLkmdbCommand(std::move(args), input, env);
    }

    std::string Folder(const std::string& name = "db") const { return dir.File(name); }
    fs::path DbFile(const std::string& name = "db") const {
        return fs::path(Folder(name)) / kDatabaseFileName;
    }
    std::string PasswordFile(const std::string& password, const std::string& name = "pw") {
        WriteText(dir.path() / name, password + "\n");
        return dir.File(name);
    }

    // The demo database in Folder(), made with the extra arguments given.
    void MakeDemo(std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"demo", Folder()};
        args.insert(args.end(), extra.begin(), extra.end());
        const Result r = Run(args);
        ASSERT_EQ(r.code, 0) << r.err;
    }

    json Json(std::vector<std::string> args) {
        const Result r = Run(std::move(args));
        EXPECT_EQ(r.code, 0) << r.err;
        return json::parse(r.out);
    }

    // Record IDs in list order, as ls --json gives them.
    std::vector<DWORD> Ids(const std::string& passwordFile = {}) {
        std::vector<DWORD> ids;
        std::vector<std::string> args{"ls", Folder(), "--json"};
        if (!passwordFile.empty()) {
            args.insert(args.end(), {"--password-file", passwordFile});
        }
        const json listed = Json(args);
        for (const json& r : listed["records"]) {
            ids.push_back(r["recordId"].get<DWORD>());
        }
        return ids;
    }

    // A failure is one line on the error stream and nothing on standard output.
    static void ExpectOneLineError(const Result& r, int code, const std::string& part) {
        EXPECT_EQ(r.code, code) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err.rfind("lkmdb: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(part), std::string::npos) << r.err;
    }
};

// A save that fails says why in the library's words (here a full disk), for each command that
// makes a new database.
TEST_F(Cli, FailedSaveGivesTheLibrarysReason) {
    FaultyFileSystem faulty;
    FileSystem* const previous = SetFileSystem(&faulty);
    // Where the first write of a new database falls.
    ASSERT_EQ(Run({"init", Folder("probe")}).code, 0);
    const auto& log = faulty.Log();
    const auto write = std::find_if(log.begin(), log.end(),
                                    [](const std::string& e) { return e.rfind("write ", 0) == 0; });
    ASSERT_NE(write, log.end());
    const auto at = static_cast<std::size_t>(write - log.begin()) + 1;
    for (const char* command : {"init", "demo"}) {
        SCOPED_TRACE(command);
        faulty.Arm(at, Fault::diskFull, true);
        const Result r = Run({command, Folder(std::string("full-") + command)});
        faulty.Disarm();
        EXPECT_EQ(r.code, 2);
        EXPECT_NE(r.err.find("not written: "), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("disk full"), std::string::npos) << r.err;
    }
    SetFileSystem(previous);
}

}  // namespace

TEST_F(Cli, DemoShowsADatabaseReadBackFromDisk) {
    const Result r = Run({"demo", Folder()});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("records:      5"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Bank Card  Personal  Caf\u00E9 Cr\u00E8me Bank"), std::string::npos);
    EXPECT_EQ(r.err, "");

    const json dump = Json({"dump", Folder()});
    EXPECT_EQ(dump["records"].size(), 5u);
    EXPECT_EQ(dump["types"].size(), 3u);
    EXPECT_EQ(dump["categories"].size(), 3u);
    const json& card = dump["records"][2];
    EXPECT_EQ(card["fields"][0], "Caf\u00E9 Cr\u00E8me Bank");
    EXPECT_EQ(card["note"], "Lost card: call +1 555 0100\r\nThe card is kept in the blue wallet");
    EXPECT_EQ(card["mask"], 8);
    // Types are sorted by name; their labels were set after AddRecord made them.
    EXPECT_EQ(dump["types"][0]["name"], "Bank Card");
    EXPECT_EQ(dump["types"][0]["labels"][3], "PIN");

    // A second demo into the same folder refuses and leaves the database alone.
    const std::string before = ReadText(DbFile());
    ExpectOneLineError(Run({"demo", Folder()}), 2, "a database exists already");
    EXPECT_EQ(ReadText(DbFile()), before);
}

TEST_F(Cli, DemoWithoutArgumentsMakesItsOwnFolder) {
    const Result r = Run({"demo"});
    ASSERT_EQ(r.code, 0) << r.err;
    const std::string marker = "file:         ";
    const std::size_t at = r.out.find(marker);
    ASSERT_NE(at, std::string::npos) << r.out;
    const fs::path file =
        r.out.substr(at + marker.size(), r.out.find('\n', at) - at - marker.size());
    EXPECT_TRUE(fs::exists(file)) << file;
    fs::remove_all(file.parent_path());
}

TEST_F(Cli, InitMakesTheEmptyFileAndNeverOverwrites) {
    const std::string nested = (fs::path(Folder()) / "a" / "b").string();
    const Result r = Run({"init", nested});
    ASSERT_EQ(r.code, 0) << r.err;
    const fs::path file = fs::path(nested) / kDatabaseFileName;
    EXPECT_EQ(fs::file_size(file), 63u);
    ExpectOneLineError(Run({"init", nested}), 2, "exists already");
    EXPECT_EQ(fs::file_size(file), 63u);
    ExpectOneLineError(Run({"init", file.string()}), 2, "is a file, not a folder");
    EXPECT_EQ(Json({"info", nested, "--json"})["records"], 0);
}

TEST_F(Cli, BadArgumentsAreUsageErrors) {
    MakeDemo();
    const std::string db = Folder();
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "A subcommand is required"},
        {{"frobnicate", db}, "unknown command 'frobnicate'"},
        {{"info"}, "PATH is required"},
        {{"show", db, "1", "--field", "11"}, "--field"},
        {{"ls", db, "--password-file", "f", "--password-stdin"}, "excludes"},
        {{"export", db, "--format", "xml"}, "--format"},
        {{"search", db, "x", "--fields", "0x10000"}, "--fields"},
        {{"add", db, "--field", "a"}, "--type is required"},
        {{"add", db, "--type", "T", "--mask", "-1"}, "--mask"},
    };
    for (const auto& [args, part] : cases) {
        SCOPED_TRACE(args.empty() ? "(none)" : args[0]);
        ExpectOneLineError(Run(args), 2, part);
    }
    // Help is no error, and documents the exit codes.
    const Result help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Exit codes:"), std::string::npos);
    EXPECT_NE(help.out.find("--password-file"), std::string::npos);
}

TEST_F(Cli, MissingAndDamagedFiles) {
    fs::create_directory(Folder("empty"));
    ExpectOneLineError(Run({"info", Folder("empty")}), 1, "no such database file");
    ExpectOneLineError(Run({"ls", Folder("nowhere")}), 1, "no such database file");
    ExpectOneLineError(Run({"add", Folder("empty"), "--type", "T"}), 1, "no such database file");
    EXPECT_FALSE(fs::exists(DbFile("empty")));

    MakeDemo();
    const std::string whole = ReadText(DbFile());
    WriteText(DbFile(), whole.substr(0, whole.size() / 2));
    for (const char* command : {"info", "ls", "dump", "verify", "export"}) {
        SCOPED_TRACE(command);
        ExpectOneLineError(Run({command, Folder()}), 2, DbFile().string());
    }
    ExpectOneLineError(Run({"add", Folder(), "--type", "T"}), 2, DbFile().string());
    EXPECT_EQ(ReadText(DbFile()), whole.substr(0, whole.size() / 2));

    // A file too short to hold a version number says how short, as one cut later does.
    for (const std::size_t size : {std::size_t{10}, std::size_t{45}}) {
        SCOPED_TRACE(size);
        WriteText(DbFile(), whole.substr(0, size));
        const Result r = Run({"info", Folder()});
        ExpectOneLineError(r, 2, DbFile().string() + ": too short");
        EXPECT_NE(r.err.find(std::to_string(size) + " bytes"), std::string::npos) << r.err;
        EXPECT_NE(r.err.find("46"), std::string::npos) << r.err;
    }
}

TEST_F(Cli, InfoCountsDeletedItemsApart) {
    MakeDemo();
    ASSERT_EQ(Run({"rm", Folder(), std::to_string(Ids()[1])}).code, 0);
    const json info = Json({"info", Folder(), "--json"});
    EXPECT_EQ(info["version"], 9);
    EXPECT_EQ(info["hasPassword"], false);
    EXPECT_EQ(info["records"], 4);
    EXPECT_EQ(info["deletedRecords"], 1);
    EXPECT_EQ(info["types"], 3);
    EXPECT_EQ(info["fileSize"], fs::file_size(DbFile()));
    const Result text = Run({"info", Folder()});
    EXPECT_NE(text.out.find("records:      4 (and 1 deleted)"), std::string::npos) << text.out;
}

TEST_F(Cli, LsFiltersByTypeAndCategoryAndMasksSecrets) {
    MakeDemo();
    EXPECT_EQ(Json({"ls", Folder(), "--type", "web login", "--json"})["records"].size(), 2u);
    EXPECT_EQ(Json({"ls", Folder(), "--category", "Personal", "--json"})["records"].size(), 2u);
    const json unfiled = Json({"ls", Folder(), "--type", "Unfiled", "--json"})["records"];
    ASSERT_EQ(unfiled.size(), 1u);
    EXPECT_EQ(unfiled[0]["fields"][0], "Front door code");
    EXPECT_EQ(unfiled[0]["fields"][1], nullptr);  // secret
    ExpectOneLineError(Run({"ls", Folder(), "--type", "Nope"}), 1, "no record type named \"Nope\"");

    ASSERT_EQ(Run({"add", Folder(), "--type", "PIN", "--field", "1234", "--mask", "1"}).code, 0);
    const Result r = Run({"ls", Folder(), "--type", "PIN"});
    EXPECT_NE(r.out.find("PIN   Unfiled   ****"), std::string::npos) << r.out;
}

TEST_F(Cli, ShowFieldsWithLabelsAndSecretsMasked) {
    MakeDemo();
    const std::string card = std::to_string(Ids()[2]);
    const Result r = Run({"show", Folder(), card});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("Card number:  4111 1111 1111 1111\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("PIN:          ****\n"), std::string::npos);
    EXPECT_NE(r.out.find("note:         Lost card: call +1 555 0100\n"
                         "              The card is kept in the blue wallet\n"),
              std::string::npos);
    EXPECT_NE(Run({"show", Folder(), card, "--reveal"}).out.find("PIN:          4821\n"),
              std::string::npos);
    // A script must never take a placeholder for the secret.
    ExpectOneLineError(Run({"show", Folder(), card, "--field", "4"}), 2, "--reveal");
    EXPECT_EQ(Run({"show", Folder(), card, "--field", "4", "--reveal"}).out, "4821\n");
    EXPECT_EQ(Run({"show", Folder(), card, "--field", "2"}).out, "4111 1111 1111 1111\n");
    const json shown = Json({"show", Folder(), card, "--json"})["record"];
    EXPECT_EQ(shown["labels"][3], "PIN");
    EXPECT_EQ(shown["mask"], 8);
    EXPECT_EQ(shown["fields"][3], nullptr);
    EXPECT_EQ(Json({"show", Folder(), card, "--json", "--reveal"})["record"]["fields"][3], "4821");
    ExpectOneLineError(Run({"show", Folder(), "12345"}), 1, "no record 12345");
}

TEST_F(Cli, SearchUsesTheRecordsOwnRule) {
    MakeDemo();
    const auto found = [&](std::vector<std::string> extra) {
        std::vector<std::string> args{"search", Folder()};
        args.insert(args.end(), extra.begin(), extra.end());
        const Result r = Run(args);
        std::vector<std::string> firsts;
        if (r.code == 0) {
            const json listed = json::parse(r.out);
            for (const json& rec : listed["records"]) {
                firsts.push_back(rec["fields"][0]);
            }
        } else {
            EXPECT_EQ(r.code, 1) << r.err;
        }
        return firsts;
    };
    using V = std::vector<std::string>;
    EXPECT_EQ(found({"MAIL", "--json"}), (V{"Mail"}));
    EXPECT_EQ(found({"MAIL", "--match-case", "--json"}), V{});
    EXPECT_EQ(found({"Home", "--whole-word", "--json"}), (V{"Home network"}));
    EXPECT_EQ(found({"Hom", "--whole-word", "--json"}), V{});
    EXPECT_EQ(found({"cr\u00E8me", "--json"}), (V{"Caf\u00E9 Cr\u00E8me Bank"}));
    // The note is searched whatever the field bits say; fields only when their bit is set.
    EXPECT_EQ(found({"wallet", "--fields", "0", "--json"}), (V{"Caf\u00E9 Cr\u00E8me Bank"}));
    EXPECT_EQ(found({"amorgan", "--fields", "0x1", "--json"}), V{});
    EXPECT_EQ(found({"amorgan", "--fields", "0x2", "--json"}), (V{"Intranet"}));
}

TEST_F(Cli, AddRemoveAndPurge) {
    MakeDemo();
    const Result added = Run({"add", Folder(), "--type", "Server", "--category", "Work", "--field",
                              "db01", "--field", "root", "--note", "rack 4"});
    ASSERT_EQ(added.code, 0) << added.err;
    const DWORD id = Ids().back();
    EXPECT_EQ(added.out, "added record " + std::to_string(id) + " to " + DbFile().string() + "\n");
    json dump = Json({"dump", Folder()});
    EXPECT_EQ(dump["types"].size(), 4u);
    EXPECT_EQ(dump["records"][5]["fields"][1], "root");
    EXPECT_EQ(dump["records"][5]["note"], "rack 4");
    EXPECT_EQ(dump["records"][5]["needsSync"], true);

    // A new record of an existing type hides what the type hides.
    ASSERT_EQ(Run({"add", Folder(), "--type", "Wi-Fi", "--field", "Guest", "--field", "pw",
                   "--local-only"})
                  .code,
              0);
    dump = Json({"dump", Folder()});
    EXPECT_EQ(dump["records"][6]["mask"], 2);
    EXPECT_EQ(dump["records"][6]["localOnly"], true);
    EXPECT_NE(dump["records"][6]["recordId"], dump["records"][5]["recordId"]);

    ExpectOneLineError(
        Run({"add",     Folder(), "--type",  "T",  "--field", "1", "--field", "2", "--field", "3",
             "--field", "4",      "--field", "5",  "--field", "6", "--field", "7", "--field", "8",
             "--field", "9",      "--field", "10", "--field", "11"}),
        2, "ten fields");

    ASSERT_EQ(Run({"rm", Folder(), std::to_string(id)}).code, 0);
    EXPECT_EQ(Ids().size(), 6u);
    ExpectOneLineError(Run({"rm", Folder(), std::to_string(id)}), 1, "no record");
    ExpectOneLineError(Run({"show", Folder(), std::to_string(id)}), 1, "no record");
    const Result purged = Run({"purge", Folder()});
    ASSERT_EQ(purged.code, 0) << purged.err;
    EXPECT_NE(purged.out.find("purged 1 records, 0 types and 0 categories"), std::string::npos);
    EXPECT_EQ(Json({"dump", Folder()})["records"].size(), 6u);
}

TEST_F(Cli, TextOutsideWindows1252ChangesNothing) {
    MakeDemo();
    const std::string before = ReadText(DbFile());
    ExpectOneLineError(Run({"add", Folder(), "--type", "T", "--field", "ok", "--field", "\u4E2D"}),
                       2, "--field 2: the character U+4E2D (\u4E2D) has no Windows-1252 byte");
    ExpectOneLineError(Run({"search", Folder(), "\u4E2D"}), 2, "TEXT: the character U+4E2D");
    EXPECT_EQ(ReadText(DbFile()), before);
}

TEST_F(Cli, ExportAndImportRoundTripNonAsciiText) {
    MakeDemo();
    // The euro sign is byte 0x80 in the file; U+0081 stands for the unassigned byte 0x81.
    ASSERT_EQ(Run({"add", Folder(), "--type", "Caf\u00E9", "--field", "5 \u20AC \u0081", "--note",
                   "line, \"one\"\ntwo"})
                  .code,
              0);
    {
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load(CString(DbFile().string())), 0);
        CRecord* last = db.GetRecordList().GetRecordByID(Ids().back());
        ASSERT_NE(last, nullptr);
        EXPECT_EQ(last->GetField(0, false), "5 \x80 \x81");
        EXPECT_EQ(db.GetTypesList().GetTypeName(last->GetTypeID()), "Caf\xE9");
    }
    const Result exported = Run({"export", Folder()});
    ASSERT_EQ(exported.code, 0) << exported.err;
    EXPECT_NE(exported.out.find("Caf\u00E9,Unfiled,5 \u20AC \u0081,,,,,,,,,,\"line, "
                                "\"\"one\"\"\r\ntwo\",0,Field 1,Field 2,"),
              std::string::npos)
        << exported.out;

    ASSERT_EQ(Run({"init", Folder("copy")}).code, 0);
    WriteText(dir.path() / "out.csv", exported.out);
    const Result imported = Run({"import", Folder("copy"), dir.File("out.csv")});
    ASSERT_EQ(imported.code, 0) << imported.err;
    EXPECT_EQ(imported.out, "imported 6 records into " + DbFile("copy").string() + "\n");
    EXPECT_EQ(Run({"export", Folder("copy")}).out, exported.out);

    const Result toFile = Run({"export", Folder(), "--format", "json", "-o", dir.File("o.json")});
    ASSERT_EQ(toFile.code, 0) << toFile.err;
    const json list = json::parse(ReadText(dir.path() / "o.json"))["records"];
    ASSERT_EQ(list.size(), 6u);
    EXPECT_EQ(list[2]["fields"][3], "4821");  // exports carry secret fields in clear
    EXPECT_EQ(list[5]["fields"][0], "5 \u20AC \u0081");
}

TEST_F(Cli, ExportFilesAreTheOwnersAndReplaceNothingUnasked) {
    MakeDemo();
    const fs::path out = dir.path() / "out.csv";
    WriteText(out, "keep me");
    ExpectOneLineError(Run({"export", Folder(), "-o", out.string()}), 2, "exists already");
    EXPECT_EQ(ReadText(out), "keep me");

    fs::permissions(out, fs::perms::all);
    const Result forced = Run({"export", Folder(), "-o", out.string(), "--force"});
    ASSERT_EQ(forced.code, 0) << forced.err;
    EXPECT_EQ(ReadText(out), Run({"export", Folder()}).out);

    // Where the file system keeps POSIX modes, the export is the owner's alone, replaced or new.
    const fs::path probe = dir.path() / "probe";
    WriteText(probe, "");
    const auto ownerOnly = fs::perms::owner_read | fs::perms::owner_write;
    fs::permissions(probe, ownerOnly);
    if (fs::status(probe).permissions() == ownerOnly) {
        EXPECT_EQ(fs::status(out).permissions(), ownerOnly);
        ASSERT_EQ(Run({"export", Folder(), "-o", dir.File("new.json"), "--format", "json"}).code,
                  0);
        EXPECT_EQ(fs::status(dir.path() / "new.json").permissions(), ownerOnly);
    }

    // The database itself, by any name, even with --force.
    const std::string before = ReadText(DbFile());
    const std::string roundabout = (fs::path(Folder()) / ".." / "db" / kDatabaseFileName).string();
    ExpectOneLineError(Run({"export", Folder(), "-o", roundabout, "--force"}), 2,
                       "is the database itself");
    std::error_code noLinks;
    fs::create_symlink(DbFile(), dir.path() / "link", noLinks);
    if (!noLinks) {
        ExpectOneLineError(Run({"export", Folder(), "-o", dir.File("link"), "--force"}), 2,
                           "is the database itself");
    }
    EXPECT_EQ(ReadText(DbFile()), before);
}

// Stored texts reach the terminal escaped; machine-readable output keeps them exact.
TEST_F(Cli, ControlCharactersReachNoTerminal) {
    MakeDemo();
    const std::string osc = "\x1b]0;owned\x07";
    const std::string fake = "x\n12345  Web Login  Personal  fake";
    ASSERT_EQ(Run({"add", Folder(), "--type", "T" + osc, "--category", "\x1b[2J", "--field", fake,
                   "--note", "a\r\nb\x1b[1A\u009d"})
                  .code,
              0);
    const std::string id = std::to_string(Ids().back());
    const auto raw = [](const std::string& text) {
        return std::any_of(text.begin(), text.end(),
                           [](char c) {
                               const auto u = static_cast<unsigned char>(c);
                               return (u < 0x20 && c != '\n') || u == 0x7F;
                           }) ||
               text.find("\xC2\x9D") != std::string::npos;
    };
    for (const std::vector<std::string>& args : {std::vector<std::string>{"ls", Folder()},
                                                 {"show", Folder(), id, "--reveal"},
                                                 {"search", Folder(), "fake"},
                                                 {"ls", Folder(), "--type", "T" + osc}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, 0) << args[0] << r.err;
        EXPECT_FALSE(raw(r.out)) << args[0] << ": " << r.out;
        EXPECT_NE(r.out.find("\\x1b]0;owned\\x07"), std::string::npos) << r.out;
    }
    const Result shown = Run({"show", Folder(), id});
    EXPECT_NE(shown.out.find("x\\n12345  Web Login"), std::string::npos) << shown.out;
    EXPECT_NE(shown.out.find("b\\x1b[1A\\u009d"), std::string::npos) << shown.out;

    // Error lines quote what was asked for.
    const Result missing = Run({"ls", Folder(), "--type", "\x1b[31mred"});
    EXPECT_EQ(missing.code, 1);
    EXPECT_FALSE(raw(missing.err)) << missing.err;

    // JSON, CSV and the bare value piped to a script are exact.
    EXPECT_EQ(Json({"show", Folder(), id, "--json"})["record"]["fields"][0], fake);
    EXPECT_NE(Run({"export", Folder()}).out.find("T" + osc), std::string::npos);
    EXPECT_EQ(Run({"show", Folder(), id, "--field", "1"}).out, fake + "\n");
    lkmdb::Environment terminal;
    terminal.outputIsTerminal = true;
    EXPECT_EQ(Run({"show", Folder(), id, "--field", "1"}, "", terminal).out,
              "x\\n12345  Web Login  Personal  fake\n");
}

TEST_F(Cli, RecordsTooLongToPackChangeNothing) {
    MakeDemo();
    const std::string before = ReadText(DbFile());
    const Result r = Run({"add", Folder(), "--type", "T", "--note", std::string(70000, 'x')});
    ExpectOneLineError(r, 2, "over the limit of 65535 bytes");
    EXPECT_EQ(ReadText(DbFile()), before);
}

TEST_F(Cli, ImportWithABadRowSavesNothing) {
    ASSERT_EQ(Run({"init", Folder()}).code, 0);
    const std::string header =
        "type,category,field1,field2,field3,field4,field5,field6,field7,"
        "field8,field9,field10,note\r\n";
    const std::string good = "Login,Web,a,b,,,,,,,,,\r\n";
    struct Case {
        std::string csv;
        std::string message;
    };
    const std::vector<Case> cases = {
        {header + good + "Login,Web,a,b\r\n", "bad.csv: line 3: 4 fields, where the header has 13"},
        {header + good + "\"Login\nx\",Web,\u4E2D,,,,,,,,,,\r\n",
         "no Windows-1252 byte (--replace-unmappable stores them as '?'): U+4E2D (\u4E2D) at "
         "line 3, field1"},
        {header + good + "Login,\"Web\r\n", "bad.csv: line 3: a quoted field is not closed"},
        {"type,category\r\n" + good, "bad.csv: line 1: the header is of no export"},
        {header + good + "Login,Web," + std::string(70000, 'x') + ",,,,,,,,,,\r\n",
         "bad.csv: line 3: CRecord"},
    };
    const std::string before = ReadText(DbFile());
    for (const Case& c : cases) {
        WriteText(dir.path() / "bad.csv", c.csv);
        const Result r = Run({"import", Folder(), dir.File("bad.csv")});
        EXPECT_EQ(r.code, 2);
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find(c.message), std::string::npos) << r.err;
        EXPECT_EQ(ReadText(DbFile()), before);
    }
    ExpectOneLineError(Run({"import", Folder(), dir.File("none.csv")}), 2, "cannot be read");
}

TEST_F(Cli, DumpIsTheWholeDatabase) {
    MakeDemo();
    const json dump = Json({"dump", Folder()});
    EXPECT_EQ(dump["version"], 9);
    EXPECT_EQ(dump["hasPassword"], false);
    EXPECT_EQ(dump["crib"], std::string(80, '0'));
    const json& record = dump["records"][0];
    // The shape that every command gives a record, and what the file stores beneath it.
    for (const char* key :
         {"recordId",  "type",       "category",     "fields",         "labels",    "mask",
          "icon",      "note",       "viewCount",    "attachmentName", "localOnly", "pkId",
          "typeId",    "categoryId", "recordLabels", "attachmentKey",  "needsSync", "deleted",
          "cloudSync", "timeStamp",  "crc"}) {
        EXPECT_TRUE(record.contains(key)) << key;
    }
    EXPECT_EQ(record["pkId"].get<std::string>().size(), 16u);
    EXPECT_EQ(record["fields"].size(), 10u);
    EXPECT_EQ(record["labels"].size(), 10u);
    EXPECT_EQ(record["recordLabels"].size(), 10u);
    EXPECT_EQ(record["fields"][2], "correct-horse-42");  // dump reveals secrets
    // Records name their type and category by the identifiers those items carry.
    EXPECT_EQ(record["typeId"], dump["types"][1]["uniqueId"]);
    EXPECT_EQ(dump["types"][1]["name"], "Web Login");
    EXPECT_EQ(dump["types"][1]["columns"].size(), 15u);
    EXPECT_EQ(dump["types"][1]["columns"][0].size(), 4u);
    EXPECT_EQ(dump["categories"][1]["name"], "Personal");
    EXPECT_EQ(record["categoryId"], dump["categories"][1]["uniqueId"]);
}

TEST_F(Cli, AWrongPasswordStopsBeforeAnythingIsReadOrWritten) {
    const std::string right = PasswordFile("s\u00E9same");
    const std::string wrong = PasswordFile("sesame", "wrong");
    MakeDemo({"--password-file", right});
    const Result ok = Run({"verify", Folder(), "--password-file", right});
    EXPECT_EQ(ok.code, 0) << ok.err;
    EXPECT_EQ(ok.out, "ok\n");
    const std::string before = ReadText(DbFile());
    ExpectOneLineError(Run({"verify", Folder(), "--password-file", wrong}), 3, "wrong password");
    ExpectOneLineError(Run({"verify", Folder()}), 3, "this database needs a password");
    ExpectOneLineError(Run({"add", Folder(), "--type", "T", "--password-file", wrong}), 3,
                       "wrong password");
    ExpectOneLineError(Run({"upgrade", Folder()}), 3, "this database needs a password");
    EXPECT_EQ(ReadText(DbFile()), before);

    // The password keys the cipher in Windows-1252, as files made on Windows expect.
    const DWORD first = Ids(right).front();  // record IDs lie outside the enciphered bytes
    SetRecordCipherPassword("s\xE9same");
    CDatabaseObj7 db;
    ASSERT_EQ(db.Load(CString(DbFile().string())), 0);
    EXPECT_EQ(db.GetRecordList().GetRecordByID(first)->GetField(0, false), "Mail");
}

TEST_F(Cli, VerifyReportsDanglingReferences) {
    {
        CDatabaseObj7 db;
        ASSERT_EQ(db.Load("", CString(Folder())), 0);
        CStringArray texts;
        texts.Add("Login");
        texts.Add("x");
        CStringArray labels;
        db.AddRecordWithoutWaiting(texts, 0, labels, "Work", 24, false);
        auto* orphan = new CRecord;
        orphan->SetRecordID(77);
        orphan->SetTypeID(CUID{{1, 2, 3, 4, 5, 6, 7, 8}});
        orphan->SetCategoryID(CUID{{8, 7, 6, 5, 4, 3, 2, 1}});
        db.GetRecordList().AddItem(orphan);
        ASSERT_EQ(db.Save(true), 0);
    }
    const Result r = Run({"verify", Folder()});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.out,
              "record 77: its type 0102030405060708 names no record type\n"
              "record 77: its category 0807060504030201 names no category\n");
}

TEST_F(Cli, PasswordSources) {
    const std::string password = "s\u00E9same";
    MakeDemo({"--password-file", PasswordFile(password)});
    EXPECT_EQ(Run({"verify", Folder(), "--password-stdin"}, password + "\r\n").out, "ok\n");

    lkmdb::Environment terminal;
    std::string prompt;
    terminal.askPassword = [&](const std::string& p) -> std::optional<std::string> {
        prompt = p;
        return password;
    };
    EXPECT_EQ(Run({"verify", Folder(), "--ask-password"}, "", terminal).out, "ok\n");
    EXPECT_EQ(prompt, "Password: ");

    ExpectOneLineError(Run({"verify", Folder(), "--ask-password"}), 2, "no terminal");
    ExpectOneLineError(Run({"verify", Folder(), "--password-stdin"}), 2,
                       "no password on standard input");
    ExpectOneLineError(Run({"verify", Folder(), "--password-file", dir.File("none")}), 2,
                       "cannot be read");
    ExpectOneLineError(Run({"verify", Folder(), "--password-file", PasswordFile("", "empty")}), 2,
                       "the password is empty");
    // The message does not quote the password.
    const Result wide = Run({"verify", Folder(), "--password-stdin"}, "pa\u4E2Dss\n");
    ExpectOneLineError(wide, 2, "has no Windows-1252 byte");
    EXPECT_EQ(wide.err.find("\u4E2D"), std::string::npos);
}

TEST_F(Cli, OlderFilesAreReadInPlaceAndUpgradedOnRequest) {
    // An empty database of version 8: header with the icon name, three empty lists.
    std::string v8(40, '\0');
    v8 += std::string("\0\0\0\0\x08\0\0", 7) + std::string(10, '\0') + std::string(6, '\0');
    fs::create_directory(Folder());
    // Reading copies the file nowhere, also when the read fails.
    const TempDir temporary;
    const ScopedEnv tmpdir("TMPDIR", temporary.str().c_str());
    WriteText(DbFile(), v8.substr(0, 60));
    EXPECT_EQ(Run({"ls", Folder()}).code, 2);
    WriteText(DbFile(), v8);

    const Result info = Run({"info", Folder(), "--json"});
    ASSERT_EQ(info.code, 0) << info.err;
    EXPECT_EQ(json::parse(info.out)["version"], 8);
    EXPECT_NE(info.err.find("is version 8: read as it is"), std::string::npos);
    EXPECT_EQ(ReadText(DbFile()), v8);
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder()), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::is_empty(temporary.path()));

    const Result upgraded = Run({"upgrade", Folder()});
    ASSERT_EQ(upgraded.code, 0) << upgraded.err;
    EXPECT_EQ(upgraded.out, DbFile().string() + ": upgraded from version 8 to 9\n");
    EXPECT_EQ(CDatabaseObj7::GetVersion(DbFile().string().c_str()), 9);
    EXPECT_EQ(Run({"upgrade", Folder()}).out, DbFile().string() + ": already version 9\n");
}

// A reading command shows an older file as it shows the file once upgraded, and leaves it as it is.
TEST_F(Cli, ReadingAnOlderFileShowsWhatTheUpgradeShows) {
    fs::create_directory(Folder());
    const Bytes v4 = FileV4();
    WriteFileBytes(DbFile(), v4);
    // What may differ: the file's own version, the CRCs stored in it, and a record's PK
    // identifier, which a file older than 6 lacks and each load of it draws afresh.
    const auto shown = [this] {
        json dump = Json({"dump", Folder()});
        dump.erase("version");
        for (const char* list : {"records", "types", "categories"}) {
            for (json& item : dump[list]) {
                item.erase("crc");
                item.erase("pkId");
            }
        }
        return dump;
    };
    const json before = shown();
    EXPECT_EQ(ReadFileBytes(DbFile()), v4);
    const Result show = Run({"show", Folder(), "21", "--reveal"});
    ASSERT_EQ(show.code, 0) << show.err;
    EXPECT_NE(show.out.find("bob"), std::string::npos) << show.out;

    ASSERT_EQ(Run({"upgrade", Folder()}).code, 0);
    EXPECT_EQ(shown(), before);
    EXPECT_EQ(Run({"show", Folder(), "21", "--reveal"}).out, show.out);
}

TEST_F(Cli, BackupAndRestore) {
    MakeDemo();
    const fs::path bak = DbFile().string() + ".bak";
    ExpectOneLineError(Run({"restore", Folder()}), 1, "no such backup copy");
    ASSERT_EQ(Run({"backup", Folder()}).code, 0);
    const std::string saved = ReadText(DbFile());
    EXPECT_EQ(ReadText(bak), saved);

    ASSERT_EQ(Run({"add", Folder(), "--type", "T"}).code, 0);
    ASSERT_NE(ReadText(DbFile()), saved);
    const Result restored = Run({"restore", DbFile().string()});
    ASSERT_EQ(restored.code, 0) << restored.err;
    EXPECT_EQ(ReadText(DbFile()), saved);

    // What restore replaced is kept beside the file, dated.
    const auto keptCopies = [&] {
        std::vector<std::string> kept;
        for (const auto& entry : fs::directory_iterator(Folder())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(std::string(kDatabaseFileName) + ".2", 0) == 0) {
                kept.push_back(ReadText(entry.path()));
            }
        }
        return kept;
    };
    EXPECT_NE(restored.out.find("what it replaced is kept as"), std::string::npos);
    ASSERT_EQ(keptCopies().size(), 1u);
    EXPECT_NE(keptCopies()[0], saved);

    // A backup copy that does not read as a database never replaces the file.
    WriteText(bak, saved.substr(0, 50));
    ExpectOneLineError(Run({"restore", Folder()}), 2, "nothing was restored");
    EXPECT_EQ(ReadText(DbFile()), saved);
    EXPECT_EQ(keptCopies().size(), 1u);
}

// A database whose folder refuses new files (played by the file system double): commands that
// write refuse, naming the folder, and change nothing; with --save-in-place FOLDER they write in
// place after a copy in FOLDER, which is gone again afterwards.
TEST_F(Cli, SaveInPlaceOnlyWhenAskedAndAfterACopy) {
    MakeDemo();
    ASSERT_EQ(Run({"backup", Folder()}).code, 0);
    const fs::path bak = DbFile().string() + ".bak";
    const fs::path copies = dir.path() / "copies";
    fs::create_directory(copies);
    const Result help = Run({"--help"});
    EXPECT_NE(help.out.find("--save-in-place FOLDER"), std::string::npos) << help.out;

    FaultyFileSystem refusing;
    refusing.RefuseNewFilesIn(Folder());
    ScopedFileSystem inPlace(refusing);
    const std::string before = ReadText(DbFile());
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"add", Folder(), "--type", "T"}, {"backup", Folder()}}) {
        SCOPED_TRACE(args.front());
        ExpectOneLineError(Run(args), 2, Folder() + ": cannot create a file beside");
        EXPECT_EQ(ReadText(DbFile()), before);
        EXPECT_EQ(ReadText(bak), before);
    }

    const Result added =
        Run({"--save-in-place", copies.string(), "add", Folder(), "--type", "T", "--field", "x"});
    ASSERT_EQ(added.code, 0) << added.err;
    EXPECT_NE(ReadText(DbFile()), before);
    EXPECT_TRUE(fs::is_empty(copies));
    const Result backedUp = Run({"backup", Folder(), "--save-in-place", copies.string()});
    ASSERT_EQ(backedUp.code, 0) << backedUp.err;
    EXPECT_EQ(ReadText(bak), ReadText(DbFile()));
    EXPECT_TRUE(fs::is_empty(copies));
    ExpectOneLineError(Run({"--save-in-place", (copies / "missing").string(), "rm", Folder(), "x"}),
                       2, "missing");
}

TEST_F(Cli, BackupChecksFirstAndKeepsDatedCopies) {
    MakeDemo();
    const fs::path bak = DbFile().string() + ".bak";
    const fs::path vault = dir.path() / "vault";
    fs::create_directory(vault);
    const Result first = Run({"backup", Folder(), "--to", vault.string()});
    ASSERT_EQ(first.code, 0) << first.err;
    ASSERT_EQ(Run({"add", Folder(), "--type", "T"}).code, 0);
    ASSERT_EQ(Run({"backup", Folder(), "--to", vault.string()}).code, 0);
    const std::string good = ReadText(DbFile());
    EXPECT_EQ(ReadText(bak), good);
    std::vector<std::string> dated;
    for (const auto& entry : fs::directory_iterator(vault)) {
        dated.push_back(ReadText(entry.path()));
    }
    ASSERT_EQ(dated.size(), 2u);
    EXPECT_TRUE(dated[0] == good || dated[1] == good);
    EXPECT_NE(dated[0], dated[1]);

    // A damaged database never replaces a good backup.
    std::string damaged = good;
    damaged[damaged.find("Personal") + 1] ^= 0x20;
    WriteText(DbFile(), damaged);
    ExpectOneLineError(Run({"backup", Folder(), "--to", vault.string()}), 2, "fail their checksum");
    WriteText(DbFile(), good.substr(0, 100));
    ExpectOneLineError(Run({"backup", Folder()}), 2, "no backup was made");
    EXPECT_EQ(ReadText(bak), good);
    EXPECT_EQ(std::distance(fs::directory_iterator(vault), fs::directory_iterator()), 2);
    ExpectOneLineError(Run({"backup", Folder(), "--to", dir.File("nowhere")}), 1, "no such folder");
}

TEST_F(Cli, RecordsAreNamedByIdOrFirstField) {
    MakeDemo();
    const std::string mail = std::to_string(Ids()[0]);
    // The first field, in any letter case, names the record as its ID does.
    EXPECT_EQ(Run({"show", Folder(), "MAIL", "--field", "2"}).out, "alex.morgan@example.org\n");
    EXPECT_EQ(Run({"show", Folder(), mail, "--field", "2"}).out, "alex.morgan@example.org\n");
    ExpectOneLineError(Run({"show", Folder(), "Mai"}), 1, "no record Mai");

    ASSERT_EQ(Run({"add", Folder(), "--type", "Note", "--field", "mail"}).code, 0);
    const Result twice = Run({"show", Folder(), "Mail"});
    ExpectOneLineError(twice, 2,
                       "2 records are named \"Mail\": " + mail + " (Web Login, Personal)");
    EXPECT_NE(twice.err.find("(Note, Unfiled); give the ID"), std::string::npos) << twice.err;

    // rm takes a name too; a deleted record no longer makes it ambiguous.
    ASSERT_EQ(Run({"rm", Folder(), mail}).code, 0);
    const Result left = Run({"rm", Folder(), "mail"});
    ASSERT_EQ(left.code, 0) << left.err;
    ExpectOneLineError(Run({"rm", Folder(), "mail"}), 1, "no record mail");
}

TEST_F(Cli, JsonCarriesItsSchemaVersionAndErrors) {
    MakeDemo();
    const std::string id = std::to_string(Ids()[0]);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"ls", Folder(), "--json"},
                                                 {"search", Folder(), "a", "--json"},
                                                 {"show", Folder(), id, "--json"},
                                                 {"info", Folder(), "--json"},
                                                 {"dump", Folder()}}) {
        EXPECT_EQ(Json(args)["schemaVersion"], 1) << args[0];
    }
    // Records have one shape wherever they appear.
    EXPECT_EQ(Json({"ls", Folder(), "--json"})["records"][0],
              Json({"show", Folder(), id, "--json"})["record"]);

    // With --json, failures (of the command or of its arguments) are JSON on the error stream.
    for (const auto& [args, code, part] :
         std::vector<std::tuple<std::vector<std::string>, int, std::string>>{
             {{"show", Folder(), "nope", "--json"}, 1, "no record nope"},
             {{"ls", "--json"}, 2, "PATH"},
             {{"ls", Folder(), "--json", "--bogus"}, 2, "--bogus"}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, code);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        const json error = json::parse(r.err);
        EXPECT_EQ(error["schemaVersion"], 1);
        EXPECT_EQ(error["error"]["exitCode"], code);
        EXPECT_NE(error["error"]["message"].get<std::string>().find(part), std::string::npos)
            << r.err;
    }
}

TEST_F(Cli, VersionNamesToolLibraryAndFileVersion) {
    const Result r = Run({"--version"});
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.out.rfind(std::string("lkmdb ") + LKMDB7_VERSION_STRING + " (library ", 0), 0u)
        << r.out;
    EXPECT_NE(r.out.find("version " + std::to_string(kCurrentVersion)), std::string::npos);
}

TEST_F(Cli, TypesWithLabelsAndSecretsShapeTheRecordsAdded) {
    MakeDemo();
    ASSERT_EQ(Run({"type", "add", Folder(), "Server", "--label", "Host", "--label", "Root password",
                   "--mask", "0x2"})
                  .code,
              0);
    const json types = Json({"type", "ls", Folder(), "--json"});
    ASSERT_EQ(types["types"].size(), 4u);
    const json& server = types["types"][1];  // in name order
    EXPECT_EQ(server["name"], "Server");
    EXPECT_EQ(server["labels"][1], "Root password");
    EXPECT_EQ(server["mask"], 2);
    EXPECT_EQ(server["records"], 0);
    EXPECT_NE(
        Run({"type", "ls", Folder()}).out.find("Server     0        1 Host, 2 Root password*"),
        std::string::npos)
        << Run({"type", "ls", Folder()}).out;

    // add takes the type's secret fields and shows its labels.
    ASSERT_EQ(
        Run({"add", Folder(), "--type", "server", "--field", "db1", "--field", "hunter2"}).code, 0);
    const Result shown = Run({"show", Folder(), "db1"});
    EXPECT_NE(shown.out.find("Root password:  ****"), std::string::npos) << shown.out;

    ExpectOneLineError(Run({"type", "add", Folder(), "SERVER"}), 2, "exists");
    ExpectOneLineError(Run({"type", "add", Folder(), "Unfiled"}), 2, "cannot name a record type");
    // A type in use is kept unless forced; then its records are Unfiled, still secret.
    const std::string before = ReadText(DbFile());
    ExpectOneLineError(Run({"type", "rm", Folder(), "Server"}), 2, "1 records are of type");
    EXPECT_EQ(ReadText(DbFile()), before);
    ASSERT_EQ(Run({"type", "rm", Folder(), "Server", "--force"}).code, 0);
    const json record = Json({"show", Folder(), "db1", "--json"})["record"];
    EXPECT_EQ(record["type"], "Unfiled");
    EXPECT_EQ(record["fields"][1], nullptr);
    ExpectOneLineError(Run({"type", "rm", Folder(), "Server"}), 1, "no record type named");
    ExpectOneLineError(Run({"type", Folder()}), 2, "");
}

// Every --mask takes the library's one rule: a bit for each of the ten fields, nothing above.
TEST_F(Cli, MasksAreRefusedAboveTheTenFields) {
    MakeDemo();
    const std::string before = ReadText(DbFile());
    struct Case {
        const char* mask;
        bool accepted;
    };
    const Case cases[] = {{"0", true},       {"0x3FF", true},   {"1023", true},
                          {"0x400", false},  {"1024", false},   {"0x8000", false},
                          {"0xFFFF", false}, {"0x10000", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.mask);
        const std::vector<std::vector<std::string>> commands = {
            {"add", Folder(), "--type", "Bank", "--field", std::string("m") + c.mask, "--mask",
             c.mask},
            {"edit", Folder(), "intranet", "--mask", c.mask},
            {"type", "add", Folder(), std::string("T") + c.mask, "--mask", c.mask}};
        for (const auto& command : commands) {
            SCOPED_TRACE(command[0]);
            const Result r = Run(command);
            if (c.accepted) {
                EXPECT_EQ(r.code, 0) << r.err;
            } else {
                ExpectOneLineError(r, 2, std::string("--mask: '") + c.mask + "'");
            }
        }
    }
    const json dump = Json({"dump", Folder()});
    for (const json& record : dump["records"]) {
        EXPECT_LE(record["mask"].get<unsigned>(), 0x3FFu);
    }
    for (const json& type : dump["types"]) {
        EXPECT_LE(type["mask"].get<unsigned>(), 0x3FFu);
    }
    EXPECT_NE(ReadText(DbFile()), before);
}

TEST_F(Cli, EditChangesWhatItNamesAndTakesSecretsFromStdin) {
    MakeDemo();
    ASSERT_EQ(Run({"type", "add", Folder(), "Vault", "--mask", "0x1"}).code, 0);
    const Result edited = Run({"edit", Folder(), "intranet", "--field", "2=bob", "--field-stdin",
                               "3", "--note", "two\nlines", "--category", "personal"},
                              "s3cret \\n\r\nrest");
    ASSERT_EQ(edited.code, 0) << edited.err;
    json r = Json({"show", Folder(), "intranet", "--json", "--reveal"})["record"];
    EXPECT_EQ(r["fields"][1], "bob");
    EXPECT_EQ(r["fields"][2], "s3cret \\n");  // the line as typed, without its line break
    EXPECT_EQ(r["fields"][3], "https://intranet.example.com");
    EXPECT_EQ(r["note"], "two\r\nlines");  // stored with CR LF, as every note
    EXPECT_EQ(r["category"], "Personal");
    EXPECT_EQ(r["mask"], 4);

    // A new type adds its secret fields to those the record had; --mask decides alone.
    ASSERT_EQ(Run({"edit", Folder(), "intranet", "--type", "vault"}).code, 0);
    EXPECT_EQ(Json({"show", Folder(), "intranet", "--json"})["record"]["mask"], 5);
    ASSERT_EQ(Run({"edit", Folder(), "intranet", "--mask", "0"}).code, 0);
    EXPECT_EQ(Json({"show", Folder(), "intranet", "--json"})["record"]["fields"][2], "s3cret \\n");

    // Prompted fields, and add takes both sources too.
    lkmdb::Environment terminal;
    terminal.askPassword = [](const std::string& prompt) {
        return std::optional<std::string>(prompt == "Field 2: " ? "typed" : "?");
    };
    ASSERT_EQ(Run({"edit", Folder(), "intranet", "--ask-field", "2"}, "", terminal).code, 0);
    ASSERT_EQ(
        Run({"add", Folder(), "--type", "Vault", "--field", "Safe", "--field-stdin", "2"}, "1234\n")
            .code,
        0);
    EXPECT_EQ(Run({"show", Folder(), "safe", "--field", "2"}).out, "1234\n");
    EXPECT_EQ(Run({"show", Folder(), "intranet", "--field", "2"}).out, "typed\n");

    // Every refusal leaves the file as it was.
    const std::string before = ReadText(DbFile());
    const std::vector<std::tuple<std::vector<std::string>, std::string, int, std::string>> bad{
        {{"edit", Folder(), "intranet"}, "", 2, "nothing to change"},
        {{"edit", Folder(), "intranet", "--field", "11=x"}, "", 2, "'11=x' is not N=TEXT"},
        {{"edit", Folder(), "intranet", "--field", "x"}, "", 2, "is not N=TEXT"},
        {{"edit", Folder(), "intranet", "--field", "2=a", "--field-stdin", "2"},
         "b\n",
         2,
         "field 2 is given twice"},
        {{"edit", Folder(), "intranet", "--field-stdin", "1"}, "", 2, "no line on standard input"},
        {{"edit", Folder(), "intranet", "--ask-field", "1"}, "", 2, "no terminal"},
        {{"edit", Folder(), "intranet", "--type", "Nope"}, "", 1, "no record type named"},
        {{"edit", Folder(), "nobody", "--note", "x"}, "", 1, "no record nobody"},
        {{"add", Folder(), "--type", "T", "--field", "a", "--field-stdin", "1"},
         "b\n",
         2,
         "field 1 is given twice"},
    };
    for (const auto& [args, input, code, part] : bad) {
        SCOPED_TRACE(part);
        ExpectOneLineError(Run(args, input), code, part);
    }
    EXPECT_EQ(ReadText(DbFile()), before);
}

TEST_F(Cli, TheEnvironmentNamesTheDatabaseWhenPathIsLeftOut) {
    MakeDemo();
    lkmdb::Environment env;
    env.database = Folder();
    EXPECT_EQ(Run({"show", "mail", "--field", "2"}, "", env).out, "alex.morgan@example.org\n");
    EXPECT_EQ(Run({"type", "ls", "--json"}, "", env).code, 0);
    // A PATH given wins; without either, PATH is missing as before.
    ExpectOneLineError(Run({"ls", dir.File("none")}, "", env), 1, "no such database file");
    ExpectOneLineError(Run({"ls"}), 2, "PATH is required");
    // Commands that take no PATH are not given one.
    ExpectOneLineError(Run({"init"}, "", env), 2, "FOLDER is required");
}

TEST_F(Cli, EachCommandsHelpListsThePasswordOptionsAndOnlyTheProgramsTheRest) {
    const Result top = Run({"--help"});
    EXPECT_NE(top.out.find("Exit codes:"), std::string::npos);
    for (const std::vector<std::string>& args : {std::vector<std::string>{"ls", "--help"},
                                                 {"type", "add", "--help"},
                                                 {"edit", "--help"}}) {
        const Result r = Run(args);
        EXPECT_EQ(r.code, 0);
        EXPECT_NE(r.out.find("--password-file FILE"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("LKMDB_DATABASE"), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find("Exit codes:"), std::string::npos) << r.out;
    }
}

TEST_F(Cli, GenerateDrawsPasswordsAndPassphrases) {
    const std::string allowed =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789!#$%&()*+,-./"
        ":;<=>?@[]^_{|}~";
    const Result first = Run({"generate"});
    ASSERT_EQ(first.code, 0) << first.err;
    ASSERT_EQ(first.out.size(), 21u);
    EXPECT_EQ(first.out.find_first_not_of(allowed), 20u) << first.out;  // the line feed
    EXPECT_NE(Run({"generate"}).out, first.out);
    EXPECT_EQ(Run({"generate", "--length", "64"}).out.size(), 65u);

    const std::string phrase = Run({"generate", "--words", "6"}).out;
    EXPECT_EQ(std::count(phrase.begin(), phrase.end(), '-'), 5) << phrase;
    EXPECT_EQ(phrase.find_first_not_of("abcdefghijklmnopqrstuvwxyz-\n"), std::string::npos);

    ExpectOneLineError(Run({"generate", "--length", "3"}), 2, "--length");
    ExpectOneLineError(Run({"generate", "--words", "4", "--length", "9"}), 2, "excludes");
}

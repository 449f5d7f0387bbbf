// lkmdb's password decision, init with a password, passwd and what info tells, in-process.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "cli/Lkmdb.h"
#include "cli/Password.h"
#include "lkmdb7/lkmdb7.h"
#include "tests/support/ItemTesting.h"
#include "tests/support/LkmdbRun.h"
#include "tests/support/TestPaths.h"

using namespace LKMDB7;
using namespace lkmdb7_test;
using nlohmann::json;
namespace fs = std::filesystem;

namespace {

using Result = LkmdbResult;

class Passwords : public ::testing::Test {
  protected:
    ProcessStateGuard guard;
    TempDir dir;

    Result Run(std::vector<std::string> args, const std::string& input = "",
               const lkmdb::Environment& env = {}) {
        return RunLkmdbCommand(std::move(args), input, env);
    }

    std::string PasswordFile(const std::string& password) {
        const std::string path = dir.File("pw-" + std::to_string(files_++));
        std::ofstream(path, std::ios::binary) << password << '\n';
        return path;
    }

    // The demo database in folder, plain, or with a crib of ours (cheap to check) and its
    // records enciphered under password.
    std::string Demo(const std::string& name, const char* password) {
        const std::string folder = dir.File(name);
        const Result made = Run({"demo", folder});
        EXPECT_EQ(made.code, 0) << made.err;
        if (password != nullptr) {
            SetRecordCipherPassword(nullptr);
            CDatabaseObj7 db;
            EXPECT_EQ(db.Load("", CString(folder)), 0);
            db.ChangePassword(password, 4);
            EXPECT_EQ(db.Save(true), 0);
            SetRecordCipherPassword(nullptr);
        }
        return folder;
    }

    static fs::path File(const std::string& folder) { return fs::path(folder) / kDatabaseFileName; }

    static void SetCrib(const std::string& folder, unsigned char fill) {
        std::fstream f(File(folder), std::ios::binary | std::ios::in | std::ios::out);
        const std::string crib(kCribSize, static_cast<char>(fill));
        f.write(crib.data(), static_cast<std::streamsize>(crib.size()));
    }

    json Json(std::vector<std::string> args, const std::string& input = "") {
        const Result r = Run(std::move(args), input);
        EXPECT_EQ(r.code, 0) << r.err;
        return r.code == 0 ? json::parse(r.out) : json();
    }

    // Stopped for the password: exit 3, one line naming it, nothing on standard output.
    static void ExpectStopped(const Result& r, const std::string& message) {
        EXPECT_EQ(r.code, 3) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
        EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
    }

    int files_ = 0;
};

// Every command that reads or writes, with the database as {db} and a record as {id}.
std::vector<std::vector<std::string>> CommandsThatOpen(const std::string& db, DWORD id,
                                                       const std::string& csv) {
    const std::string record = std::to_string(id);
    return {{"info", db},
            {"ls", db},
            {"show", db, record},
            {"search", db, "Mail"},
            {"export", db},
            {"dump", db},
            {"verify", db},
            {"backup", db},
            {"add", db, "--type", "T"},
            {"rm", db, record},
            {"purge", db},
            {"import", db, csv},
            {"upgrade", db},
            {"passwd", db, "--new-password-stdin"}};
}

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

}  // namespace

TEST_F(Passwords, EveryCommandThatOpensADatabaseChecksThePasswordFirst) {
    const std::string right = PasswordFile("right");
    const std::string wrong = PasswordFile("Right");
    const std::string locked = Demo("locked", "right");
    const std::string plain = Demo("plain", nullptr);
    const std::string csv = dir.File("rows.csv");
    std::ofstream(csv) << "type,category,field1,field2,field3,field4,field5,field6,field7,"
                          "field8,field9,field10,note\nT,,a,,,,,,,,,,\n";
    const auto firstId = [&](const std::string& db, const std::vector<std::string>& pw) {
        return Json(With({"ls", db, "--json"}, pw))["records"].at(0)["recordId"].get<DWORD>();
    };
    const DWORD lockedId = firstId(locked, {"--password-file", right});
    const DWORD plainId = firstId(plain, {});

    const auto lockedCommands = CommandsThatOpen(locked, lockedId, csv);
    const auto plainCommands = CommandsThatOpen(plain, plainId, csv);
    for (std::size_t i = 0; i < lockedCommands.size(); ++i) {
        const std::vector<std::string>& command = lockedCommands[i];
        SCOPED_TRACE(command[0]);
        const std::string lockedBefore = ReadText(File(locked));
        const std::string plainBefore = ReadText(File(plain));
        const bool passwd = command[0] == "passwd";
        const std::string newPassword = passwd ? "right\n" : "";

        ExpectStopped(Run(With(command, {"--password-file", wrong}), newPassword),
                      "wrong password");
        if (command[0] == "info") {
            // Nothing info shows is enciphered.
            EXPECT_EQ(Run(command).code, 0);
        } else {
            ExpectStopped(Run(command, newPassword), "this database needs a password");
        }
        ExpectStopped(Run(With(plainCommands[i], {"--password-file", right}), newPassword),
                      "this database has no password");
        EXPECT_EQ(ReadText(File(locked)), lockedBefore);
        EXPECT_EQ(ReadText(File(plain)), plainBefore);

        const Result ok = Run(With(command, {"--password-file", right}), newPassword);
        EXPECT_EQ(ok.code, 0) << ok.err;
        const Result plainOk = Run(plainCommands[i], passwd ? "first\n" : "");
        EXPECT_EQ(plainOk.code, 0) << plainOk.err;
        if (passwd) {
            // The plain one has a password now; take it away again for the commands after.
            ASSERT_EQ(Run({"passwd", plain, "--password-stdin", "--remove"}, "first\n").code, 0);
        }
    }
}

TEST_F(Passwords, WithoutACribOfOursTheRecordsDecide) {
    const std::string right = PasswordFile("right");
    const std::string wrong = PasswordFile("wrong");
    for (const unsigned char fill :
         {static_cast<unsigned char>(0x00), static_cast<unsigned char>(0xAB)}) {
        SCOPED_TRACE(fill == 0 ? "no crib (as lkmdb wrote before)" : "another program's crib");
        const std::string db = Demo(fill == 0 ? "zero" : "foreign", "right");
        SetCrib(db, fill);
        EXPECT_EQ(Run({"ls", db, "--password-file", right}).code, 0);
        ExpectStopped(Run({"ls", db, "--password-file", wrong}), "wrong password");
        ExpectStopped(Run({"ls", db}), "this database needs a password");
        const json info = Json({"info", db, "--json"});
        EXPECT_EQ(info["crib"], fill == 0 ? "none" : "foreign");
        EXPECT_EQ(info["recordsEnciphered"], true);
    }

    // One damaged record among eleven: the password is right, and a command that writes refuses
    // to save what it cannot read.
    const std::string db = Demo("damaged", "right");
    SetCrib(db, 0);
    const json categories = Json({"dump", db, "--password-file", right})["categories"];
    std::string bytes = ReadText(File(db));
    std::string id;
    const std::string hex = categories.at(0)["uniqueId"];
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        id += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    const std::size_t at = bytes.find(id);  // bytes 2-9 of the category's packed record
    ASSERT_NE(at, std::string::npos);
    bytes[at - 2 + 22] = static_cast<char>(bytes[at - 2 + 22] ^ 0x40);
    std::ofstream(File(db), std::ios::binary) << bytes;
    EXPECT_EQ(Run({"ls", db, "--password-file", right}).code, 0);
    EXPECT_EQ(Run({"verify", db, "--password-file", right}).code, 1);
    const Result add = Run({"add", db, "--type", "T", "--password-file", right});
    EXPECT_EQ(add.code, 2) << add.err;
    EXPECT_NE(add.err.find("fail their checksum"), std::string::npos) << add.err;
    EXPECT_EQ(ReadText(File(db)), bytes);
}

TEST_F(Passwords, ACribCopiedFromAnotherFileDoesNotShowItsRecords) {
    // The crib takes "right", but the records are enciphered under another password.
    const std::string mine = Demo("mine", "right");
    const std::string other = Demo("other", "other");
    std::string bytes = ReadText(File(other));
    bytes.replace(0, kCribSize, ReadText(File(mine)).substr(0, kCribSize));
    std::ofstream(File(other), std::ios::binary | std::ios::trunc) << bytes;
    const std::string right = PasswordFile("right");
    const std::string record =
        std::to_string(Json({"ls", mine, "--json", "--password-file", right})["records"]
                           .at(0)["recordId"]
                           .get<DWORD>());
    for (const std::vector<std::string>& command :
         std::vector<std::vector<std::string>>{{"ls", other},
                                               {"show", other, record, "--reveal"},
                                               {"export", other},
                                               {"dump", other},
                                               {"search", other, "a"},
                                               {"add", other, "--type", "T"}}) {
        SCOPED_TRACE(command[0]);
        const Result r = Run(With(command, {"--password-file", right}));
        EXPECT_EQ(r.code, 2) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("fail their checksum under it"), std::string::npos) << r.err;
    }
    EXPECT_EQ(ReadText(File(other)), bytes);
}

TEST_F(Passwords, APlainDatabaseWithADamagedRecordIsDamagedNotLocked) {
    // Two items (a record and its type), no crib, no password: one damaged.
    const std::string db = dir.File("two");
    ASSERT_EQ(Run({"init", db}).code, 0);
    ASSERT_EQ(Run({"add", db, "--type", "T", "--field", "only"}).code, 0);
    std::string bytes = ReadText(File(db));
    const std::size_t at = bytes.find("only");
    ASSERT_NE(at, std::string::npos);
    bytes[at] = 'X';
    std::ofstream(File(db), std::ios::binary | std::ios::trunc) << bytes;

    const Result verify = Run({"verify", db});
    EXPECT_EQ(verify.code, 1) << verify.err;
    EXPECT_NE(verify.out.find("checksum"), std::string::npos) << verify.out;
    EXPECT_EQ(Run({"ls", db}).code, 0);
    const Result add = Run({"add", db, "--type", "T"});
    EXPECT_EQ(add.code, 2) << add.err;
    EXPECT_NE(add.err.find("fail their checksum"), std::string::npos) << add.err;
    // A password for it is still one too many.
    ExpectStopped(Run({"ls", db, "--password-file", PasswordFile("typo")}),
                  "this database has no password");
    EXPECT_EQ(ReadText(File(db)), bytes);
}

TEST_F(Passwords, AnEmptyDatabaseWithoutACribTakesNoPassword) {
    const std::string db = dir.File("empty");
    ASSERT_EQ(Run({"init", db}).code, 0);
    ExpectStopped(Run({"add", db, "--type", "T", "--password-file", PasswordFile("typo")}),
                  "this database has no password");
    // Another program's crib: lkmdb cannot check it, and says so.
    SetCrib(db, 0x5A);
    ExpectStopped(Run({"ls", db}), "this database needs a password");
    const Result taken = Run({"ls", db, "--password-file", PasswordFile("any")});
    EXPECT_EQ(taken.code, 0);
    EXPECT_NE(taken.err.find("the password cannot be checked"), std::string::npos) << taken.err;
}

TEST_F(Passwords, InitWithAPasswordWritesTheCribAndAsksTwice) {
    const std::string db = dir.File("new");
    const std::string pw = PasswordFile("s\u00E9same");
    const Result made = Run({"init", db, "--password-file", pw});
    ASSERT_EQ(made.code, 0) << made.err;
    EXPECT_NE(made.out.find("with a password"), std::string::npos);
    unsigned char crib[kCribSize];
    CDatabaseObj7::ReadCrib(CString(File(db).string()), crib);
    EXPECT_TRUE(CribMatches(crib, "s\xE9same"));  // the Windows-1252 bytes
    EXPECT_EQ(crib[5], kCribDefaultCost);
    EXPECT_EQ(Json({"info", db, "--json", "--password-file", pw})["crib"], "ours");
    ASSERT_EQ(Run({"add", db, "--type", "T", "--field", "x", "--password-file", pw}).code, 0);
    EXPECT_EQ(Json({"info", db, "--json"})["recordsEnciphered"], true);

    std::vector<std::string> typed;
    std::vector<std::string> answers;
    lkmdb::Environment terminal;
    terminal.askPassword = [&](const std::string& prompt) -> std::optional<std::string> {
        typed.push_back(prompt);
        const std::string answer = answers.at(typed.size() - 1);
        return answer;
    };
    answers = {"one", "one"};
    ASSERT_EQ(Run({"init", dir.File("asked"), "--ask-password"}, "", terminal).code, 0);
    EXPECT_EQ(typed, (std::vector<std::string>{"Password: ", "Repeat the password: "}));
    typed.clear();
    answers = {"one", "onf"};
    const Result differ = Run({"init", dir.File("typo"), "--ask-password"}, "", terminal);
    EXPECT_EQ(differ.code, 2);
    EXPECT_NE(differ.err.find("differ"), std::string::npos) << differ.err;
    EXPECT_FALSE(fs::exists(dir.File("typo")));
}

TEST_F(Passwords, PasswdChangesAddsAndRemovesKeepingEveryItem) {
    const std::string db = Demo("db", nullptr);
    json expected = Json({"dump", db});
    const auto same = [&](const std::vector<std::string>& pw, const char* crib) {
        json now = Json(With({"dump", db}, pw));
        json then = expected;
        for (const char* key : {"crib", "hasPassword"}) {
            now.erase(key);
            then.erase(key);
        }
        EXPECT_EQ(now, then);
        EXPECT_EQ(Json(With({"info", db, "--json"}, pw))["crib"], crib);
    };

    // A first password, from standard input.
    Result r = Run({"passwd", db, "--new-password-stdin"}, "first\n");
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_NE(r.out.find("password set"), std::string::npos) << r.out;
    same({"--password-file", PasswordFile("first")}, "ours");
    ExpectStopped(Run({"ls", db}), "this database needs a password");
    EXPECT_EQ(Json({"info", db, "--json"})["recordsEnciphered"], true);

    // Changed: both from standard input, the current one first.
    r = Run({"passwd", db, "--password-stdin", "--new-password-stdin"}, "first\nsecond\n");
    ASSERT_EQ(r.code, 0) << r.err;
    same({"--password-file", PasswordFile("second")}, "ours");
    ExpectStopped(Run({"ls", db, "--password-file", PasswordFile("first")}), "wrong password");

    // Refused: a wrong current password, two new ones that differ, a plain database's --remove.
    const std::string before = ReadText(File(db));
    ExpectStopped(Run({"passwd", db, "--password-file", PasswordFile("first"), "--remove"}),
                  "wrong password");
    lkmdb::Environment terminal;
    int asked = 0;
    terminal.askPassword = [&](const std::string&) -> std::optional<std::string> {
        return ++asked == 1 ? "third" : "thirds";
    };
    r = Run({"passwd", db, "--password-file", PasswordFile("second"), "--ask-new-password"}, "",
            terminal);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("differ"), std::string::npos) << r.err;
    EXPECT_EQ(ReadText(File(db)), before);
    EXPECT_EQ(Run({"passwd", db, "--password-file", PasswordFile("second")}).code, 2);

    // Removed.
    r = Run({"passwd", db, "--password-file", PasswordFile("second"), "--remove"});
    ASSERT_EQ(r.code, 0) << r.err;
    same({}, "none");
    EXPECT_EQ(Json({"info", db, "--json"})["recordsEnciphered"], false);
    ExpectStopped(Run({"passwd", db, "--remove"}), "this database has no password");
}

TEST_F(Passwords, InfoTellsTheTruth) {
    const std::string plain = Demo("plain", nullptr);
    const Result text = Run({"info", plain});
    EXPECT_NE(text.out.find("password:     no\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("enciphered:   no\n"), std::string::npos) << text.out;
    const std::string locked = Demo("locked", "pw");
    const Result lockedText = Run({"info", locked});
    EXPECT_EQ(lockedText.code, 0);
    EXPECT_NE(lockedText.out.find("password:     yes (checked by its crib)"), std::string::npos)
        << lockedText.out;
    EXPECT_NE(lockedText.out.find("enciphered:   yes"), std::string::npos) << lockedText.out;
    const std::string empty = dir.File("empty");
    ASSERT_EQ(Run({"init", empty}).code, 0);
    EXPECT_EQ(Json({"info", empty, "--json"})["recordsEnciphered"], nullptr);
}

TEST_F(Passwords, HelpDocumentsPasswdAndExitCodeThree) {
    const Result help = Run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("passwd"), std::string::npos);
    EXPECT_NE(help.out.find("3  wrong password"), std::string::npos) << help.out;
}

#include <filesystem>
#include <ostream>
#include <random>

#include "cli/Listing.h"
#include "cli/LockWait.h"
#include "cli/Terminal.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

namespace {

struct DemoType {
    const char* name;
    std::vector<const char*> labels;
    WORD mask;
};

struct DemoRecord {
    const char* type;
    const char* category;
    std::vector<const char*> fields;
    const char* note;
    WORD mask;
};

const std::vector<DemoType>& DemoTypes() {
    static const std::vector<DemoType> types{
        {"Web Login", {"Site", "User name", "Password", "Address"}, 1u << 2},
        {"Bank Card", {"Bank", "Card number", "Expires", "PIN"}, 1u << 3},
        {"Wi-Fi", {"Network", "Password"}, 1u << 1},
    };
    return types;
}

const std::vector<DemoRecord>& DemoRecords() {
    static const std::vector<DemoRecord> records{
        {"Web Login",
         "Personal",
         {"Mail", "alex.morgan@example.org", "correct-horse-42", "https://mail.example.org"},
         "",
         1u << 2},
        {"Web Login",
         "Work",
         {"Intranet", "amorgan", "Tr0ub4dor&3", "https://intranet.example.com"},
         "",
         1u << 2},
        {"Bank Card",
         "Personal",
         {"Café Crème Bank", "4111 1111 1111 1111", "09/28", "4821"},
         "Lost card: call +1 555 0100\nThe card is kept in the blue wallet",
         1u << 3},
        {"Wi-Fi", "Home", {"Home network", "garden-lamp-1988"}, "", 1u << 1},
        {"Unfiled", "", {"Front door code", "2580"}, "", 1u << 1},
    };
    return records;
}

std::string NewDemoFolder() {
    namespace fs = std::filesystem;
    std::random_device seed;
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const fs::path folder = base / ("lkmdb-demo-" + std::to_string(seed() % 1000000));
        std::error_code ec;
        if (fs::create_directory(folder, ec)) {
            return PathToUtf8(folder.string());
        }
    }
    throw CliError(kExitFailure, "no demo folder could be made in " + base.string());
}

}  // namespace

void AddDemo(CLI::App& app, Commands& commands) {
    auto folder = std::make_shared<std::string>();
    CLI::App* sub = commands.Add(app, "demo",
                                 "Create a database with a few records in FOLDER (by "
                                 "default a new temporary folder) and show it");
    sub->add_option("FOLDER", *folder, "made if missing; must not hold a database");
    commands.Bind(sub, [folder, &ctx = commands.Ctx()] {
        const std::string where = folder->empty() ? NewDemoFolder() : *folder;
        DatabaseFile file;
        {
            CDatabaseObj7 db;
            SayWhenWaitingForLock(ctx, db);
            file = CreateDatabase(db, where, ctx.passwordBytes);
            for (const DemoRecord& r : DemoRecords()) {
                CStringArray texts;
                texts.Add(Stored(r.type, "type"));
                for (const char* field : r.fields) {
                    texts.Add(Stored(field, "field"));
                }
                texts.SetSize(11);
                texts.Add(Stored(r.note, "note"));
                CStringArray labels;
                db.AddRecordWithoutWaiting(texts, r.mask, labels, Stored(r.category, "category"),
                                           255, false);
            }
            // The types were made on the way with plain labels; give them their own.
            for (const DemoType& t : DemoTypes()) {
                CTypeItem* type = db.GetTypesList().GetTypeByName(t.name);
                for (std::size_t i = 0; i < t.labels.size(); ++i) {
                    type->SetLabel(static_cast<int>(i), t.labels[i]);
                }
                type->SetMaskBits(t.mask);
            }
            const LONG result = db.Save(true);
            if (result != 0) {
                throw CliError(kExitFailure, file.shown + ": not written: " +
                                                 Reason(db, file.native, file.shown));
            }
        }
        // What a later run sees: the file read back by a fresh object.
        OpenDatabase db(ctx, where, OpenDatabase::Mode::kRead);
        ctx.out << "A demo database with " << DemoRecords().size() << " records:\n\n";
        PrintInfo(ctx, db.Db(), db.File(), db.FileVersion(), false);
        ctx.out << '\n';
        PrintRecordList(ctx, db.Db(), RecordsInView(db.Db(), CUID_ALL, CUID_ALL), false);
        ctx.out << "\nTry: lkmdb show \"" << where << "\" "
                << RecordsInView(db.Db(), CUID_ALL, CUID_ALL).front()->GetRecordID()
                << " --reveal\n";
        return kExitOk;
    });
}

}  // namespace lkmdb

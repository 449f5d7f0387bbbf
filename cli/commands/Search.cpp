#include "cli/Listing.h"
#include "cli/commands/Commands.h"

namespace lkmdb {

using namespace LKMDB7;

void AddSearch(CLI::App& app, Commands& commands) {
    struct Options {
        std::string path;
        std::string text;
        bool matchCase = false;
        bool wholeWord = false;
        std::string fields;
        bool json = false;
    };
    auto opts = std::make_shared<Options>();
    CLI::App* sub = commands.Add(app, "search", "The records whose fields or note contain TEXT");
    sub->add_option("PATH", opts->path, "database file or folder")->required();
    sub->add_option("TEXT", opts->text, "text to look for")->required();
    sub->add_flag("--match-case", opts->matchCase, "letter case must match");
    sub->add_flag("--whole-word", opts->wholeWord,
                  "only between spaces, tabs, line breaks or the ends of a text");
    sub->add_option("--fields", opts->fields,
                    "fields to search, bit 0 for field 1 (default 0x3FF: all); the note always");
    sub->add_flag("--json", opts->json, "print JSON");
    commands.Bind(sub, [opts, &ctx = commands.Ctx()] {
        const CString needle = Stored(opts->text, "TEXT");
        const int bits = opts->fields.empty()
                             ? 0x3FF
                             : static_cast<int>(ParseBits(opts->fields, 0xFFFF, "--fields"));
        OpenDatabase db(ctx, opts->path, OpenDatabase::Mode::kRead);
        std::vector<CRecord*> found;
        for (CRecord* record : RecordsInView(db.Db(), CUID_ALL, CUID_ALL)) {
            if (record->ContainsText(needle, opts->matchCase, opts->wholeWord, bits)) {
                found.push_back(record);
            }
        }
        PrintRecordList(ctx, db.Db(), found, opts->json);
        return found.empty() ? kExitNotFound : kExitOk;
    });
}

}  // namespace lkmdb

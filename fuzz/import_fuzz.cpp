// Feeds arbitrary bytes to lkmdb import's readers (CSV of every recognised kind, Bitwarden JSON,
// KeePassXC XML) and into an empty database in memory: an input is refused with a message naming
// it, or its records are checked one by one, the bad ones noted; nothing else may happen.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "cli/Csv.h"
#include "cli/import/Importer.h"
#include "cli/import/Readers.h"
#include "fuzz/Outcome.h"
#include "lkmdb7/lkmdb7.h"

namespace {

// Small limits, so that the fuzzer reaches them.
constexpr lkmdb::CsvLimits kLimits{256, 32};

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string kind = lkmdb::SniffImport(text);
    if (kind == "xml" && !lkmdb::KeePassXmlAvailable()) {
        lkmdb7_fuzz::Unread();
        return 0;
    }
    LKMDB7::CDatabaseObj7 db;
    lkmdb::Importer importer(db, "in", {});
    try {
        if (kind == "csv") {
            std::istringstream in(text);
            lkmdb::CsvReader reader(in, "in", kLimits, lkmdb::CsvReader::kDetect);
            lkmdb::ReadCsvImport(reader, "", "", importer);
        } else if (kind == "json") {
            lkmdb::ReadBitwardenJson(text, importer);
        } else {
            lkmdb::ReadKeePassXml(text, importer);
        }
    } catch (const lkmdb::CliError& e) {
        Check(std::string(e.what()).rfind("in: ", 0) == 0);
        lkmdb7_fuzz::Refuse();
        return 0;
    }
    std::size_t records = 0;
    for ([[maybe_unused]] const LKMDB7::CRecord& r : LKMDB7::Items(db.GetRecordList())) {
        ++records;
    }
    Check(records == importer.Added());
    if (importer.Failed()) {
        lkmdb7_fuzz::Refuse();
    }
    return 0;
}

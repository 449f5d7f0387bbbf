// salvage_database DAMAGED_FILE FOLDER [PASSWORD]
//
// Reads what still reads of a damaged database file into a new database in FOLDER and saves it,
// then tells what came back of each list and which bytes were skipped. The damaged file is only
// read. Exit status: 0 nothing lost, 1 something lost (FOLDER holds the rest), 2 nothing read or
// not saved.
#include <cstdio>
#include <exception>

#include "lkmdb7/lkmdb7.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "usage: salvage_database DAMAGED_FILE FOLDER [PASSWORD]\n");
        return 2;
    }
    const char* damaged = argv[1];
    const char* folder = argv[2];
    if (LKMDB7::CDatabaseObj7::DatabaseExists(folder)) {
        std::fprintf(stderr, "%s: holds a database already\n", folder);
        return 2;
    }
    try {
        // An enciphered item passes its checksum only under the file's password: with a wrong
        // one nothing comes back, rather than garbage.
        LKMDB7::SetRecordCipherPassword(argc == 4 ? argv[3] : nullptr);
        LKMDB7::SalvageResult result = LKMDB7::SalvageDatabaseFile(damaged);
        for (const LKMDB7::SkippedBytes& skipped : result.skipped) {
            std::printf("skipped bytes %zu-%zu: %s\n", skipped.begin, skipped.end,
                        skipped.reason.c_str());
        }
        const char* const lists[LKMDB7::kListCount] = {"records", "types", "categories"};
        for (std::size_t i = 0; i < LKMDB7::kListCount; ++i) {
            std::printf("%s: %zu back", lists[i], result.recovered[i]);
            if (result.declared[i]) {
                std::printf(" of %lu", static_cast<unsigned long>(*result.declared[i]));
            }
            std::printf("\n");
        }
        if (result.Recovered() == 0) {
            std::fprintf(stderr, "%s: nothing reads; nothing written\n", damaged);
            return 2;
        }

        // The new database takes the header (its password check included) and every item.
        LKMDB7::CDatabaseObj7 db;
        if (db.Load(LKMDB7::kDatabaseFileName, folder) != 0) {
            std::fprintf(stderr, "%s\n", db.GetLastErrorMessage());
            return 2;
        }
        result.InstallInto(db);
        if (db.Save(true) != 0) {
            std::fprintf(stderr, "%s\n", db.GetLastErrorMessage());
            return 2;
        }
        return result.Complete() ? 0 : 1;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
}

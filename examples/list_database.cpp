// list_database FOLDER PASSWORD
//
// Opens the enciphered database in FOLDER and prints one line per record: its ID, its type and
// its fields, secret ones included.
#include <cstdio>
#include <exception>

#include "lkmdb7/lkmdb7.h"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: list_database FOLDER PASSWORD\n");
        return 2;
    }
    const char* folder = argv[1];
    const char* password = argv[2];
    if (!LKMDB7::CDatabaseObj7::DatabaseExists(folder)) {
        std::fprintf(stderr, "%s: no database\n", folder);
        return 1;
    }
    try {
        // The crib at the start of the file tells a wrong password before any record is read.
        unsigned char crib[LKMDB7::kCribSize];
        LKMDB7::CDatabaseObj7::ReadCrib(LKMDB7::JoinPath(folder, LKMDB7::kDatabaseFileName), crib);
        if (!LKMDB7::CribMatches(crib, password)) {
            std::fprintf(stderr, "%s: wrong password\n", folder);
            return 1;
        }
        LKMDB7::SetRecordCipherPassword(password);
        LKMDB7::CDatabaseObj7 db;
        if (db.Load(LKMDB7::kDatabaseFileName, folder) != 0) {
            std::fprintf(stderr, "%s: the database cannot be opened\n", folder);
            return 2;
        }
        // A crib copied from another file takes a password that does not decipher these
        // records: they must agree before anything is shown.
        LKMDB7::PasswordEvidence evidence =
            LKMDB7::GatherPasswordEvidence(db, static_cast<unsigned>(db.GetVersion()), true, false);
        evidence.cribMatches = true;  // checked above
        if (LKMDB7::JudgePassword(evidence) != LKMDB7::PasswordVerdict::kRight) {
            std::fprintf(stderr, "%s: the password check and the records disagree\n", folder);
            return 2;
        }
        for (const LKMDB7::CRecord& record : LKMDB7::Items(db.GetRecordList())) {
            if (record.IsDeleted()) {
                continue;
            }
            const LKMDB7::CString type = db.GetTypesList().GetTypeName(record.GetTypeID());
            std::printf("%lu  %s", static_cast<unsigned long>(record.GetRecordID()),
                        type.IsEmpty() ? "Unfiled" : type.GetString());
            for (int i = 0; i < 10; ++i) {
                const LKMDB7::CString field = record.GetField(i, false);
                if (!field.IsEmpty()) {
                    std::printf("  %s", field.GetString());
                }
            }
            std::printf("\n");
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
}

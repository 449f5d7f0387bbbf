// add_record FOLDER PASSWORD TYPE FIELD...
//
// Adds one record to the database in FOLDER (made, with PASSWORD, when there is none yet) and
// saves it. Texts are stored as given: Windows-1252 bytes.
#include <cstdio>
#include <exception>

#include "lkmdb7/lkmdb7.h"

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: add_record FOLDER PASSWORD TYPE FIELD...\n");
        return 2;
    }
    const char* folder = argv[1];
    const char* password = argv[2];
    try {
        // The password keys the record cipher for everything loaded and saved from now on.
        LKMDB7::SetRecordCipherPassword(password);
        LKMDB7::CDatabaseObj7 db;
        if (db.Load(LKMDB7::kDatabaseFileName, folder) != 0) {
            std::fprintf(stderr, "%s: the database cannot be opened\n", folder);
            return 2;
        }
        unsigned char crib[LKMDB7::kCribSize];
        db.GetCrib(crib);
        if (LKMDB7::GetCribKind(crib) == LKMDB7::CribKind::kNone && db.GetRecordList().IsEmpty()) {
            LKMDB7::MakeCrib(password, crib);  // a new database: it keeps the password's crib
            db.SetCrib(crib);
        } else if (!LKMDB7::CribMatches(crib, password)) {
            std::fprintf(stderr, "%s: wrong password\n", folder);
            return 1;
        }

        // Entry 0 names the record type (made when missing), entries 1-10 are the fields.
        LKMDB7::CStringArray texts;
        texts.Add(argv[3]);
        for (int i = 4; i < argc && i < 14; ++i) {
            texts.Add(argv[i]);
        }
        LKMDB7::CStringArray labels;
        const LKMDB7::CRecord* record =
            db.AddRecordWithoutWaiting(texts, 0, labels, "", 255, false);
        if (db.Save(true) != 0) {
            std::fprintf(stderr, "%s: not saved\n", folder);
            return 2;
        }
        std::printf("record %lu added\n", static_cast<unsigned long>(record->GetRecordID()));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
}

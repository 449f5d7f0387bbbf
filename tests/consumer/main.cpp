// Builds against the installed package only: proves the headers and the library install whole,
// and that a library exception reaches the program.
#include <cstdio>

#include "lkmdb7/lkmdb7.h"

int main() {
    LKMDB7::CDatabaseObj7 db;
    auto* record = new LKMDB7::CRecord;
    record->SetField(0, "installed");
    db.GetRecordList().AddItem(record);
    if (db.GetRecordList().GetCount(CUID_ALL, CUID_ALL) != 1) {
        return 1;
    }
    try {
        CStringArray empty;
        (void)empty.GetAt(0);
    } catch (const CInvalidArgException& e) {
        std::printf("installed: %s\n", e.what());
        return 0;
    }
    return 1;
}

// Builds against the installed package only: proves the headers and the library install whole,
// that the headers and the library carry one version, and that a library exception reaches the
// program.
#include <cstdio>
#include <cstring>

#include "lkmdb7/lkmdb7.h"

int main() {
    const LKMDB7::LibraryVersion version = LKMDB7::GetLibraryVersion();
    if (std::strcmp(version.text, LKMDB7_VERSION_STRING) != 0 ||
        version.major != LKMDB7_VERSION_MAJOR || version.minor != LKMDB7_VERSION_MINOR ||
        version.patch != LKMDB7_VERSION_PATCH) {
        std::printf("headers %s, library %s\n", LKMDB7_VERSION_STRING, version.text);
        return 1;
    }
    LKMDB7::CDatabaseObj7 db;
    auto* record = new LKMDB7::CRecord;
    record->SetField(0, "installed");
    db.GetRecordList().AddItem(record);
    if (db.GetRecordList().GetCount(LKMDB7::CUID_ALL, LKMDB7::CUID_ALL) != 1) {
        return 1;
    }
    try {
        LKMDB7::CStringArray empty;
        (void)empty.GetAt(0);
    } catch (const LKMDB7::CInvalidArgException& e) {
        std::printf("installed: %s\n", e.what());
        return 0;
    }
    return 1;
}

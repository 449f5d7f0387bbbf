// Loads a whole database from arbitrary bytes. The first byte picks whether the record cipher is
// set (bit 0); the rest is the file. Whatever the bytes, the load ends in the database or in an
// archive exception; a database that loads must save, and its save must read back as the same
// database.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/DatabaseDump.h"
#include "fuzz/Outcome.h"
#include "lkmdb7/lkmdb7.h"

using namespace LKMDB7;

namespace {

[[noreturn]] void Fail(const std::string& what) {
    std::fprintf(stderr, "%s\n", what.c_str());
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        lkmdb7_fuzz::Refuse();
        return 0;
    }
    LKMDB7::SetRecordCipherPassword((data[0] & 1) != 0 ? "fuzz password" : nullptr);
    std::string before;
    std::vector<BYTE> saved;
    {
        LKMDB7::CDatabaseObj7 db;
        try {
            lkmdb7_fuzz::LoadFromBytes(db, data + 1, size - 1);
        } catch (const CArchiveException&) {
            lkmdb7_fuzz::Refuse();
            return 0;
        } catch (const COleException&) {
            lkmdb7_fuzz::Refuse();  // a 16-bit text whose byte count overflows 32 bits
            return 0;
        }
        before = lkmdb7_fuzz::Dump(db);
        saved = lkmdb7_fuzz::SaveToBytes(db);
    }
    LKMDB7::CDatabaseObj7 again;
    try {
        lkmdb7_fuzz::LoadFromBytes(again, saved.data(), saved.size());
    } catch (const CException& e) {
        Fail(std::string("the saved database does not load: ") + e.what());
    }
    const std::string after = lkmdb7_fuzz::Dump(again);
    if (after != before) {
        Fail("save and reload changed the database\n" +
             lkmdb7_fuzz::FirstDifference(before, after));
    }
    return 0;
}

// One load in a fresh process, as an application does at start: the engine's load of a database,
// or SQLite's select of the same rows, then (for the engine) the first listing of a view by index
// and one walk of the list. bench/report.py starts this program once per measurement and reads
// the one JSON line it prints. It keeps the system allocator (no counting operator new), so the
// peak resident size is what a host would see.
//
//   lkmdb7_cold prepare FOLDER N   writes FOLDER/dbN/<database file> and FOLDER/sqlN.db
//   lkmdb7_cold engine FILE N      loads FILE, lists it by index, walks it
//   lkmdb7_cold sqlite FILE N      selects every row of FILE into objects
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <ctime>
#include <exception>
#include <filesystem>
#include <fstream>
#include <string>

#include "DatabaseGenerator.h"
#include "SqliteStore.h"
#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/items/Record.h"

namespace {

using Clock = std::chrono::steady_clock;

// Wall-clock time and the process's CPU time: on a shared machine a process waits for a core
// for much of its wall time, so the CPU time is the steadier measure.
struct Stamp {
    Clock::time_point wall = Clock::now();
    std::clock_t cpu = std::clock();
};

double WallMs(const Stamp& from, const Stamp& to) {
    return std::chrono::duration<double, std::milli>(to.wall - from.wall).count();
}

double CpuMs(const Stamp& from, const Stamp& to) {
    return 1000.0 * static_cast<double>(to.cpu - from.cpu) / CLOCKS_PER_SEC;
}

// A field of /proc/self/status in bytes (VmHWM: the peak resident size; VmRSS: the current one),
// or -1 where the system does not report it.
long long StatusBytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field + ":", 0) == 0) {
            return std::stoll(line.substr(field.size() + 1)) * 1024;  // reported in kB
        }
    }
    return -1;
}

int Prepare(const std::string& folder, std::size_t n) {
    const std::string dbFolder = folder + "/db" + std::to_string(n);
    std::filesystem::create_directories(dbFolder);
    bench::WriteDatabase(dbFolder + "/" + LKMDB7::kDatabaseFileName, n);
    const std::string sql = folder + "/sql" + std::to_string(n) + ".db";
    bench::SqliteInsert(sql, bench::SqlRows(bench::GenerateRows(n)));
    return 0;
}

int Engine(const std::string& file, std::size_t n) {
    using namespace LKMDB7;
    bench::UseBenchCipher();
    const long long startBytes = StatusBytes("VmRSS");
    CDatabaseObj7 db;
    const Stamp loadStart;
    if (db.Load(file.c_str()) != 0) {
        std::fprintf(stderr, "cannot load %s\n", file.c_str());
        return 1;
    }
    const Stamp loadEnd;
    const long long loadPeak = StatusBytes("VmHWM");

    auto& list = db.GetRecordList();
    const Stamp listStart;
    const int count = list.GetCount(CUID_ALL, CUID_ALL);
    std::size_t seen = 0;
    for (int i = 0; i < count; ++i) {
        seen += list.GetRecord(CUID_ALL, CUID_ALL, i) != nullptr ? 1U : 0U;
    }
    const Stamp listEnd;

    std::size_t walked = 0;
    for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
        const auto* record = static_cast<const CRecord*>(list.GetNext(pos));
        walked += record->IsInView(CUID_ALL, CUID_ALL) ? 1U : 0U;
    }
    const Stamp walkEnd;
    if (seen != n || walked != n) {
        std::fprintf(stderr, "%s: %zu records listed, %zu walked, %zu expected\n", file.c_str(),
                     seen, walked, n);
        return 1;
    }
    std::printf(
        "{\"load_ms\": %.4f, \"load_cpu_ms\": %.4f, \"list_ms\": %.4f, "
        "\"list_cpu_ms\": %.4f, \"walk_ms\": %.4f, \"walk_cpu_ms\": %.4f, "
        "\"start_rss\": %lld, \"peak_rss\": %lld}\n",
        WallMs(loadStart, loadEnd), CpuMs(loadStart, loadEnd), WallMs(listStart, listEnd),
        CpuMs(listStart, listEnd), WallMs(listEnd, walkEnd), CpuMs(listEnd, walkEnd), startBytes,
        loadPeak);
    return 0;
}

int Sqlite(const std::string& file, std::size_t n) {
    const long long startBytes = StatusBytes("VmRSS");
    const Stamp start;
    const auto rows = bench::SqliteSelect(file, n);
    const Stamp end;
    if (rows.size() != n) {
        std::fprintf(stderr, "%s: %zu rows, %zu expected\n", file.c_str(), rows.size(), n);
        return 1;
    }
    std::printf(
        "{\"load_ms\": %.4f, \"load_cpu_ms\": %.4f, \"start_rss\": %lld, "
        "\"peak_rss\": %lld}\n",
        WallMs(start, end), CpuMs(start, end), startBytes, StatusBytes("VmHWM"));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s prepare FOLDER N | engine FILE N | sqlite FILE N\n",
                     argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    try {
        const auto n = static_cast<std::size_t>(std::stoull(argv[3]));
        if (mode == "prepare") {
            return Prepare(argv[2], n);
        }
        if (mode == "engine") {
            return Engine(argv[2], n);
        }
        if (mode == "sqlite") {
            return Sqlite(argv[2], n);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "unknown mode %s\n", mode.c_str());
    return 2;
}

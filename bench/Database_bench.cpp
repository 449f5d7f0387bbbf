// Load, save, listing, import and memory of whole databases, each beside its yardstick in the
// same run: SQLite doing the same work, and reading the same file from the page cache.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "CountingAllocator.h"
#include "DatabaseGenerator.h"
#include "SqliteStore.h"
#include "cli/Lkmdb.h"
#include "lkmdb7/database/DatabaseObj7.h"
#include "lkmdb7/items/Record.h"
#include "lkmdb7/lkmdb7.h"

using namespace LKMDB7;

namespace {

using LKMDB7::CDatabaseObj7;

void PerRecord(benchmark::State& state, std::size_t n) {
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(n));
}

void LoadOrThrow(CDatabaseObj7& db, const std::string& path) {
    if (db.Load(path.c_str()) != 0) {
        throw std::runtime_error("cannot load " + path);
    }
}

// --- load ---

void BM_Load(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::string& path = bench::DatabaseFile(n);
    bench::UseBenchCipher();
    CDatabaseObj7 db;
    for (auto _ : state) {
        state.PauseTiming();
        db.Reset(true);
        state.ResumeTiming();
        LoadOrThrow(db, path);
    }
    if (static_cast<std::size_t>(db.GetRecordList().GetCount()) != n) {
        state.SkipWithError("wrong record count");
    }
    PerRecord(state, n);
}

void BM_PageCacheRead(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::string& path = bench::DatabaseFile(n);
    std::vector<char> bytes(bench::FileSize(path));
    for (auto _ : state) {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        const std::size_t got = std::fread(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        benchmark::DoNotOptimize(got);
        benchmark::ClobberMemory();
    }
    PerRecord(state, n);
}

// --- SQLite, the store a user would pick instead ---

std::string SqliteFile(std::size_t n) {
    return bench::ScratchFolder() + "/sql" + std::to_string(n) + ".db";
}

void BM_SqliteInsert(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto rows = bench::SqlRows(bench::GenerateRows(n));
    const std::string path = SqliteFile(n) + ".insert";
    for (auto _ : state) {
        bench::SqliteInsert(path, rows);
    }
    PerRecord(state, n);
}

void BM_SqliteSelect(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::string path = SqliteFile(n);
    if (!std::filesystem::exists(path)) {
        bench::SqliteInsert(path, bench::SqlRows(bench::GenerateRows(n)));
    }
    std::vector<bench::SqlRecord> rows;
    for (auto _ : state) {
        state.PauseTiming();
        rows = {};
        state.ResumeTiming();
        rows = bench::SqliteSelect(path, n);
    }
    if (rows.size() != n) {
        state.SkipWithError("wrong row count");
    }
    PerRecord(state, n);
}

// --- save ---

// A copy of the generated database in a folder of its own, loaded; saving rewrites that copy.
std::string SaveCopy(std::size_t n, const char* tag) {
    const std::string folder = bench::ScratchFolder() + "/" + tag + std::to_string(n);
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/" + LKMDB7::kDatabaseFileName;
    std::filesystem::copy_file(bench::DatabaseFile(n), path,
                               std::filesystem::copy_options::overwrite_existing);
    return path;
}

// What a host does between two saves: one record changed. Unchanged records keep their
// enciphered blocks, so this is the save that a session repeats.
void BM_Save(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    bench::UseBenchCipher();
    CDatabaseObj7 db;
    LoadOrThrow(db, SaveCopy(n, "save"));
    db.Save(true);  // the first save after a load enciphers every record: BM_SaveAfterLoad
    auto* edited = static_cast<LKMDB7::CRecord*>(db.GetRecordList().GetHead());
    for (auto _ : state) {
        edited->SetViewCount(edited->GetViewCount() + 1);
        if (db.Save(true) != 0) {
            state.SkipWithError("save failed");
            break;
        }
    }
    PerRecord(state, n);
}

// The first save after a load, which packs and enciphers every record afresh.
void BM_SaveAfterLoad(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    bench::UseBenchCipher();
    const std::string path = SaveCopy(n, "firstsave");
    CDatabaseObj7 db;
    for (auto _ : state) {
        state.PauseTiming();
        db.Reset(true);
        LoadOrThrow(db, path);
        state.ResumeTiming();
        if (db.Save(true) != 0) {
            state.SkipWithError("save failed");
            break;
        }
    }
    PerRecord(state, n);
}

// --- listing a view by index ---

void InvalidateViews(CDatabaseObj7& db) {
    // Any change to a record counts, even one that writes the value it had.
    auto* first = static_cast<LKMDB7::CRecord*>(db.GetRecordList().GetHead());
    first->SetCategoryID(first->GetCategoryID());
}

// What a host's list view does: the count, then every record by its index. Every pass starts
// after a change, so every pass pays for rebuilding whatever the list caches.
void BM_ListViewByIndex(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    bench::UseBenchCipher();
    CDatabaseObj7 db;
    LoadOrThrow(db, bench::DatabaseFile(n));
    auto& list = db.GetRecordList();
    for (auto _ : state) {
        InvalidateViews(db);
        const int count = list.GetCount(CUID_ALL, CUID_ALL);
        for (int i = 0; i < count; ++i) {
            benchmark::DoNotOptimize(list.GetRecord(CUID_ALL, CUID_ALL, i));
        }
    }
    PerRecord(state, n);
}

// One walk of the list testing every record against the view: the floor for any listing.
void BM_ListWalk(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    bench::UseBenchCipher();
    CDatabaseObj7 db;
    LoadOrThrow(db, bench::DatabaseFile(n));
    const auto& list = db.GetRecordList();
    for (auto _ : state) {
        for (POSITION pos = list.GetHeadPosition(); pos != nullptr;) {
            const auto* record = static_cast<const LKMDB7::CRecord*>(list.GetNext(pos));
            if (record->IsInView(CUID_ALL, CUID_ALL)) {
                benchmark::DoNotOptimize(record);
            }
        }
    }
    PerRecord(state, n);
}

// --- import ---

// `lkmdb import` of the rows as CSV into a new, empty database, run in-process: reading and
// checking the file, one record per row, then one save.
void BM_Import(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::string folder = bench::ScratchFolder() + "/import" + std::to_string(n);
    const std::string database = folder + "/db";
    const std::string csv = folder + "/rows.csv";
    const std::string password = folder + "/password";
    std::filesystem::create_directories(folder);
    bench::WriteCsv(csv, bench::GenerateRows(n));
    std::ofstream(password) << bench::kPassword << "\n";
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(database);
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        if (lkmdb::RunLkmdb({"init", database, "--password-file", password}, in, out, err) !=
            lkmdb::kExitOk) {
            state.SkipWithError(("init failed: " + err.str()).c_str());
            break;
        }
        state.ResumeTiming();
        if (lkmdb::RunLkmdb({"import", database, csv, "--password-file", password}, in, out, err) !=
            lkmdb::kExitOk) {
            state.SkipWithError(("import failed: " + err.str()).c_str());
            break;
        }
    }
    PerRecord(state, n);
}

// `lkmdb import` of rows that each name a type and a category of their own: every row adds one
// of each, which must cost no walk of those lists.
void BM_ImportDistinctTypes(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::string folder = bench::ScratchFolder() + "/distinct" + std::to_string(n);
    const std::string database = folder + "/db";
    const std::string csv = folder + "/rows.csv";
    std::filesystem::create_directories(folder);
    {
        std::ofstream rows(csv, std::ios::binary);
        rows << "type,category,field1,field2,field3,field4,field5,field6,field7,field8,field9,"
                "field10,note\r\n";
        for (std::size_t i = 0; i < n; ++i) {
            rows << "Type " << i << ",Category " << i << ",user" << i << ",,,,,,,,,,\r\n";
        }
    }
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(database);
        std::istringstream in;
        std::ostringstream out;
        std::ostringstream err;
        if (lkmdb::RunLkmdb({"init", database}, in, out, err) != lkmdb::kExitOk) {
            state.SkipWithError(("init failed: " + err.str()).c_str());
            break;
        }
        state.ResumeTiming();
        if (lkmdb::RunLkmdb({"import", database, csv}, in, out, err) != lkmdb::kExitOk) {
            state.SkipWithError(("import failed: " + err.str()).c_str());
            break;
        }
    }
    PerRecord(state, n);
}

// --- recover ---

// `recover`'s scan over bytes crafted so that every 16th offset holds a record tag claiming a
// 4 KiB packed record with plausible flags: the time per byte must not grow with the size.
void BM_RecoverCrafted(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::string folder = bench::ScratchFolder() + "/crafted";
    std::filesystem::create_directories(folder);
    std::istringstream in;
    std::ostringstream out;
    std::ostringstream err;
    std::filesystem::remove_all(folder + "/demo");
    if (lkmdb::RunLkmdb({"demo", folder + "/demo"}, in, out, err) != lkmdb::kExitOk) {
        state.SkipWithError(("demo failed: " + err.str()).c_str());
        return;
    }
    std::ifstream file(folder + "/demo/LockmeraDatabase.lkb", std::ios::binary);
    std::vector<BYTE> bytes((std::istreambuf_iterator<char>(file)), {});
    const std::string tag = "CRecord";
    const auto at = std::search(bytes.begin(), bytes.end(), tag.begin(), tag.end());
    bytes.resize(static_cast<std::size_t>(at - bytes.begin()) + tag.size() + 100);
    const std::array<BYTE, 16> period = {0x01, 0x80, 0x00, 0x10};
    while (bytes.size() < n) {
        bytes.insert(bytes.end(), period.begin(), period.end());
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(LKMDB7::SalvageDatabase(bytes, "crafted"));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}

// --- memory ---

// Peak heap during a load over the file's size. One load per run: the figure does not vary.
void BM_LoadPeakMemory(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const std::string& path = bench::DatabaseFile(n);
    bench::UseBenchCipher();
    double peak = 0;
    double resident = 0;
    double blocks = 0;
    for (auto _ : state) {
        auto db = std::make_unique<CDatabaseObj7>();
        const std::size_t before = bench::HeapInUse();
        const std::size_t blocksBefore = bench::HeapBlocksInUse();
        bench::ResetHeapPeak();
        LoadOrThrow(*db, path);
        peak = static_cast<double>(bench::HeapPeak() - before);
        resident = static_cast<double>(bench::HeapInUse() - before);
        blocks = static_cast<double>(bench::HeapBlocksInUse() - blocksBefore);
    }
    const auto file = static_cast<double>(bench::FileSize(path));
    state.counters["file_bytes"] = file;
    state.counters["peak_bytes"] = peak;
    state.counters["kept_bytes"] = resident;
    state.counters["peak_over_file"] = peak / file;
    // What one loaded record keeps: heap bytes and blocks, beside its bytes in the file.
    state.counters["kept_bytes_per_record"] = resident / static_cast<double>(n);
    state.counters["kept_blocks_per_record"] = blocks / static_cast<double>(n);
    state.counters["file_bytes_per_record"] = file / static_cast<double>(n);
}

constexpr std::int64_t kSizes[] = {1000, 10000, 100000};

void Sizes(benchmark::internal::Benchmark* b) {
    for (const auto n : kSizes) {
        b->Arg(n);
    }
    b->Unit(benchmark::kMillisecond);
}

}  // namespace

// Real time: saving and inserting wait for the disk, and loads are compared with them.
BENCHMARK(BM_Load)->Apply(Sizes)->UseRealTime();
BENCHMARK(BM_PageCacheRead)->Apply(Sizes)->UseRealTime();
BENCHMARK(BM_SqliteSelect)->Apply(Sizes)->UseRealTime();
BENCHMARK(BM_Save)->Apply(Sizes)->UseRealTime();
BENCHMARK(BM_SaveAfterLoad)->Apply(Sizes)->UseRealTime();
BENCHMARK(BM_SqliteInsert)->Apply(Sizes)->UseRealTime();
BENCHMARK(BM_ListViewByIndex)->Apply(Sizes)->UseRealTime();
BENCHMARK(BM_ListWalk)->Apply(Sizes)->UseRealTime();
BENCHMARK(BM_Import)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImportDistinctTypes)
    ->Arg(1000)
    ->Arg(10000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RecoverCrafted)->Arg(256 << 10)->Arg(1 << 20)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadPeakMemory)->Apply(Sizes)->Iterations(1);

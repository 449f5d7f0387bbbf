// Packing and unpacking of one typical record, and the cost of the setters that keep the list
// indexes honest.
#include <benchmark/benchmark.h>

#include <vector>

#include "DatabaseGenerator.h"
#include "lkmdb7/items/Record.h"

using namespace LKMDB7;

namespace {

using LKMDB7::CRecord;

// A record as the generator makes them, type and category identifiers included.
void Fill(CRecord& record) {
    const bench::Row row = bench::GenerateRows(1).front();
    CStringArray values;
    for (const auto& field : row.fields) {
        values.Add(field.c_str());
    }
    record.SetFields(values);
    CStringArray labels;
    for (const auto& label : row.labels) {
        labels.Add(label.c_str());
    }
    record.SetFieldLabels(labels);
    record.SetNote(row.note.c_str());
    CUID id;
    id.Generate();
    record.SetTypeID(id);
    record.SetCategoryID(id);
}

void BM_PackRecord(benchmark::State& state) {
    bench::UseBenchCipher();
    CRecord record;
    Fill(record);
    for (auto _ : state) {
        record.PackPalmRecord(true);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(record.PalmRecord().size()));
}

// Installing the enciphered bytes is part of every pass: deciphering works in place.
void BM_UnpackRecord(benchmark::State& state) {
    bench::UseBenchCipher();
    CRecord source;
    Fill(source);
    source.PackPalmRecord(true);
    std::vector<char> bytes(source.PalmRecord().begin(), source.PalmRecord().end());
    CRecord record;
    for (auto _ : state) {
        record.SetPalmRecord(bytes.data(), static_cast<int>(bytes.size()));
        record.PuffPalmRecord(true);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) *
                            static_cast<std::int64_t>(bytes.size()));
}

// A setter that lists index by (it also counts the change) beside one that they do not.
void BM_SetCategoryID(benchmark::State& state) {
    CRecord record;
    CUID id;
    id.Generate();
    for (auto _ : state) {
        record.SetCategoryID(id);
        benchmark::ClobberMemory();
    }
}

void BM_SetViewCount(benchmark::State& state) {
    CRecord record;
    int n = 0;
    for (auto _ : state) {
        record.SetViewCount(++n);
        benchmark::ClobberMemory();
    }
}

}  // namespace

BENCHMARK(BM_PackRecord);
BENCHMARK(BM_UnpackRecord);
BENCHMARK(BM_SetCategoryID);
BENCHMARK(BM_SetViewCount);

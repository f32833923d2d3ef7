// Conversion throughput against the floor that keeping every record in the file as soon as it
// is formatted sets: the output opened once, one write per record, flushed and closed. Every
// benchmark converts the same generated work file; ratios are to the floor.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "bench_fixture.h"
#include "polling/core/output_writer.h"

namespace {

using tallivo::bench::Fixture;

void BM_Floor_WritePerRecord(benchmark::State& state) {
    Fixture& fixture = Fixture::get();
    double seconds = 0;
    for (auto _ : state) seconds += fixture.writeFloor(1);
    tallivo::bench::Report(state, seconds, true);
}

void BM_OpenAppendClosePerRecord(benchmark::State& state) {
    Fixture& fixture = Fixture::get();
    double seconds = 0;
    for (auto _ : state) seconds += fixture.openPerRecord(1);
    tallivo::bench::Report(state, seconds, false);
}

void BM_RecordLayoutOnly(benchmark::State& state) {
    Fixture& fixture = Fixture::get();
    std::string line;
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        for (const std::string& input : fixture.lines) {
            line = input;
            tallivo::FormatRecord(line, fixture.layout);
            benchmark::DoNotOptimize(line.data());
        }
        seconds += tallivo::bench::SecondsSince(start);
    }
    tallivo::bench::Report(state, seconds, false);
}

void BM_WholeConversion_NoWindow(benchmark::State& state) {
    Fixture& fixture = Fixture::get();
    double seconds = 0;
    for (auto _ : state) {
        std::filesystem::remove(fixture.outputFile);
        const auto start = std::chrono::steady_clock::now();
        const auto result = tallivo::WriteRecords(fixture.workFile.string(), fixture.outputFile.string(),
                                                  fixture.layout, nullptr);
        seconds += tallivo::bench::SecondsSince(start);
        if (result.recordsWritten != fixture.records) state.SkipWithError("records were not all written");
    }
    tallivo::bench::Report(state, seconds, false);
}

}  // namespace

BENCHMARK(BM_Floor_WritePerRecord)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_OpenAppendClosePerRecord)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RecordLayoutOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_WholeConversion_NoWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

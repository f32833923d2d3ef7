// Conversion throughput against the floor that keeping every record in the file as soon as it
// is formatted sets: the output opened once, one write per record, flushed and closed. Every
// benchmark converts the same generated work file; ratios are to the floor.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>

#include "bench_fixture.h"
#include "common/sha256.h"
#include "polling/core/delivery_history.h"
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

// "Skip records delivered before": the one pass over the delivery against a full history of
// the same output, every entry's length a line boundary of it, so that each is digested; one
// entry, half the delivery, matches.
void BM_RepeatCheck_History200(benchmark::State& state) {
    Fixture& fixture = Fixture::get();
    const std::string output = fixture.outputFile.string();
    std::vector<tallivo::DeliveryEntry> history;
    std::uint64_t offset = 0;
    tallivo::Sha256 prefix;
    const std::size_t step = std::max<std::size_t>(1, fixture.lines.size() / tallivo::kHistoryEntries);
    for (std::size_t i = 0; i < fixture.lines.size() && history.size() < tallivo::kHistoryEntries; ++i) {
        const std::string line = fixture.lines[i] + "\r\n";
        offset += line.size();
        prefix.add(line);
        if ((i + 1) % step != 0) continue;
        const bool half = history.size() == tallivo::kHistoryEntries / 2;
        history.push_back(
            {"20260302-091502", offset, i + 1, half ? prefix.hexDigest() : std::string(64, '0'), output});
    }
    double seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const tallivo::RepeatCheck check = tallivo::CheckRepeat(fixture.workFile.string(), history, output);
        seconds += tallivo::bench::SecondsSince(start);
        if (!check.repeated) state.SkipWithError("the half that repeats was not found");
    }
    tallivo::bench::Report(state, seconds, false);
}

}  // namespace

BENCHMARK(BM_Floor_WritePerRecord)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_OpenAppendClosePerRecord)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RecordLayoutOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_WholeConversion_NoWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RepeatCheck_History200)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

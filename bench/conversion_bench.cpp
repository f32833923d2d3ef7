// Conversion throughput against the floor the durability rule sets: one open-append-write-close
// per record. Every benchmark converts the same generated work file; ratios are to the floor.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "bench_data.h"
#include "common/record_layout.h"
#include "polling/core/output_writer.h"
#include "polling/core/work_file_reader.h"

namespace {

namespace fs = std::filesystem;

struct Fixture {
    fs::path folder;
    fs::path workFile;
    fs::path outputFile;
    std::size_t records = 0;
    std::vector<std::string> lines;
    tallivo::RecordLayout layout;
    double floorSecondsPerRecord = 0;

    static Fixture& get() {
        static Fixture fixture;
        return fixture;
    }

private:
    Fixture() {
        folder = fs::temp_directory_path() / ("tallivo-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        records = tallivo::bench::RecordCount(1'000'000);
        workFile = tallivo::bench::MakeWorkFile(folder, records);
        outputFile = folder / "OUTPUT.TXT";
        layout = tallivo::MakeRecordLayout(tallivo::bench::BenchSettings()).layout;
        tallivo::WorkFileReader reader(workFile.string());
        lines.reserve(records);
        for (std::string line; reader.nextLine(line);) lines.push_back(line);
    }
    ~Fixture() { fs::remove_all(folder); }
};

void Report(benchmark::State& state, bool isFloor) {
    Fixture& fixture = Fixture::get();
    const double records = static_cast<double>(fixture.records) * static_cast<double>(state.iterations());
    state.counters["records_per_second"] = benchmark::Counter(records, benchmark::Counter::kIsRate);
    state.counters["records"] = static_cast<double>(fixture.records);
    if (isFloor) return;
    if (fixture.floorSecondsPerRecord > 0) {
        // Seconds per record, divided by the floor's, as a rate of the inverse.
        state.counters["ratio_to_floor"] = benchmark::Counter(
            records * fixture.floorSecondsPerRecord, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    }
}

void BM_Floor_AppendPerRecord(benchmark::State& state) {
    Fixture& fixture = Fixture::get();
    std::vector<std::string> records = fixture.lines;
    for (std::string& record : records) {
        tallivo::FormatRecord(record, fixture.layout);
        record += "\r\n";
    }
    const std::string output = fixture.outputFile.string();
    double seconds = 0;
    for (auto _ : state) {
        fs::remove(fixture.outputFile);
        const auto start = std::chrono::steady_clock::now();
        for (const std::string& record : records) {
            const int fd = ::open(output.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
            benchmark::DoNotOptimize(::write(fd, record.data(), record.size()));
            ::close(fd);
        }
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    fixture.floorSecondsPerRecord =
        seconds / (static_cast<double>(fixture.records) * static_cast<double>(state.iterations()));
    Report(state, true);
}

void BM_RecordLayoutOnly(benchmark::State& state) {
    Fixture& fixture = Fixture::get();
    std::string line;
    for (auto _ : state) {
        for (const std::string& input : fixture.lines) {
            line = input;
            tallivo::FormatRecord(line, fixture.layout);
            benchmark::DoNotOptimize(line.data());
        }
    }
    Report(state, false);
}

void BM_WholeConversion_NoWindow(benchmark::State& state) {
    Fixture& fixture = Fixture::get();
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(fixture.outputFile);
        state.ResumeTiming();
        const auto result = tallivo::WriteRecords(fixture.workFile.string(), fixture.outputFile.string(),
                                                  fixture.layout, nullptr);
        if (result.recordsWritten != fixture.records) state.SkipWithError("records were not all written");
    }
    Report(state, false);
}

}  // namespace

BENCHMARK(BM_Floor_AppendPerRecord)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RecordLayoutOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_WholeConversion_NoWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

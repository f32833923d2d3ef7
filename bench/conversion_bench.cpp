// Conversion throughput against the floor the durability rule sets: one open-append-write-close
// per record. Every benchmark converts the same generated work file; ratios are to the floor.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
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

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// `seconds` is the time measured inside the benchmark's loop, setup excluded.
void Report(benchmark::State& state, double seconds, bool isFloor) {
    Fixture& fixture = Fixture::get();
    const double records = static_cast<double>(fixture.records) * static_cast<double>(state.iterations());
    const double secondsPerRecord = seconds / records;
    state.counters["records"] = static_cast<double>(fixture.records);
    state.counters["records_per_s"] = 1.0 / secondsPerRecord;
    if (isFloor) {
        fixture.floorSecondsPerRecord = secondsPerRecord;
    } else if (fixture.floorSecondsPerRecord > 0) {
        state.counters["x_floor"] = secondsPerRecord / fixture.floorSecondsPerRecord;
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
        seconds += SecondsSince(start);
    }
    Report(state, seconds, true);
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
        seconds += SecondsSince(start);
    }
    Report(state, seconds, false);
}

void BM_WholeConversion_NoWindow(benchmark::State& state) {
    Fixture& fixture = Fixture::get();
    double seconds = 0;
    for (auto _ : state) {
        fs::remove(fixture.outputFile);
        const auto start = std::chrono::steady_clock::now();
        const auto result = tallivo::WriteRecords(fixture.workFile.string(), fixture.outputFile.string(),
                                                  fixture.layout, nullptr);
        seconds += SecondsSince(start);
        if (result.recordsWritten != fixture.records) state.SkipWithError("records were not all written");
    }
    Report(state, seconds, false);
}

}  // namespace

BENCHMARK(BM_Floor_AppendPerRecord)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_RecordLayoutOnly)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK(BM_WholeConversion_NoWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_MAIN();

#include "bench_fixture.h"

#include <fcntl.h>
#include <unistd.h>

#include "bench_data.h"
#include "polling/core/work_file_reader.h"

namespace tallivo::bench {

namespace fs = std::filesystem;

Fixture& Fixture::get() {
    static Fixture fixture;
    return fixture;
}

Fixture::Fixture() {
    folder = fs::temp_directory_path() / ("tallivo-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    records = RecordCount(1'000'000);
    workFile = MakeWorkFile(folder, records);
    outputFile = folder / "OUTPUT.TXT";
    layout = MakeRecordLayout(BenchSettings()).layout;
    WorkFileReader reader(workFile.string());
    lines.reserve(records);
    for (std::string line; reader.nextLine(line);) lines.push_back(line);
    formattedRecords = lines;
    for (std::string& record : formattedRecords) {
        FormatRecord(record, layout);
        record += "\r\n";
    }
}

Fixture::~Fixture() {
    fs::remove_all(folder);
}

double Fixture::writeFloor(std::size_t iterations) {
    const std::string output = outputFile.string();
    double seconds = 0;
    for (std::size_t i = 0; i < iterations; ++i) {
        fs::remove(outputFile);
        const auto start = std::chrono::steady_clock::now();
        const int fd = ::open(output.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
        for (const std::string& record : formattedRecords)
            benchmark::DoNotOptimize(::write(fd, record.data(), record.size()));
        ::fsync(fd);
        ::close(fd);
        seconds += SecondsSince(start);
    }
    floorSecondsPerRecord_ = seconds / (static_cast<double>(records) * static_cast<double>(iterations));
    return seconds;
}

double Fixture::openPerRecord(std::size_t iterations) {
    const std::string output = outputFile.string();
    double seconds = 0;
    for (std::size_t i = 0; i < iterations; ++i) {
        fs::remove(outputFile);
        const auto start = std::chrono::steady_clock::now();
        for (const std::string& record : formattedRecords) {
            const int fd = ::open(output.c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
            benchmark::DoNotOptimize(::write(fd, record.data(), record.size()));
            ::close(fd);
        }
        seconds += SecondsSince(start);
    }
    return seconds;
}

double Fixture::floorSecondsPerRecord() {
    if (floorSecondsPerRecord_ == 0) writeFloor(1);
    return floorSecondsPerRecord_;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Report(benchmark::State& state, double seconds, bool isFloor) {
    Fixture& fixture = Fixture::get();
    const double records = static_cast<double>(fixture.records) * static_cast<double>(state.iterations());
    const double secondsPerRecord = seconds / records;
    state.counters["records"] = static_cast<double>(fixture.records);
    state.counters["records_per_s"] = 1.0 / secondsPerRecord;
    if (!isFloor) state.counters["x_floor"] = secondsPerRecord / fixture.floorSecondsPerRecord();
}

}  // namespace tallivo::bench

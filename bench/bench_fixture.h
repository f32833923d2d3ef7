#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

#include "common/record_layout.h"

namespace tallivo::bench {

// One generated work file shared by every benchmark of a run, so their figures compare.
struct Fixture {
    std::filesystem::path folder;
    std::filesystem::path workFile;
    std::filesystem::path outputFile;
    std::size_t records = 0;
    std::vector<std::string> lines;
    std::vector<std::string> formattedRecords;  // with CR LF, for the floor
    RecordLayout layout;

    static Fixture& get();

    // The floor: the output opened once, one write per record (every record in the file as
    // soon as it is formatted), flushed to the disk and closed. Seconds in all.
    double writeFloor(std::size_t iterations);
    double floorSecondsPerRecord();
    // For comparison: an open, append and close per record, as an on-access scanner sees
    // every one of them. Seconds in all.
    double openPerRecord(std::size_t iterations);

  private:
    Fixture();
    ~Fixture();
    double floorSecondsPerRecord_ = 0;
};

double SecondsSince(std::chrono::steady_clock::time_point start);

// `seconds` is the time measured inside the benchmark's loop, setup excluded.
void Report(benchmark::State& state, double seconds, bool isFloor);

}  // namespace tallivo::bench

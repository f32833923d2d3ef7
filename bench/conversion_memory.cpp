// Peak resident memory of one conversion of N generated records: `conversion_memory N`.
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "bench_data.h"
#include "common/record_layout.h"
#include "polling/core/output_writer.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const std::size_t records = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100'000;
    const fs::path folder = fs::temp_directory_path() / ("tallivo-memory-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const fs::path work = tallivo::bench::MakeWorkFile(folder, records);
    const auto layout = tallivo::MakeRecordLayout(tallivo::bench::BenchSettings()).layout;
    const auto result =
        tallivo::WriteRecords(work.string(), (folder / "OUTPUT.TXT").string(), layout, nullptr);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    std::printf("records %zu written %llu peak_rss_kib %ld\n", records,
                static_cast<unsigned long long>(result.recordsWritten), usage.ru_maxrss);
    fs::remove_all(folder);
    return result.recordsWritten == records ? 0 : 1;
}

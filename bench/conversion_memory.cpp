// Peak resident memory and time of one conversion of N generated records, with the delivery's
// workbook too when asked, of K articles scanned over and over or N different ones:
// `conversion_memory N [--spreadsheet [K]]`.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "bench_data.h"
#include "common/record_layout.h"
#include "polling/core/output_writer.h"
#include "polling/core/workbook_writer.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    const std::size_t records = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 100'000;
    const fs::path folder = fs::temp_directory_path() / ("tallivo-memory-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    const std::size_t articles = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 0;
    const fs::path work = tallivo::bench::MakeWorkFile(folder, records, articles);
    const auto layout = tallivo::MakeRecordLayout(tallivo::bench::BenchSettings()).layout;
    const bool spreadsheet = argc > 2 && std::strcmp(argv[2], "--spreadsheet") == 0;
    const auto start = std::chrono::steady_clock::now();
    const auto result =
        tallivo::WriteRecords(work.string(), (folder / "OUTPUT.TXT").string(), layout, nullptr);
    const auto written = std::chrono::steady_clock::now();
    bool workbookOk = true;
    if (spreadsheet) {
        tallivo::WorkbookJob job;
        job.workPath = work.string();
        job.workbookPath = (folder / "OUTPUT_20261208-091502.xlsx").string();
        job.layout = layout;
        job.stamp = "20261208-091502";
        workbookOk = tallivo::WriteWorkbook(job).ok();
    }
    const auto end = std::chrono::steady_clock::now();
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](auto d) { return std::chrono::duration_cast<std::chrono::milliseconds>(d).count(); };
    std::printf("records %zu written %llu text_ms %lld workbook_ms %lld peak_rss_kib %ld\n", records,
                static_cast<unsigned long long>(result.recordsWritten),
                static_cast<long long>(ms(written - start)),
                static_cast<long long>(spreadsheet ? ms(end - written) : 0), usage.ru_maxrss);
    fs::remove_all(folder);
    return result.recordsWritten == records && workbookOk ? 0 : 1;
}

// The whole conversion with the real status window following it, on whatever Qt platform
// the run uses (offscreen by default, a real X server when QT_QPA_PLATFORM=xcb).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QEventLoop>
#include <chrono>
#include <filesystem>

#include "bench_data.h"
#include "bench_fixture.h"
#include "common/config_file.h"
#include "common/config_places.h"
#include "polling/core/disk.h"
#include "polling/record_follower.h"
#include "polling/scarico_s.h"

namespace {

void BM_WholeConversion_StatusWindow(benchmark::State& state) {
    auto& fixture = tallivo::bench::Fixture::get();
    tallivo::ScaricoS window;
    window.show();
    QApplication::processEvents();
    const bool stop = false;
    const auto size = std::filesystem::file_size(fixture.workFile);
    double seconds = 0;
    for (auto _ : state) {
        std::filesystem::remove(fixture.outputFile);
        const auto start = std::chrono::steady_clock::now();
        tallivo::RecordFollower follower(window, tallivo::SystemSteadyClock(), tallivo::Timings{}, size,
                                         stop);
        const auto result = tallivo::WriteRecords(fixture.workFile.string(), fixture.outputFile.string(),
                                                  fixture.layout, &follower);
        follower.finish();
        QApplication::processEvents();
        seconds += tallivo::bench::SecondsSince(start);
        if (result.recordsWritten != fixture.records) state.SkipWithError("records were not all written");
        state.counters["screen_updates"] = static_cast<double>(follower.screenUpdates());
    }
    tallivo::bench::Report(state, seconds, false);
}

// Switches the flushes off, to tell their cost apart.
struct WithoutFlushes : tallivo::DiskWatcher {
    void changed(const tallivo::DiskChange&) override {}
    bool flushes() const override { return false; }
};

// One whole delivery as the program makes it, its waits set to nothing: taken over, the
// journal, the output file with its records, every flush (argument 1; 0 without), the clean-up.
void BM_WholeDelivery(benchmark::State& state) {
    WithoutFlushes withoutFlushes;
    tallivo::WatchDisk(state.range(0) == 1 ? nullptr : &withoutFlushes);
    namespace fs = std::filesystem;
    auto& fixture = tallivo::bench::Fixture::get();
    const fs::path folder = fixture.folder / "delivery";
    fs::create_directories(folder);
    tallivo::Settings settings = tallivo::bench::BenchSettings();
    settings.OutputFolder = folder.string();
    settings.ExistingFilePolicy = "0";
    settings.SplashScreen = "0";
    tallivo::WriteConfigurationFile(folder / tallivo::kConfigFileName, settings);
    tallivo::RunOptions options;
    options.configPlaces = std::vector<fs::path>{folder / tallivo::kConfigFileName};
    const std::chrono::milliseconds none{0};
    options.timings.start = options.timings.poll = options.timings.shortWait = none;
    options.timings.doneWait = options.timings.noDataWait = none;
    double seconds = 0;
    for (auto _ : state) {
        tallivo::ScaricoS window(options);
        QEventLoop loop;
        QObject::connect(&window, &tallivo::ScaricoS::ended, &loop, [&loop] { loop.quit(); });
        window.start();
        // The terminal side's file has long been written back when its marker goes.
        const fs::path data = folder / "~dati.txt";
        fs::copy_file(fixture.workFile, data, fs::copy_options::overwrite_existing);
        const int descriptor = ::open(data.c_str(), O_RDONLY);
        ::fsync(descriptor);
        ::close(descriptor);
        fs::remove(folder / "~1~");
        const auto start = std::chrono::steady_clock::now();
        loop.exec();
        seconds += tallivo::bench::SecondsSince(start);
        if (window.ending() != tallivo::Ending::Done)
            state.SkipWithError("the delivery did not end with Done");
    }
    tallivo::WatchDisk(nullptr);
    tallivo::bench::Report(state, seconds, false);
}

}  // namespace

BENCHMARK(BM_WholeDelivery)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK(BM_WholeConversion_StatusWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

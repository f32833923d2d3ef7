// The whole conversion with the real status window following it, on whatever Qt platform
// the run uses (offscreen by default, a real X server when QT_QPA_PLATFORM=xcb).
#include <benchmark/benchmark.h>

#include <QApplication>
#include <chrono>
#include <filesystem>

#include "bench_fixture.h"
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

}  // namespace

BENCHMARK(BM_WholeConversion_StatusWindow)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

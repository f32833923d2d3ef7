#include <gtest/gtest.h>

#include <chrono>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "polling/progress_scale.h"
#include "polling/record_follower.h"

namespace tallivo {
namespace {

TEST(ScaleProgress, KeepsProportionsWithinIntRange) {
    struct Row {
        std::uint64_t value, maximum;
        int expectedValue, expectedMaximum;
    };
    const std::uint64_t big = 6'000'000'000ULL;  // above INT_MAX and UINT_MAX
    const std::vector<Row> rows{
        {0, 100, 0, 100},
        {37, 100, 37, 100},
        {INT_MAX, INT_MAX, INT_MAX, INT_MAX},
        {big, big, 2'000'000'000, 2'000'000'000},  // divided by 3
        {big / 2, big, 1'000'000'000, 2'000'000'000},
        {UINT64_MAX, UINT64_MAX, static_cast<int>(UINT64_MAX / (UINT64_MAX / INT_MAX + 1)),
         static_cast<int>(UINT64_MAX / (UINT64_MAX / INT_MAX + 1))},
        {200, 100, 100, 100},  // never past the end
    };
    for (const Row& row : rows) {
        const ScaledProgress scaled = ScaleProgress(row.value, row.maximum);
        EXPECT_EQ(scaled.value, row.expectedValue) << row.value << "/" << row.maximum;
        EXPECT_EQ(scaled.maximum, row.expectedMaximum) << row.value << "/" << row.maximum;
        EXPECT_GT(scaled.maximum, 0);
    }
}

// Records what the follower hands to the window.
class RecordingView : public StatusView {
  public:
    void showWaiting() override {}
    void showOffLine() override {}
    void showOnLine() override {}
    void showPhase(std::string_view) override {}
    void showByteCount(std::uint64_t) override {}
    void showRecord(std::string_view record) override { records.emplace_back(record); }
    void showProgress(std::uint64_t value, std::uint64_t maximum) override {
        progress.push_back(value);
        lastMaximum = maximum;
    }
    void showSplash(std::chrono::milliseconds) override {}
    void processEvents() override { ++eventRounds; }
    QWidget* dialogParent() override { return nullptr; }

    std::vector<std::string> records;
    std::vector<std::uint64_t> progress;
    std::uint64_t lastMaximum = 0;
    int eventRounds = 0;
};

TEST(RecordFollower, ShowsAtScreenRateAndAlwaysTheFinalState) {
    using namespace std::chrono_literals;
    auto now = std::chrono::steady_clock::time_point{} + 1h;
    RecordingView view;
    Timings timings;  // 16 ms screen, events every 4 ms
    const bool stop = false;
    const std::uint64_t maximum = 10'000;
    RecordFollower follower(
        view, [&] { return now; }, timings, maximum, stop);

    // 1000 records, one per millisecond: one second of writing.
    for (int i = 1; i <= 1000; ++i) {
        follower.recordWritten("record " + std::to_string(i), static_cast<std::uint64_t>(i) * 9);
        now += 1ms;
    }
    follower.finish();

    // About one update per 16 ms (plus the first and the final one), not one per record.
    EXPECT_GE(view.records.size(), 60u);
    EXPECT_LE(view.records.size(), 66u);
    EXPECT_EQ(view.records.front(), "record 1");
    EXPECT_EQ(view.records.back(), "record 1000");
    // Events still run every 4 ms so a key press is seen while writing.
    EXPECT_GE(view.eventRounds, 240);
    EXPECT_LE(view.eventRounds, 260);
    ASSERT_FALSE(view.progress.empty());
    EXPECT_EQ(view.progress.back(), maximum);
    EXPECT_EQ(view.lastMaximum, maximum);
    for (std::size_t i = 1; i < view.progress.size(); ++i) EXPECT_LE(view.progress[i - 1], view.progress[i]);
}

TEST(RecordFollower, PassesTheStopFlagToTheWriter) {
    RecordingView view;
    bool stop = false;
    RecordFollower follower(view, SystemSteadyClock(), Timings{}, 10, stop);
    EXPECT_FALSE(follower.stopRequested());
    stop = true;
    EXPECT_TRUE(follower.stopRequested());
}

}  // namespace
}  // namespace tallivo

#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "polling/core/output_writer.h"
#include "polling/status_view.h"
#include "polling/timings.h"

namespace tallivo {

// Follows the writer record by record but hands the record and progress to the window at
// most once per screen refresh, and lets the window process its events every few
// milliseconds so Esc is seen. finish() always shows the last record and a full bar.
class RecordFollower : public RecordObserver {
  public:
    RecordFollower(StatusView& view, SteadyClock clock, const Timings& timings, std::uint64_t maximum,
                   const bool& stopFlag);

    void recordWritten(std::string_view record, std::uint64_t charactersRead) override;
    bool stopRequested() override { return stopFlag_; }

    // The last record written (if any) and the bar at its maximum.
    void finish();

    std::uint64_t screenUpdates() const { return screenUpdates_; }

  private:
    void showPending();

    StatusView& view_;
    SteadyClock clock_;
    std::chrono::steady_clock::duration screenRefresh_;
    std::chrono::steady_clock::duration eventsEvery_;
    std::uint64_t maximum_;
    const bool& stopFlag_;

    std::string lastRecord_;
    std::uint64_t lastCharacters_ = 0;
    bool pending_ = false;
    std::chrono::steady_clock::time_point lastScreen_{};
    std::chrono::steady_clock::time_point lastEvents_{};
    bool shownOnce_ = false;
    std::uint64_t screenUpdates_ = 0;
};

}  // namespace tallivo

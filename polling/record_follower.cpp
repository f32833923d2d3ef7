#include "polling/record_follower.h"

#include <utility>

namespace tallivo {

namespace {

constexpr std::size_t kShownRecordBytes = 4096;

}  // namespace

RecordFollower::RecordFollower(StatusView& view, SteadyClock clock, const Timings& timings,
                               std::uint64_t maximum, const bool& stopFlag)
    : view_(view),
      clock_(std::move(clock)),
      screenRefresh_(timings.screenRefresh),
      eventsEvery_(timings.eventsEvery),
      maximum_(maximum),
      stopFlag_(stopFlag) {}

void RecordFollower::recordWritten(std::string_view record, std::uint64_t charactersRead) {
    // The window's line shows a few dozen characters; a long record's start is enough, and
    // its copy stays small. Reuses its capacity: no allocation per record once grown.
    lastRecord_.assign(record.substr(0, kShownRecordBytes));
    lastCharacters_ = charactersRead;
    pending_ = true;

    const auto now = clock_();
    if (!shownOnce_ || now - lastScreen_ >= screenRefresh_) {
        shownOnce_ = true;
        lastScreen_ = now;
        showPending();
        lastEvents_ = now;
        view_.processEvents();
    } else if (now - lastEvents_ >= eventsEvery_) {
        lastEvents_ = now;
        view_.processEvents();
    }
}

void RecordFollower::showPending() {
    view_.showRecord(lastRecord_);
    view_.showProgress(lastCharacters_, maximum_);
    pending_ = false;
    ++screenUpdates_;
}

void RecordFollower::finish() {
    if (pending_) showPending();
    view_.showProgress(maximum_, maximum_);
    view_.processEvents();
}

}  // namespace tallivo

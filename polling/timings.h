#pragma once

#include <chrono>
#include <functional>

#include "polling/core/disk.h"

namespace tallivo {

// The program's pauses; tests shorten them.
struct Timings {
    std::chrono::milliseconds start{1000};            // start-up to the first poll (Timer2)
    std::chrono::milliseconds poll{500};              // between two looks for the marker file
    std::chrono::milliseconds shortWait{500};         // after "On Line" and twice after the rename
    std::chrono::milliseconds doneWait{1000};         // "Done...   Quit..." on screen
    std::chrono::milliseconds noDataWait{2000};       // "No Data present exiting..." on screen
    std::chrono::milliseconds splash{1000};           // the splash window's life
    std::chrono::milliseconds screenRefresh{16};      // at most one record/progress update per frame
    std::chrono::milliseconds eventsEvery{4};         // while writing, so Esc is seen promptly
    std::chrono::milliseconds briefHold{kBriefHold};  // a file another program holds (Windows)
};

using SteadyClock = std::function<std::chrono::steady_clock::time_point()>;

inline SteadyClock SystemSteadyClock() {
    return [] { return std::chrono::steady_clock::now(); };
}

// The time of day that goes into names; tests fix it.
using WallClock = std::function<std::chrono::system_clock::time_point()>;

inline WallClock SystemWallClock() {
    return [] { return std::chrono::system_clock::now(); };
}

}  // namespace tallivo

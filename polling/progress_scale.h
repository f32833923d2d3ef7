#pragma once

#include <cstdint>

namespace tallivo {

// The progress bar counts in int; larger byte counts are divided down by one common
// factor so the bar's proportions stay right.
struct ScaledProgress {
    int value = 0;
    int maximum = 0;
};

ScaledProgress ScaleProgress(std::uint64_t value, std::uint64_t maximum);

}  // namespace tallivo

#include "polling/progress_scale.h"

#include <algorithm>
#include <limits>

namespace tallivo {

ScaledProgress ScaleProgress(std::uint64_t value, std::uint64_t maximum) {
    constexpr std::uint64_t kLimit = static_cast<std::uint64_t>(std::numeric_limits<int>::max());
    value = std::min(value, maximum);
    const std::uint64_t divisor = maximum <= kLimit ? 1 : maximum / kLimit + 1;
    return {static_cast<int>(value / divisor), static_cast<int>(maximum / divisor)};
}

}  // namespace tallivo

#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "common/settings.h"

namespace tallivo {

inline constexpr const char* kConfigFileName = "orvwizard.cfg";

// The four places of the configuration file, in order, the current folder first.
// Windows: the literal places. Elsewhere: current folder, the user's configuration
// folder, then two system-wide folders.
std::vector<std::filesystem::path> DefaultConfigPlaces();

struct PlacedSettings {
    Settings settings;
    std::optional<std::filesystem::path> place;  // empty when the defaults were taken
};

// Polling's reading: the first place whose 27 values can all be read; later places are
// not opened. When none can be read, PollingDefaults().
PlacedSettings ReadFirstReadablePlace(const std::vector<std::filesystem::path>& places);

}  // namespace tallivo

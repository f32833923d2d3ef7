#pragma once

#include <filesystem>
#include <optional>
#include <vector>

#include "common/run_paths.h"
#include "common/settings.h"

namespace tallivo {

// What polling starts its run with.
struct PollingConfiguration {
    Settings settings;
    RunPaths paths;                              // all empty when the defaults were taken
    bool outputFolderMissing = false;            // the program must say so and end
    std::optional<std::filesystem::path> place;  // the file read; empty for the defaults
};

// Polling's reader of one place: the 27 settings, the run paths derived from OutputFolder
// and the folder check. Nothing when the place cannot be read to its 27th value (the
// caller then tries the next place). A missing output folder is not a read failure: the
// place was read, and the caller reports the folder.
std::optional<PollingConfiguration> verfil(const std::filesystem::path& path);

// `verfil` on each place in order, stopping at the first that reads; later places are
// not opened. When none reads: PollingDefaults(), empty paths, no folder check.
PollingConfiguration ReadConfiguration(const std::vector<std::filesystem::path>& places);

}  // namespace tallivo

#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "common/settings.h"

namespace tallivo::bench {

// A work file of `records` terminal lines shaped like the real ones, written once per run;
// every barcode a new one, or `articles` of them over and over.
std::filesystem::path MakeWorkFile(const std::filesystem::path& folder, std::size_t records,
                                   std::size_t articles = 0);

// The wizard's defaults with a fixed-length barcode, so the layout does real work.
Settings BenchSettings();

// Records from the environment (TALLIVO_BENCH_RECORDS) or the given default.
std::size_t RecordCount(std::size_t fallback);

}  // namespace tallivo::bench

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tallivo {

inline constexpr const char* kHistoryFileName = "~~deliveries.history";
// Enough for a terminal delivering every few minutes through a long stock-take.
inline constexpr std::size_t kHistoryEntries = 200;

// What is kept of a converted delivery: enough to know its bytes again, never the bytes.
struct DeliveryEntry {
    std::string stamp;  // when it was taken over, "YYYYMMDD-HHMMSS"
    std::uint64_t bytes = 0;
    std::uint64_t lines = 0;
    std::string digest;      // SHA-256 of its bytes, hex
    std::string outputPath;  // the configured output file it went to
    bool operator==(const DeliveryEntry&) const = default;
};

// Next to the work file and the journal, in the output folder.
std::string HistoryPath(const std::string& workPath);

// Empty when missing, a link, or damaged: a repeat is then only not caught.
std::vector<DeliveryEntry> ReadDeliveryHistory(const std::string& path);

// Adds `entry` (once: the same bytes for the same output are not added twice), keeps the
// last kHistoryEntries, and writes the file anew under a temporary name, flushed, then renamed.
bool AddToDeliveryHistory(const std::string& path, const DeliveryEntry& entry);

struct RepeatCheck {
    // The longest earlier delivery of the same output that the work file begins with.
    std::optional<DeliveryEntry> repeated;
    std::uint64_t linesToSkip = 0;  // its lines, as the work file reader counts them
    DeliveryEntry delivery;         // the work file's own length, lines and digest
    bool readFailed = false;
};

// One pass over the work file; memory stays the same whatever its length. Only prefixes ending
// at a whole line count.
RepeatCheck CheckRepeat(const std::string& workPath, const std::vector<DeliveryEntry>& history,
                        const std::string& outputPath);

}  // namespace tallivo

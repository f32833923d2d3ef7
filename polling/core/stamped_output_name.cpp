#include "polling/core/stamped_output_name.h"

#include <algorithm>

#include "common/hand_over_names.h"
#include "common/run_paths.h"
#include "polling/core/disk.h"

namespace tallivo {

namespace {

// More deliveries within one second than anyone could dock.
constexpr int kMaxCounter = 999;

// Where the stamp goes: before the extension, or at the end of a name without one.
std::size_t StampPosition(const std::string& outputPath) {
    const std::size_t nameStart = outputPath.size() - FileNamePart(outputPath).size();
    const std::size_t dot = outputPath.find_last_of('.');
    // A leading dot starts a hidden name, not an extension.
    return dot == std::string::npos || dot <= nameStart ? outputPath.size() : dot;
}

// "YYYYMMDD-HHMMSS"
bool IsStamp(const std::string& text) {
    if (text.size() != 15 || text[8] != '-') return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i != 8 && (text[i] < '0' || text[i] > '9')) return false;
    }
    return true;
}

// The first stamped name that is not `taken` and under which nothing stands yet.
std::optional<std::string> FreeName(const std::string& outputPath, const std::string& stamp,
                                    const std::string& taken) {
    for (int counter = 1; counter <= kMaxCounter; ++counter) {
        std::string candidate = StampedOutputPath(outputPath, stamp, counter);
        if (!SameFileName(candidate, taken) && !PathExists(candidate)) return candidate;
    }
    return std::nullopt;
}

}  // namespace

std::string StampedOutputPath(const std::string& outputPath, const std::string& stamp, int counter) {
    const std::size_t dot = StampPosition(outputPath);
    std::string suffix = "_" + stamp;
    if (counter > 1) suffix += "_" + std::to_string(counter);
    return outputPath.substr(0, dot) + suffix + outputPath.substr(dot);
}

std::optional<std::string> FreeStampedOutputPath(const std::string& outputPath, const std::string& stamp) {
    return FreeName(outputPath, stamp, std::string());
}

std::optional<std::string> FreeWorkbookPath(const std::string& outputPath, const std::string& stamp,
                                            const std::string& deliveryOutputPath) {
    return FreeName(outputPath.substr(0, StampPosition(outputPath)) + ".xlsx", stamp, deliveryOutputPath);
}

std::optional<std::string> WorkbookStamp(const std::string& outputPath, const std::string& workbookPath) {
    const std::string base = outputPath.substr(0, StampPosition(outputPath)) + ".xlsx";
    if (!IsStampedOutputPath(base, workbookPath)) return std::nullopt;
    return workbookPath.substr(StampPosition(base) + 1, 15);
}

bool IsStampedOutputPath(const std::string& outputPath, const std::string& candidate) {
    const std::string stamp = candidate.substr(std::min(StampPosition(outputPath) + 1, candidate.size()), 15);
    if (!IsStamp(stamp)) return false;
    for (int counter = 1; counter <= kMaxCounter; ++counter) {
        if (StampedOutputPath(outputPath, stamp, counter) == candidate) return true;
    }
    return false;
}

}  // namespace tallivo

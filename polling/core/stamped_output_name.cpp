#include "polling/core/stamped_output_name.h"

#include <filesystem>

#include "polling/core/leftover_files.h"

namespace tallivo {

namespace {

// More deliveries within one second than anyone could dock.
constexpr int kMaxCounter = 999;

// Where the file name begins: after the last separator the platform knows.
std::size_t FileNameStart(const std::string& path) {
    return path.size() - std::filesystem::path(path).filename().string().size();
}

}  // namespace

std::string StampedOutputPath(const std::string& outputPath, const std::string& stamp, int counter) {
    const std::size_t nameStart = FileNameStart(outputPath);
    std::size_t dot = outputPath.find_last_of('.');
    // A leading dot starts a hidden name, not an extension.
    if (dot == std::string::npos || dot <= nameStart) dot = outputPath.size();
    std::string suffix = "_" + stamp;
    if (counter > 1) suffix += "_" + std::to_string(counter);
    return outputPath.substr(0, dot) + suffix + outputPath.substr(dot);
}

std::optional<std::string> FreeStampedOutputPath(const std::string& outputPath, const std::string& stamp) {
    for (int counter = 1; counter <= kMaxCounter; ++counter) {
        std::string candidate = StampedOutputPath(outputPath, stamp, counter);
        if (!PathExists(candidate)) return candidate;
    }
    return std::nullopt;
}

}  // namespace tallivo

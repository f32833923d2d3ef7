#include "common/delivery_options.h"

#include <fstream>
#include <utility>

namespace tallivo {

namespace {

constexpr std::string_view kStayOnlineKey = "StayOnline=";
constexpr std::string_view kNewFileKey = "NewFileEachDelivery=";
constexpr std::string_view kSpreadsheetKey = "Spreadsheet=";
constexpr std::string_view kSkipRepeatedKey = "SkipRepeated=";
// The real file is some sixty bytes; anything much longer is not one.
constexpr std::size_t kMaxBytes = 256;

// Takes one line off the front of `bytes`, without its line end; false when none ends.
bool TakeLine(std::string_view& bytes, std::string_view& line) {
    const std::size_t end = bytes.find('\n');
    if (end == std::string_view::npos) return false;
    line = bytes.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    bytes.remove_prefix(end + 1);
    return true;
}

}  // namespace

std::filesystem::path DeliveryOptionsPlace(const std::filesystem::path& configPlace) {
    return configPlace.parent_path() / kDeliveryOptionsFileName;
}

std::string FormatDeliveryOptions(const DeliveryOptions& options) {
    std::string bytes;
    bytes.append(kStayOnlineKey).append(options.stayOnline ? "1" : "0").append("\r\n");
    bytes.append(kNewFileKey).append(options.newFileEachDelivery ? "1" : "0").append("\r\n");
    if (options.spreadsheet) bytes.append(kSpreadsheetKey).append("1\r\n");
    if (options.skipRepeated) bytes.append(kSkipRepeatedKey).append("1\r\n");
    return bytes;
}

DeliveryOptions ParseDeliveryOptions(std::string_view bytes) {
    const std::pair<std::string_view, bool DeliveryOptions::*> keys[] = {
        {kStayOnlineKey, &DeliveryOptions::stayOnline},
        {kNewFileKey, &DeliveryOptions::newFileEachDelivery},
        {kSpreadsheetKey, &DeliveryOptions::spreadsheet},
        {kSkipRepeatedKey, &DeliveryOptions::skipRepeated},
    };
    DeliveryOptions options;
    std::string_view line;
    while (!bytes.empty()) {
        if (!TakeLine(bytes, line)) return {};
        const std::size_t equals = line.find('=');
        if (equals == 0 || equals == std::string_view::npos || line.find('\r') != std::string_view::npos)
            return {};
        const std::string_view key = line.substr(0, equals + 1);
        const std::string_view value = line.substr(equals + 1);
        for (const auto& [known, member] : keys) {
            if (key != known) continue;
            if (value != "0" && value != "1") return {};
            options.*member = value == "1";
        }
    }
    return options;
}

DeliveryOptions ReadDeliveryOptions(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::string bytes(kMaxBytes + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad()) return {};
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kMaxBytes) return {};
    return ParseDeliveryOptions(bytes);
}

WriteOutcome WriteDeliveryOptions(const std::filesystem::path& path, const DeliveryOptions& options) {
    return WriteWholeFile(path, FormatDeliveryOptions(options));
}

}  // namespace tallivo

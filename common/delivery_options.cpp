#include "common/delivery_options.h"

#include <fstream>

namespace tallivo {

namespace {

constexpr std::string_view kStayOnlineKey = "StayOnline=";
constexpr std::string_view kNewFileKey = "NewFileEachDelivery=";
constexpr std::string_view kSpreadsheetKey = "Spreadsheet=";
// The real file is some forty bytes; anything much longer is not one.
constexpr std::size_t kMaxBytes = 256;

// Reads "<key>0" or "<key>1" and its line end from the front of `bytes`.
bool TakeLine(std::string_view& bytes, std::string_view key, bool& value) {
    if (bytes.substr(0, key.size()) != key) return false;
    bytes.remove_prefix(key.size());
    if (bytes.empty() || (bytes.front() != '0' && bytes.front() != '1')) return false;
    value = bytes.front() == '1';
    bytes.remove_prefix(1);
    if (bytes.substr(0, 2) == "\r\n") {
        bytes.remove_prefix(2);
    } else if (bytes.substr(0, 1) == "\n") {
        bytes.remove_prefix(1);
    } else {
        return false;
    }
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
    return bytes;
}

DeliveryOptions ParseDeliveryOptions(std::string_view bytes) {
    DeliveryOptions options;
    if (!TakeLine(bytes, kStayOnlineKey, options.stayOnline) ||
        !TakeLine(bytes, kNewFileKey, options.newFileEachDelivery) ||
        (!bytes.empty() && !TakeLine(bytes, kSpreadsheetKey, options.spreadsheet)) || !bytes.empty()) {
        return {};
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

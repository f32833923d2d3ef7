#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "common/config_file.h"

namespace tallivo {

// Kept beside each orvwizard.cfg, never inside it: other programs on the PC read that file
// and expect its 27 values only.
inline constexpr const char* kDeliveryOptionsFileName = "orvwizard.opt";

// Both off is the behaviour without the file: one delivery, then the program ends.
struct DeliveryOptions {
    bool stayOnline = false;           // "Stay online for the next delivery"
    bool newFileEachDelivery = false;  // "A new file for each delivery"
    bool spreadsheet = false;          // "Also save a spreadsheet (.xlsx)"
    bool skipRepeated = false;         // "Skip records delivered before"

    bool anyOn() const { return stayOnline || newFileEachDelivery || spreadsheet || skipRepeated; }
    bool operator==(const DeliveryOptions&) const = default;
};

// The options file that goes with a configuration place: same folder.
std::filesystem::path DeliveryOptionsPlace(const std::filesystem::path& configPlace);

// Two lines, "StayOnline=0|1" then "NewFileEachDelivery=0|1", each ending in CR LF; then
// "Spreadsheet=1" and "SkipRepeated=1" only when on, so the file stays as it was without them.
std::string FormatDeliveryOptions(const DeliveryOptions& options);

// "<key>=0|1" lines in any order (a lone LF is taken as a line end too); keys it does not know
// are passed over, so a later version's file still reads. A damaged line of a known key, or a
// line that is no "<key>=<value>", means all off: a damaged file never switches an option on.
DeliveryOptions ParseDeliveryOptions(std::string_view bytes);

// Both off when the file is missing, unreadable or damaged.
DeliveryOptions ReadDeliveryOptions(const std::filesystem::path& path);

// Created or emptied, then written (WriteWholeFile).
WriteOutcome WriteDeliveryOptions(const std::filesystem::path& path, const DeliveryOptions& options);

}  // namespace tallivo

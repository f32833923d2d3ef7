#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/settings.h"

namespace tallivo {

// Parses configuration bytes: values in sequence, a comma or a line end (CR LF, lone LF,
// lone CR) ends a value, a quoted value runs to its closing quote (commas inside belong
// to it) and the quotes are dropped. Values after the 27th are never read. Returns
// nothing when fewer than 27 values are present. Never reads past `bytes`.
std::optional<Settings> ParseConfiguration(std::string_view bytes);

// Reads and parses one file; nothing when it cannot be opened or holds fewer than 27 values.
std::optional<Settings> ReadConfigurationFile(const std::filesystem::path& path);

struct ConfigurationText {
    std::string bytes;            // the 15 CR LF lines; empty when refused
    std::string refusedSetting;   // name of the first setting holding a double quote, or empty
    bool ok() const { return refusedSetting.empty(); }
};

// The 15 lines with their quoting and CR LF line ends. EndOfFileMessageOn is written bare.
// A value containing a double quote cannot be stored in this format and is refused.
ConfigurationText FormatConfiguration(const Settings& settings);

enum class WriteOutcome { Written, RefusedQuote, CannotWrite };

// Formats and writes one place (created or emptied). Nothing is written when refused.
WriteOutcome WriteConfigurationFile(const std::filesystem::path& path, const Settings& settings);

}  // namespace tallivo

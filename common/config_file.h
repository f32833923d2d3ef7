#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "common/settings.h"

namespace tallivo {

// Parses configuration bytes: values in sequence, a comma or a line end (CR LF, lone LF,
// lone CR) ends a value, a quoted value runs to its closing quote (commas and line breaks
// inside belong to it) and the quotes are dropped. A bare value loses its surrounding
// blanks. Blank lines are skipped. Values after the 27th are never read. Returns nothing
// when fewer than 27 complete values are present (an unterminated quote is incomplete).
// Never reads past `bytes`; any byte values are accepted.
std::optional<Settings> ParseConfiguration(std::string_view bytes);

// Reads and parses one file; nothing when it cannot be opened or read, or holds fewer than
// 27 values within its first 1 MiB (a longer tail after the 27th value is ignored).
std::optional<Settings> ReadConfigurationFile(const std::filesystem::path& path);

struct ConfigurationText {
    std::string bytes;           // the 15 CR LF lines; empty when refused
    std::string refusedSetting;  // name of the first setting the format cannot hold, or empty
    bool ok() const { return refusedSetting.empty(); }
};

// The 15 lines with their quoting and CR LF line ends. EndOfFileMessageOn is written bare.
// Refused: a value containing a double quote (the format has no escape), and an
// EndOfFileMessageOn that is not a plain integer ("1", "0", "-1"), as it has no quotes.
ConfigurationText FormatConfiguration(const Settings& settings);

enum class WriteOutcome { Written, RefusedQuote, CannotWrite };

// Formats and writes one place (created or emptied). Nothing is written, and the place is
// left untouched, when refused (RefusedQuote also covers a non-integer EndOfFileMessageOn).
// CannotWrite covers a failed open, write or close.
WriteOutcome WriteConfigurationFile(const std::filesystem::path& path, const Settings& settings);

// Creates or empties `path` and writes `bytes`: Written, or CannotWrite for a failed open,
// write or close.
WriteOutcome WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace tallivo

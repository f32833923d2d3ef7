#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "common/settings.h"

namespace tallivo {

// The record-related settings with the five character settings already turned into
// their byte (nothing for "NONE"). Built once per run, used for every line.
struct RecordLayout {
    std::optional<char> RecordHeaderChar;
    std::optional<char> BarcodeSeparator;
    std::optional<char> QuantitySeparator;
    std::optional<char> DateSeparator;
    std::optional<char> RecordTerminator;
    std::string BarcodeFixedLength;
    std::string BarcodeLength;
    std::string BarcodeFiller;
    std::string BarcodeJustify;
    std::string QuantityFixedLength;
    std::string QuantityLength;
    std::string QuantityFiller;
    std::string QuantityJustify;
    std::string HideDateTime;
};

struct RecordLayoutResult {
    RecordLayout layout;
    // Name of the first character setting whose code lies outside 0-255, or empty.
    std::string badSetting;
    std::string badValue;
    bool ok() const { return badSetting.empty(); }
};

// Positions of the first five ";" of an input line, npos for those it does not have.
std::array<std::size_t, 5> FieldSeparators(std::string_view line);

// Turns the character settings into bytes: a value that is not exactly "NONE" is read
// as a number, rounded half to even, and becomes the byte with that code.
RecordLayoutResult MakeRecordLayout(const Settings& settings);

// Replaces `line` (one input line without its line end) by its output record. Returns
// false and leaves `line` exactly as read when the line cannot be formatted (fewer than
// two ";", a negative padding count, a filler code outside 0-255).
bool FormatRecord(std::string& line, const RecordLayout& layout);

}  // namespace tallivo

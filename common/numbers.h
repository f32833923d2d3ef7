#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tallivo {

// The leading numeric part of a text: leading blanks skipped, an optional sign, digits
// with "." as decimal point; 0 when there is none ("0005" 5, "3.50" 3.5, "12 PCS" 12, "" 0).
double LeadingNumber(std::string_view text);
// The same, but nothing when the text has no leading number at all.
std::optional<double> LeadingNumberIfAny(std::string_view text);

// Nearest whole number, halves to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
double RoundHalfEven(double value);

// Plain form: no blanks, no leading zeros, no plus sign, "-" for negatives, "." as
// decimal point, at most 15 significant digits (5, 3.5, -0.25, 12). A zero stands before
// a leading decimal point (0.5, not .5); -0 is "0"; large values are written out in full
// (1e20 is "100000000000000000000"), never with an exponent.
std::string FormatPlainNumber(double value);

// A character setting ("124", " 9", "13.5") read as a number and rounded; the byte with
// that code, or nothing when the code lies outside 0-255.
std::optional<char> ByteFromCode(std::string_view codeText);

// A setting that names a list entry ("9", " 9", "+9", "9.0" are all 9), read as polling
// reads numbers and rounded; nothing when the text holds no number or it lies outside
// lowest..highest.
std::optional<int> RoundedNumberWithin(std::string_view text, int lowest, int highest);

}  // namespace tallivo

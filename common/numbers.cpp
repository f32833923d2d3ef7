#include "common/numbers.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <system_error>

namespace tallivo {

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<double> LeadingNumberIfAny(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t start = pos;
    bool wholeNonZero = false;
    while (pos < text.size() && IsDigit(text[pos])) {
        wholeNonZero = wholeNonZero || text[pos] != '0';
        ++pos;
    }
    std::size_t digits = pos - start;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        const std::size_t fractionStart = pos;
        while (pos < text.size() && IsDigit(text[pos])) ++pos;
        digits += pos - fractionStart;
    }
    if (digits == 0) return std::nullopt;

    // from_chars is locale-independent, exact, and takes digit strings of any length.
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(text.data() + start, text.data() + pos, value, std::chars_format::fixed);
    if (error == std::errc::result_out_of_range) {
        // Too large for a double becomes infinity (callers treat it as unusable); too small is 0.
        value = wholeNonZero ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (error != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

double LeadingNumber(std::string_view text) {
    return LeadingNumberIfAny(text).value_or(0.0);
}

std::optional<int> RoundedNumberWithin(std::string_view text, int lowest, int highest) {
    const std::optional<double> number = LeadingNumberIfAny(text);
    if (!number) return std::nullopt;
    const double rounded = RoundHalfEven(*number);
    // Checked before the conversion: a double beyond int's range has no int to become.
    if (!(rounded >= lowest && rounded <= highest)) return std::nullopt;
    return static_cast<int>(rounded);
}

double RoundHalfEven(double value) {
    if (!std::isfinite(value)) return value;
    const double rounded = std::round(value);  // halves away from zero
    if (std::fabs(rounded - value) == 0.5) return 2.0 * std::round(value / 2.0);
    return rounded;
}

std::string FormatPlainNumber(double value) {
    if (std::isnan(value)) return "0";
    if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
    if (value == 0.0) return "0";  // -0 too

    // Whole numbers that fit 15 digits are the common case (quantities): no detour through decimals.
    if (std::fabs(value) < 1e15 && value == std::trunc(value)) {
        char buffer[24];
        const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<std::int64_t>(value));
        return std::string(buffer, result.ptr);
    }

    // 15 significant digits as d.dddddddddddddde[+-]x, then written out without an exponent.
    char scientific[40];
    const auto result =
        std::to_chars(scientific, scientific + sizeof scientific, value, std::chars_format::scientific, 14);
    std::string_view text(scientific, static_cast<std::size_t>(result.ptr - scientific));

    std::string out;
    if (text.front() == '-') {
        out.push_back('-');
        text.remove_prefix(1);
    }
    const std::size_t ePos = text.find('e');
    std::string digits;
    for (char c : text.substr(0, ePos)) {
        if (c != '.') digits.push_back(c);
    }
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    const int exponent = std::atoi(std::string(text.substr(ePos + 1)).c_str());

    // The decimal point stands after `pointAt` digits of `digits` (may be <= 0 or past the end).
    const int pointAt = exponent + 1;
    const int digitCount = static_cast<int>(digits.size());
    if (pointAt <= 0) {
        // A zero stands before the point: 0.25, not .25 (the way "-0.25" reads).
        out += "0.";
        out.append(static_cast<std::size_t>(-pointAt), '0');
        out += digits;
    } else if (pointAt >= digitCount) {
        out += digits;
        out.append(static_cast<std::size_t>(pointAt - digitCount), '0');
    } else {
        out.append(digits, 0, static_cast<std::size_t>(pointAt));
        out.push_back('.');
        out.append(digits, static_cast<std::size_t>(pointAt));
    }
    return out;
}

std::optional<char> ByteFromCode(std::string_view codeText) {
    const double code = RoundHalfEven(LeadingNumber(codeText));
    if (!(code >= 0.0 && code <= 255.0)) return std::nullopt;
    return static_cast<char>(static_cast<unsigned char>(code));
}

}  // namespace tallivo

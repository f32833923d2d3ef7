#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/numbers.h"

namespace {

// "-" at most in front, digits, at most one "." that has digits on both sides.
bool IsPlainForm(std::string_view text) {
    if (!text.empty() && text.front() == '-') text.remove_prefix(1);
    if (text.empty() || text.front() == '.' || text.back() == '.') return false;
    if (text.size() > 1 && text[0] == '0' && text[1] != '.') return false;  // no leading zeros
    bool point = false;
    for (char c : text) {
        if (c == '.') {
            if (point) return false;
            point = true;
        } else if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = tallivo::LeadingNumber(text);
    const std::string plain = tallivo::FormatPlainNumber(value);
    // The plain form is what polling writes as a quantity: never blank-padded, never empty.
    if (plain.empty() || plain.front() == ' ' || plain.back() == ' ' || plain.front() == '+')
        __builtin_trap();
    if (std::isfinite(value)) {
        const double rounded = tallivo::RoundHalfEven(value);
        if (std::fabs(rounded - value) > 0.5) __builtin_trap();
        if (!IsPlainForm(plain)) __builtin_trap();
        // Fifteen significant digits survive a trip through a double (not so below the
        // normal range, where a double holds fewer), so the plain form reads back to itself.
        if ((value == 0.0 || std::fabs(value) >= DBL_MIN) &&
            tallivo::FormatPlainNumber(tallivo::LeadingNumber(plain)) != plain)
            __builtin_trap();
    }
    (void)tallivo::ByteFromCode(text);
    return 0;
}

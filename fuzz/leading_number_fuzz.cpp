#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "common/numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const double value = tallivo::LeadingNumber(text);
    const std::string plain = tallivo::FormatPlainNumber(value);
    // The plain form is what polling writes as a quantity: never blank-padded, never empty.
    if (plain.empty() || plain.front() == ' ' || plain.back() == ' ' || plain.front() == '+') __builtin_trap();
    if (std::isfinite(value)) {
        const double rounded = tallivo::RoundHalfEven(value);
        if (std::fabs(rounded - value) > 0.5) __builtin_trap();
    }
    (void)tallivo::ByteFromCode(text);
    return 0;
}

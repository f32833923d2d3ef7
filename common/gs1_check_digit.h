#pragma once

#include <optional>
#include <string_view>

namespace tallivo {

// The GS1 check digit (modulo 10, weights 3 and 1 from the right) of the digits before it;
// nothing when one of them is not a digit.
std::optional<char> Gs1CheckDigit(std::string_view digitsBeforeCheck);

// The last digit is the check digit of the ones before it (a GTIN, an SSCC ...).
bool Gs1CheckDigitHolds(std::string_view digits);

}  // namespace tallivo

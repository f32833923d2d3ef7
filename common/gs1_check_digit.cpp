#include "common/gs1_check_digit.h"

namespace tallivo {

std::optional<char> Gs1CheckDigit(std::string_view digitsBeforeCheck) {
    int sum = 0;
    int weight = 3;
    for (auto at = digitsBeforeCheck.rbegin(); at != digitsBeforeCheck.rend(); ++at) {
        if (*at < '0' || *at > '9') return std::nullopt;
        sum += (*at - '0') * weight;
        weight = 4 - weight;
    }
    return static_cast<char>('0' + (10 - sum % 10) % 10);
}

bool Gs1CheckDigitHolds(std::string_view digits) {
    if (digits.empty()) return false;
    return Gs1CheckDigit(digits.substr(0, digits.size() - 1)) == digits.back();
}

}  // namespace tallivo

#pragma once

#include <optional>
#include <string_view>

namespace tallivo {

struct Gs1Date {
    int year = 0;
    int month = 0;
    int day = 0;
    bool operator==(const Gs1Date&) const = default;
};

// Six digits YYMMDD naming a day of some century: month 01 to 12, day 00 (the month's last
// day) up to the month's length, 29 February in any year divisible by four.
bool Gs1DateDigitsValid(std::string_view yymmdd);

// The day YYMMDD names, its century chosen by GS1's sliding window around `referenceYear`
// (from 49 years before it to 50 after); day 00 becomes the month's last day. Nothing when the
// digits are no date, or name 29 February of a century year that has none.
std::optional<Gs1Date> Gs1DateNear(std::string_view yymmdd, int referenceYear);

}  // namespace tallivo

#pragma once

#include <cstddef>
#include <optional>
#include <string_view>

namespace tallivo {

// The application identifiers read in a GS1 element string: the part of GS1's table that a
// trade item or its label carries.
struct Gs1ApplicationIdentifier {
    std::string_view code;      // "01", "10", or the first three digits of "310n"
    char lastDigitUpTo = 0;     // '5' for 310n (3100 to 3105): the fourth digit places the decimal point
    bool fixedLength = false;   // the value has exactly maxLength characters
    std::size_t maxLength = 0;  // the value's length when fixed
    bool digitsOnly = false;    // otherwise the 82 characters GS1 allows
    bool yymmdd = false;        // a date; day 00 is the month's last day
    std::size_t length() const { return code.size() + (lastDigitUpTo != 0 ? 1 : 0); }
};

// The identifier `data` starts with; nothing when it starts with none of the table's.
// Identifiers never begin with another one, so the first match is the only one.
const Gs1ApplicationIdentifier* FindGs1ApplicationIdentifier(std::string_view data);

// The value meets the identifier's length, characters and, for a date, its calendar.
bool Gs1ValueFits(const Gs1ApplicationIdentifier& identifier, std::string_view value);

}  // namespace tallivo

#include "common/gs1_application_identifiers.h"

#include <array>

#include "common/gs1_dates.h"

namespace tallivo {

namespace {

constexpr bool kFixed = true;
constexpr bool kVariable = false;
constexpr bool kDigits = true;
constexpr bool kCharacters = false;

constexpr std::array<Gs1ApplicationIdentifier, 41> kTable{{
    {"00", 0, kFixed, 18, kDigits, false},  // SSCC
    {"01", 0, kFixed, 14, kDigits, false},  // GTIN
    {"02", 0, kFixed, 14, kDigits, false},  // GTIN of the contents
    {"03", 0, kFixed, 14, kDigits, false},
    {"10", 0, kVariable, 20, kCharacters, false},  // batch or lot
    {"11", 0, kFixed, 6, kDigits, true},           // production date
    {"12", 0, kFixed, 6, kDigits, true},
    {"13", 0, kFixed, 6, kDigits, true},  // packaging date
    {"15", 0, kFixed, 6, kDigits, true},  // best before
    {"16", 0, kFixed, 6, kDigits, true},
    {"17", 0, kFixed, 6, kDigits, true},  // expiry
    {"20", 0, kFixed, 2, kDigits, false},
    {"21", 0, kVariable, 20, kCharacters, false},  // serial number
    {"22", 0, kVariable, 20, kCharacters, false},
    {"240", 0, kVariable, 30, kCharacters, false},
    {"241", 0, kVariable, 30, kCharacters, false},
    {"250", 0, kVariable, 30, kCharacters, false},
    {"251", 0, kVariable, 30, kCharacters, false},
    {"30", 0, kVariable, 8, kDigits, false},  // count of items
    {"310", '5', kFixed, 6, kDigits, false},  // net weight, kg
    {"320", '5', kFixed, 6, kDigits, false},  // net weight, lb
    {"330", '5', kFixed, 6, kDigits, false},  // gross weight, kg
    {"37", 0, kVariable, 8, kDigits, false},  // count of trade items contained
    {"390", '9', kVariable, 15, kDigits, false},
    {"392", '9', kVariable, 15, kDigits, false},  // price of a variable-measure item
    {"400", 0, kVariable, 30, kCharacters, false},
    {"401", 0, kVariable, 30, kCharacters, false},
    {"402", 0, kFixed, 17, kDigits, false},
    {"403", 0, kVariable, 30, kCharacters, false},
    {"410", 0, kFixed, 13, kDigits, false},
    {"411", 0, kFixed, 13, kDigits, false},
    {"412", 0, kFixed, 13, kDigits, false},
    {"413", 0, kFixed, 13, kDigits, false},
    {"414", 0, kFixed, 13, kDigits, false},
    {"415", 0, kFixed, 13, kDigits, false},
    {"416", 0, kFixed, 13, kDigits, false},
    {"417", 0, kFixed, 13, kDigits, false},
    {"420", 0, kVariable, 20, kCharacters, false},
    {"422", 0, kFixed, 3, kDigits, false},
    {"7003", 0, kFixed, 10, kDigits, false},
    {"8200", 0, kVariable, 70, kCharacters, false},
}};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// GS1's character set 82: letters, digits and these, by byte, whatever the code page.
bool IsGs1Character(char c) {
    constexpr std::string_view kPunctuation = "!\"%&'()*+,-./:;<=>?_";
    return IsDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
           kPunctuation.find(c) != std::string_view::npos;
}

}  // namespace

const Gs1ApplicationIdentifier* FindGs1ApplicationIdentifier(std::string_view data) {
    for (const Gs1ApplicationIdentifier& identifier : kTable) {
        if (data.substr(0, identifier.code.size()) != identifier.code) continue;
        if (identifier.lastDigitUpTo == 0) return &identifier;
        if (data.size() > identifier.code.size() && IsDigit(data[identifier.code.size()]) &&
            data[identifier.code.size()] <= identifier.lastDigitUpTo)
            return &identifier;
    }
    return nullptr;
}

bool Gs1ValueFits(const Gs1ApplicationIdentifier& identifier, std::string_view value) {
    if (identifier.fixedLength ? value.size() != identifier.maxLength
                               : value.empty() || value.size() > identifier.maxLength)
        return false;
    for (const char c : value)
        if (identifier.digitsOnly ? !IsDigit(c) : !IsGs1Character(c)) return false;
    return !identifier.yymmdd || Gs1DateDigitsValid(value);
}

}  // namespace tallivo

#include "common/gs1_dates.h"

namespace tallivo {

namespace {

int TwoDigits(std::string_view text) {
    return (text[0] - '0') * 10 + (text[1] - '0');
}

int DaysInMonth(int year, int month) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
    return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

bool Gs1DateDigitsValid(std::string_view yymmdd) {
    if (yymmdd.size() != 6) return false;
    for (const char c : yymmdd)
        if (c < '0' || c > '9') return false;
    const int month = TwoDigits(yymmdd.substr(2));
    if (month < 1 || month > 12) return false;
    // Year 2000 stands for every year divisible by four: the century is not known yet.
    const int year = TwoDigits(yymmdd) % 4 == 0 ? 2000 : 2001;
    return TwoDigits(yymmdd.substr(4)) <= DaysInMonth(year, month);
}

std::optional<Gs1Date> Gs1DateNear(std::string_view yymmdd, int referenceYear) {
    if (!Gs1DateDigitsValid(yymmdd)) return std::nullopt;
    const int twoDigitYear = TwoDigits(yymmdd);
    const int difference = twoDigitYear - referenceYear % 100;
    Gs1Date date;
    date.year = referenceYear - referenceYear % 100 + twoDigitYear;
    if (difference >= 51) date.year -= 100;
    if (difference <= -50) date.year += 100;
    date.month = TwoDigits(yymmdd.substr(2));
    date.day = TwoDigits(yymmdd.substr(4));
    const int lastDay = DaysInMonth(date.year, date.month);
    if (date.day == 0) date.day = lastDay;
    if (date.day > lastDay) return std::nullopt;
    return date;
}

}  // namespace tallivo

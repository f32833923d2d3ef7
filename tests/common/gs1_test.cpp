#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/gs1_check_digit.h"
#include "common/gs1_dates.h"
#include "common/spreadsheet_rows.h"

namespace tallivo {
namespace {

// Numbers from GS1's own documents and barcode examples, each with its last digit changed.
TEST(Gs1Test, CheckDigit) {
    const std::vector<std::string> valid{"6291041500213",  "09506000134352",     "09506000134376",
                                         "10614141000415", "00614141123452",     "95012345678903",
                                         "96385074",       "106141411234567897", "036000291452"};
    for (const std::string& digits : valid) {
        SCOPED_TRACE(digits);
        EXPECT_TRUE(Gs1CheckDigitHolds(digits));
        std::string changed = digits;
        changed.back() = changed.back() == '9' ? '0' : static_cast<char>(changed.back() + 1);
        EXPECT_FALSE(Gs1CheckDigitHolds(changed));
    }
    EXPECT_FALSE(Gs1CheckDigitHolds("4006381333A31"));
    EXPECT_FALSE(Gs1CheckDigitHolds(""));
}

// The century by GS1's sliding window: up to 50 years ahead of the reference year, 49 back.
TEST(Gs1Test, DatesNearTheReferenceYear) {
    struct Row {
        const char* yymmdd;
        int referenceYear;
        std::optional<Gs1Date> date;
    };
    const std::vector<Row> rows{
        {"271231", 2026, Gs1Date{2027, 12, 31}}, {"280200", 2026, Gs1Date{2028, 2, 29}},
        {"270200", 2026, Gs1Date{2027, 2, 28}},  {"240400", 2026, Gs1Date{2024, 4, 30}},
        {"760101", 2026, Gs1Date{2076, 1, 1}},   {"770101", 2026, Gs1Date{1977, 1, 1}},
        {"990101", 2001, Gs1Date{1999, 1, 1}},   {"250101", 2075, Gs1Date{2125, 1, 1}},
        {"260101", 2075, Gs1Date{2026, 1, 1}},   {"000229", 2040, Gs1Date{2000, 2, 29}},
        {"000229", 2070, std::nullopt},  // 2100 has no 29 February
        {"271301", 2026, std::nullopt},          {"270431", 2026, std::nullopt},
        {"270229", 2026, std::nullopt},          {"2712A1", 2026, std::nullopt},
        {"27123", 2026, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.yymmdd) + " near " + std::to_string(row.referenceYear));
        EXPECT_EQ(Gs1DateNear(row.yymmdd, row.referenceYear), row.date);
    }
}

// The barcode forms, each application identifier's length and characters, and what does not
// parse whole staying a plain barcode (a GTIN only when it is 8, 12, 13 or 14 digits).
TEST(Gs1Test, ArticleOfBarcode) {
    struct Row {
        std::string barcode;
        const char* gtin;
        const char* batch;
        std::optional<Gs1Date> expiry;
        std::string serial;
        bool checkDigitWrong;
    };
    const auto Raw = [](std::string_view spaced) {
        std::string raw;
        for (const char c : spaced)
            if (c != ' ') raw.push_back(c == '|' ? '\x1d' : c);
        return raw;
    };
    const std::vector<Row> rows{
        // Plain barcodes.
        {"4006381333931", "04006381333931", "", std::nullopt, "", false},
        {"036000291452", "00036000291452", "", std::nullopt, "", false},
        {"96385074", "00000096385074", "", std::nullopt, "", false},
        {"95012345678903", "95012345678903", "", std::nullopt, "", false},
        {"4006381333932", "04006381333932", "", std::nullopt, "", true},
        {"400638133393", "00400638133393", "", std::nullopt, "", true},
        {"0004006381333931", "", "", std::nullopt, "", false},
        {"1234567", "", "", std::nullopt, "", false},
        {"40063813339 1", "", "", std::nullopt, "", false},
        {"", "", "", std::nullopt, "", false},
        // Raw element strings behind a symbology identifier; "|" stands for byte 29 here.
        {Raw("]C1 01 04006381333931 17 271231 10 AB12| 21 XYZ"), "04006381333931", "AB12",
         Gs1Date{2027, 12, 31}, "XYZ", false},
        {Raw("]d2 01 09506000134352 17 280200 10 L-7/b|"), "09506000134352", "L-7/b", Gs1Date{2028, 2, 29},
         "", false},
        {Raw("]Q3 01 09506000134352| 21 S1| 10 L1"), "09506000134352", "L1", std::nullopt, "S1", false},
        {Raw("]e0 01 09506000134352 3103 000195 3922 123"), "09506000134352", "", std::nullopt, "", false},
        {Raw("]C1 00 106141411234567897 02 09506000134352 37 24"), "", "", std::nullopt, "", false},
        {Raw("]C1 11 260101 13 260101 15 260101 30 5| 01 04006381333931"), "04006381333931", "", std::nullopt,
         "", false},
        {Raw("]C1 01 04006381333932 21 xxxxxxxxxxxxxxxxxxxx"), "04006381333932", "", std::nullopt,
         "xxxxxxxxxxxxxxxxxxxx", true},
        {Raw("]C1 01 04006381333931 21 xxxxxxxxxxxxxxxxxxxxx"), "", "", std::nullopt, "", false},
        {Raw("]C1 01 04006381333931 17 271301"), "", "", std::nullopt, "", false},
        {Raw("]C1 01 0400638133393"), "", "", std::nullopt, "", false},
        {Raw("]C1 01 04006381333931 3106 000195"), "", "", std::nullopt, "", false},
        {Raw("]C1 01 04006381333931 99 ABC"), "", "", std::nullopt, "", false},
        {Raw("]C1 01 04006381333931 10 A") + " B", "", "", std::nullopt, "", false},
        {Raw("]C1 01 04006381333931 30 123456789"), "", "", std::nullopt, "", false},
        {Raw("]C1 01 04006381333931 01 09506000134352"), "", "", std::nullopt, "", false},
        {"]C1", "", "", std::nullopt, "", false},
        {Raw("]C2 01 04006381333931"), "", "", std::nullopt, "", false},
        // The bracketed form.
        {"(01)04006381333931(17)271231(10)AB12", "04006381333931", "AB12", Gs1Date{2027, 12, 31}, "", false},
        {"(01)04006381333931(3103)000195(3922)123(21)1", "04006381333931", "", std::nullopt, "1", false},
        {"(01)04006381333931(17)27123", "", "", std::nullopt, "", false},
        {"(01)04006381333931(10)", "", "", std::nullopt, "", false},
        {"(01)04006381333931(1)7", "", "", std::nullopt, "", false},
        {"(01)04006381333931 (10)AB", "", "", std::nullopt, "", false},
        {"(01)04006381333931(10", "", "", std::nullopt, "", false},
        // GS1 Digital Link addresses.
        {"https://id.gs1.org/01/09506000134352/10/ABC%2F1/21/XYZ", "09506000134352", "ABC/1", std::nullopt,
         "XYZ", false},
        {"HTTP://example.com/shop/01/9506000134352?17=271231&linkType=gs1:pip", "09506000134352", "",
         Gs1Date{2027, 12, 31}, "", false},
        {"https://example.com/01/09506000134352/10", "", "", std::nullopt, "", false},
        {"https://example.com/01/09506000134352?17=271331", "", "", std::nullopt, "", false},
        {"https://example.com/01/09506000134352/10/A%2", "", "", std::nullopt, "", false},
        {"https://example.com/10/ABC", "", "", std::nullopt, "", false},
        {"https:/01/09506000134352", "", "", std::nullopt, "", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.barcode);
        const SheetArticle article = ArticleOfBarcode(row.barcode, 2026);
        EXPECT_EQ(article.gtin, row.gtin);
        EXPECT_EQ(article.batch, row.batch);
        EXPECT_EQ(article.expiry, row.expiry);
        EXPECT_EQ(article.serial, row.serial);
        EXPECT_EQ(article.checkDigitWrong, row.checkDigitWrong);
    }
}

}  // namespace
}  // namespace tallivo

#include "common/record_layout.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "common/settings.h"
#include "common/spreadsheet_rows.h"

namespace tallivo {
namespace {

using namespace std::string_literals;

// The record settings as the configuration defaults have them.
Settings DefaultRecordSettings() {
    Settings s;
    s.RecordHeaderChar = "NONE";
    s.BarcodeSeparator = "124";
    s.QuantitySeparator = "124";
    s.DateSeparator = "124";
    s.RecordTerminator = "124";
    s.BarcodeFixedLength = "0";
    s.QuantityFixedLength = "0";
    s.BarcodeLength = "VARIABLE";
    s.QuantityLength = "VARIABLE";
    s.BarcodeFiller = "NONE";
    s.QuantityFiller = "NONE";
    s.BarcodeJustify = "L";
    s.QuantityJustify = "L";
    s.HideDateTime = "0";
    return s;
}

std::function<void(Settings&)> FixedBarcode(std::string length, std::string filler, std::string side) {
    return [=](Settings& s) {
        s.BarcodeFixedLength = "1";
        s.BarcodeLength = length;
        s.BarcodeFiller = filler;
        s.BarcodeJustify = side;
    };
}

std::function<void(Settings&)> FixedQuantity(std::string length, std::string filler, std::string side) {
    return [=](Settings& s) {
        s.QuantityFixedLength = "1";
        s.QuantityLength = length;
        s.QuantityFiller = filler;
        s.QuantityJustify = side;
    };
}

struct FormatCase {
    const char* name;
    std::string input;
    std::function<void(Settings&)> change;
    std::string expected;
    bool formatted;
};

void NoChange(Settings&) {}

void AllNone(Settings& s) {
    s.RecordHeaderChar = s.BarcodeSeparator = s.QuantitySeparator = s.DateSeparator = s.RecordTerminator =
        "NONE";
}

const std::string kLine = "4006381333931;0005;A;B;01/02/2003;10:20";

TEST(RecordLayoutTest, FormatRecordGivesTheExactBytes) {
    const FormatCase cases[] = {
        {"defaults", kLine, NoChange, "4006381333931|5|01/02/2003|10:20|", true},
        {"hidden date and time", kLine, [](Settings& s) { s.HideDateTime = "1"; }, "4006381333931|5|", true},
        {"HideDateTime other than exactly 0", kLine, [](Settings& s) { s.HideDateTime = " 0"; },
         "4006381333931|5|", true},
        {"exactly four separators: time is the whole line", "123;2;A;B;01/02/2003", NoChange,
         "123|2|01/02/2003|123;2;A;B;01/02/2003|", true},
        {"three separators: short layout", "123;2;A;B", NoChange, "123|2|", true},
        {"two separators: short layout", "123;2;", NoChange, "123|2|", true},
        {"short date field", "123;2;A;B;01/0", NoChange, "123|2|01/0|123;2;A;B;01/0|", true},
        {"date keeps ten characters", "1;1;;;2003-01-02XYZ;t", NoChange, "1|1|2003-01-02|t|", true},
        {"time holds further separators", "1;1;;;01/02/2003;t;u", NoChange, "1|1|01/02/2003|t;u|", true},
        {"a short date reaches into the time", "1;1;;;d;t", NoChange, "1|1|d;t|t|", true},
        {"all NONE", kLine, AllNone, "4006381333931501/02/200310:20", true},
        {"all NONE short", kLine,
         [](Settings& s) {
             AllNone(s);
             s.HideDateTime = "1";
         },
         "40063813339315", true},
        {"record header and tab separator", "A;1;x;y;0123456789;t",
         [](Settings& s) {
             s.RecordHeaderChar = "35";
             s.BarcodeSeparator = "9";
             s.RecordTerminator = "13.5";
         },
         "#A\t1|0123456789|t\x0e", true},
        {"blank line", "", NoChange, "", false},
        {"no separator", "4006381333931", NoChange, "4006381333931", false},
        {"one separator", "4006381333931;5", NoChange, "4006381333931;5", false},
        {"quantity plain form", "B;  -003.50kg;x", NoChange, "B|-3.5|", true},
        {"empty quantity", "B;;x", NoChange, "B|0|", true},
        {"quantity with text", "B;12 PCS;x", NoChange, "B|12|", true},
        {"huge quantity cannot be formatted", "B;" + std::string(400, '9') + ";x", NoChange,
         "B;" + std::string(400, '9') + ";x", false},
        {"bytes 128-255 and NUL pass through",
         "\xe9\x00\xff;1;a;b;\x80\x00"
         "d4567890;\x01\xfe"s,
         NoChange,
         "\xe9\x00\xff|1|\x80\x00"
         "d4567890|\x01\xfe|"s,
         true},
        {"separator byte 200", "A;1;", [](Settings& s) { s.BarcodeSeparator = "200"; },
         "A\xc8"
         "1|",
         true},
        {"separator byte 0", "A;1;", [](Settings& s) { s.BarcodeSeparator = "0"; },
         "A\x00"
         "1|"s,
         true},

        // Fixed length fitting.
        {"barcode 123 L", "123;1;", FixedBarcode("8", "48", "L"), "00000123|1|", true},
        {"barcode 123 R", "123;1;", FixedBarcode("8", "48", "R"), "12300000|1|", true},
        {"barcode 1234567890 L", "1234567890;1;", FixedBarcode("8", "48", "L"), "12345678|1|", true},
        {"barcode 1234567890 R", "1234567890;1;", FixedBarcode("8", "48", "R"), "34567890|1|", true},
        {"barcode exact length", "12345678;1;", FixedBarcode("8", "48", "L"), "12345678|1|", true},
        {"barcode N pads after", "123;1;", FixedBarcode("8", "32", "N"), "123     |1|", true},
        {"barcode N too long", "1234567890;1;", FixedBarcode("8", "48", "N"), "1234567890;1;", false},
        {"VARIABLE with L empties the barcode", "123;1;", FixedBarcode("VARIABLE", "48", "L"), "|1|", true},
        {"VARIABLE with R empties the barcode", "123;1;", FixedBarcode("VARIABLE", "48", "R"), "|1|", true},
        {"filler NONE is byte 0", "12;1;", FixedBarcode("4", "NONE", "L"),
         "\x00\x00"
         "12|1|"s,
         true},
        {"filler out of range", "12;1;", FixedBarcode("4", "256", "L"), "12;1;", false},
        {"filler out of range with nothing to pad", "1234;1;", FixedBarcode("4", "-1", "L"), "1234;1;",
         false},
        {"negative length", "12;1;", FixedBarcode("-3", "48", "L"), "12;1;", false},
        {"absurd length", "12;1;", FixedBarcode("4000000000", "48", "L"), "12;1;", false},
        {"length rounds half to even", "1;1;", FixedBarcode("2.5", "48", "L"), "01|1|", true},
        {"flag other than exactly 1 fits nothing", "123;1;",
         [](Settings& s) {
             FixedBarcode("8", "48", "L")(s);
             s.BarcodeFixedLength = "yes";
         },
         "123|1|", true},
        {"quantity L", "B;0005;", FixedQuantity("6", "48", "L"), "B|000005|", true},
        {"quantity R cuts the start", "B;-12.75;", FixedQuantity("3", "48", "R"), "B|.75|", true},
        {"quantity N too long", "B;12345;", FixedQuantity("3", "48", "N"), "B;12345;", false},
        {"both fitted, full layout", kLine,
         [](Settings& s) {
             FixedBarcode("5", "48", "R")(s);
             FixedQuantity("4", "32", "L")(s);
         },
         "33931|   5|01/02/2003|10:20|", true},
    };
    for (const FormatCase& c : cases) {
        Settings settings = DefaultRecordSettings();
        c.change(settings);
        const RecordLayoutResult layout = MakeRecordLayout(settings);
        ASSERT_TRUE(layout.ok()) << c.name;
        std::string line = c.input;
        EXPECT_EQ(FormatRecord(line, layout.layout), c.formatted) << c.name;
        EXPECT_EQ(line, c.expected) << c.name;
    }
}

TEST(RecordLayoutTest, MakeRecordLayoutReadsCharacterSettings) {
    Settings settings = DefaultRecordSettings();
    settings.RecordHeaderChar = "NONE";
    settings.BarcodeSeparator = " 9";
    settings.QuantitySeparator = "12.5";
    settings.DateSeparator = "none";  // only the exact word means nothing: reads as 0
    settings.RecordTerminator = "255";
    const RecordLayoutResult result = MakeRecordLayout(settings);
    ASSERT_TRUE(result.ok());
    EXPECT_FALSE(result.layout.RecordHeaderChar.has_value());
    EXPECT_EQ(result.layout.BarcodeSeparator, '\t');
    EXPECT_EQ(result.layout.QuantitySeparator, '\x0c');
    EXPECT_EQ(result.layout.DateSeparator, '\0');
    EXPECT_EQ(result.layout.RecordTerminator, '\xff');
}

TEST(RecordLayoutTest, MakeRecordLayoutNamesTheFirstBadSetting) {
    Settings settings = DefaultRecordSettings();
    settings.QuantitySeparator = "256";
    settings.RecordTerminator = "-1";
    const RecordLayoutResult result = MakeRecordLayout(settings);
    EXPECT_FALSE(result.ok());
    EXPECT_EQ(result.badSetting, "QuantitySeparator");
    EXPECT_EQ(result.badValue, "256");
    EXPECT_EQ(result.layout.BarcodeSeparator, '|');
}

TEST(RecordLayoutTest, RepeatedCallsDoNotLeakEarlierRecords) {
    const RecordLayout layout = MakeRecordLayout(DefaultRecordSettings()).layout;
    std::string first = kLine;
    std::string second = "9;2;";
    ASSERT_TRUE(FormatRecord(first, layout));
    ASSERT_TRUE(FormatRecord(second, layout));
    EXPECT_EQ(first, "4006381333931|5|01/02/2003|10:20|");
    EXPECT_EQ(second, "9|2|");
}

// The spreadsheet's split of a line, beside the text output's: the same fields, but a missing
// time is an empty cell and a line the text output leaves alone goes whole into column 1.
TEST(RecordLayoutTest, SplitForSheetKeepsTheDeliveredFields) {
    struct Row {
        std::string line;
        const char* hide;
        bool split;
        const char* barcode;
        double quantity;
        bool dated;
        const char* date;
        const char* time;
    };
    const std::vector<Row> rows{
        {"0004006381333931;0005;A;B;01/02/2003;10:20", "0", true, "0004006381333931", 5, true, "01/02/2003",
         "10:20"},
        {"123;3.50;x;y;31/12/2004", "0", true, "123", 3.5, true, "31/12/2004", ""},
        {"123;12 PCS;x;y;01/2;10:20", "0", true, "123", 12, true, "01/2", "10:20"},
        {"123;;x;y;01/02/2003;10:20", "1", true, "123", 0, false, "", ""},
        {"123;7;x", "0", true, "123", 7, false, "", ""},
        {"no semicolon here", "0", false, "no semicolon here", 0, false, "", ""},
        {"123;1" + std::string(400, '0') + ";x", "0", false, "", 0, false, "", ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        Settings settings = WizardDefaults();
        settings.HideDateTime = row.hide;
        const RecordLayout layout = MakeRecordLayout(settings).layout;
        const SheetRecord record = SplitForSheet(row.line, layout);
        EXPECT_EQ(record.split, row.split);
        EXPECT_EQ(record.barcode, row.split ? std::string(row.barcode) : row.line);
        EXPECT_EQ(record.quantity, row.quantity);
        EXPECT_EQ(record.dated, row.dated);
        EXPECT_EQ(record.date, row.date);
        EXPECT_EQ(record.time, row.time);
    }
    ArticleTotals totals;
    totals.add("0005", 2);
    totals.add("5", 1);
    totals.add("0005", 0.5);
    ASSERT_EQ(totals.totals().size(), 2u);
    EXPECT_EQ(totals.totals()[0].barcode, "0005");
    EXPECT_EQ(totals.totals()[0].quantity, 2.5);
    EXPECT_EQ(totals.totals()[0].lines, 2u);
    EXPECT_EQ(totals.totals()[1].barcode, "5");
    // The articles: a UPC-A and its EAN-13 are one GTIN; batches under their GTIN, in order.
    GtinTotals gtins;
    for (const auto& [barcode, quantity] :
         std::vector<std::pair<std::string, double>>{{"(01)00036000291452(10)B2", 1},
                                                     {"036000291452", 2},
                                                     {"(01)00036000291452(10)B1(21)7", 4},
                                                     {"no article", 8},
                                                     {"0036000291452", 16},
                                                     {"(01)00036000291452(10)B2(21)8", 32},
                                                     {"96385074", 64}})
        gtins.add(ArticleOfBarcode(barcode, 2026), quantity);
    ASSERT_EQ(gtins.gtins().size(), 2u);
    const GtinTotals::Gtin& upc = gtins.gtins()[0];
    EXPECT_EQ(upc.gtin, "00036000291452");
    EXPECT_EQ(upc.quantity, 55);
    EXPECT_EQ(upc.lines, 5u);
    ASSERT_EQ(upc.batches.size(), 2u);
    EXPECT_EQ(upc.batches[0].batch, "B2");
    EXPECT_EQ(upc.batches[0].quantity, 33);
    EXPECT_EQ(upc.batches[0].lines, 2u);
    EXPECT_EQ(upc.batches[1].batch, "B1");
    EXPECT_EQ(upc.batches[1].quantity, 4);
    EXPECT_EQ(gtins.gtins()[1].gtin, "00000096385074");
    EXPECT_TRUE(gtins.gtins()[1].batches.empty());
    EXPECT_EQ(SheetText(std::string("a\0b", 3)),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(SheetTextWidth(SheetText(std::string(kCellCharacters + 5, 'x'))), kCellCharacters);
}

}  // namespace
}  // namespace tallivo

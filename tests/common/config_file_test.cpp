#include "common/config_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/delivery_options.h"
#include "support/test_files.h"

namespace tallivo {
namespace {

using tallivo::testing::kWorkedExample;
using tallivo::testing::TempFolder;
using tallivo::testing::WriteFile;

Settings SavedWizardDefaults() {
    Settings settings = WizardDefaults();
    settings.OutputFolder = "\\";
    return settings;
}

std::string ReplaceAll(std::string text, std::string_view from, std::string_view to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// A settings record whose every quoted value is `value`; the bare one stays a number.
Settings AllQuotedValues(const std::string& value) {
    Settings settings;
    for (const SettingField& field : kSettingFields) settings.*field.member = value;
    settings.EndOfFileMessageOn = "0";
    return settings;
}

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ConfigFile, WorkedExampleIsWrittenByteForByte) {
    const ConfigurationText text = FormatConfiguration(SavedWizardDefaults());
    ASSERT_TRUE(text.ok());
    EXPECT_EQ(text.bytes, kWorkedExample);
}

TEST(ConfigFile, WorkedExampleReadsAsSavedDefaults) {
    EXPECT_EQ(ParseConfiguration(kWorkedExample), SavedWizardDefaults());
}

TEST(ConfigFile, LayoutVariantsReadTheSame) {
    const std::string example(kWorkedExample);
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases{
        {"LF only", ReplaceAll(example, "\r\n", "\n")},
        {"lone CR", ReplaceAll(example, "\r\n", "\r")},
        {"all on one line", ReplaceAll(example.substr(0, example.size() - 2), "\r\n", ",") + "\r\n"},
        {"no final line end", example.substr(0, example.size() - 2)},
        {"blank lines between, before and after",
         "\r\n\n" + ReplaceAll(example, "\r\n", "\r\n\r\n") + "\r\n"},
        {"blank-only lines", ReplaceAll(example, "\r\n", "\r\n  \t\r\n")},
        {"28 and more values", example + "\"extra\",\"more\"\r\n1,2,3\r\n"},
        {"unterminated quote after the 27th", example + "\"never closed"},
        {"bare value quoted", ReplaceAll(example, "1,\"<EOT>\"", "\"1\",\"<EOT>\"")},
        {"blanks around bare and quoted values",
         ReplaceAll(ReplaceAll(example, "1,\"<EOT>\"", " \t1 , \"<EOT>\""), "\"N\",\"N\"",
                    "\"N\" ,\t\"N\"  ")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseConfiguration(c.bytes), SavedWizardDefaults()) << c.name;
    }
}

TEST(ConfigFile, IncompleteInputsFail) {
    const std::string example(kWorkedExample);
    const std::string withoutLastLine = example.substr(0, example.rfind("\"\\\""));
    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases{
        {"empty", ""},
        {"only line ends and blanks", "\r\n\r\n \t\n\r"},
        {"26 values", withoutLastLine},
        {"26 values and a comma at the end", withoutLastLine.substr(0, withoutLastLine.size() - 2) + ","},
        {"27th quote never closed", withoutLastLine + "\"C:\\data\r\n"},
        {"a quote opened early swallows the rest", ReplaceAll(example, "\"OUTPUT.TXT\"", "\"OUTPUT.TXT")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ParseConfiguration(c.bytes), std::nullopt) << c.name;
    }
}

TEST(ConfigFile, EveryPrefixOfTheWorkedExampleFailsUntilTheLastValueIsComplete) {
    // The 27th value is complete once its closing quote is there; the line end may be cut off.
    const std::size_t shortestComplete = kWorkedExample.size() - 2;
    for (std::size_t length = 0; length <= kWorkedExample.size(); ++length) {
        // A copy of exactly this length, so a read past its end is caught by a sanitizer build.
        const std::string prefix(kWorkedExample.substr(0, length));
        const std::optional<Settings> settings = ParseConfiguration(prefix);
        if (length < shortestComplete) {
            EXPECT_EQ(settings, std::nullopt) << "prefix length " << length;
        } else {
            EXPECT_EQ(settings, SavedWizardDefaults()) << "prefix length " << length;
        }
    }
}

TEST(ConfigFile, QuotedValuesKeepCommasLineBreaksAndBlanks) {
    std::string bytes = "\"a,b\",\" two\r\nlines \",\"\"\r\n";
    for (int i = 3; i < 27; ++i) bytes += "\"v" + std::to_string(i) + "\"\r\n";
    const std::optional<Settings> settings = ParseConfiguration(bytes);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->OutputFileName, "a,b");
    EXPECT_EQ(settings->FileHeaderMode, " two\r\nlines ");
    EXPECT_EQ(settings->FileHeaderValue, "");
    EXPECT_EQ(settings->RecordHeaderChar, "v3");
    EXPECT_EQ(settings->OutputFolder, "v26");
}

TEST(ConfigFile, CommaBeforeLineEndGivesAnEmptyValue) {
    std::string bytes = "\"a\",\r\n";
    for (int i = 2; i < 27; ++i) bytes += "\"v" + std::to_string(i) + "\"\r\n";
    const std::optional<Settings> settings = ParseConfiguration(bytes);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->OutputFileName, "a");
    EXPECT_EQ(settings->FileHeaderMode, "");
    EXPECT_EQ(settings->FileHeaderValue, "v2");
    EXPECT_EQ(settings->OutputFolder, "v26");
}

TEST(ConfigFile, WriteThenReadKeepsEveryValue) {
    std::vector<Settings> cases{WizardDefaults(), SavedWizardDefaults(), PollingDefaults()};

    Settings odd = SavedWizardDefaults();
    odd.OutputFileName = " out, put .txt ";
    odd.FileHeaderMode = "2";
    odd.FileHeaderValue = "HEADER\r\nSECOND LINE\rTHIRD\n";
    odd.FileTerminatorValue = ",,,";
    odd.EndOfFileMessageOn = "0";
    odd.EndOfFileMessage = "NONE";
    odd.ComPort = "Com-255";
    odd.OutputFolder = "C:\\My Data, 2024\\";
    odd.HideDateTime = "1";
    cases.push_back(odd);

    Settings negative = SavedWizardDefaults();
    negative.EndOfFileMessageOn = "-1";
    cases.push_back(negative);

    // Every byte value except the double quote, at the start, inside and at the end of each value.
    std::string everyByte;
    for (int code = 0; code < 256; ++code) {
        if (code != '"') everyByte += static_cast<char>(code);
    }
    cases.push_back(AllQuotedValues(everyByte));
    for (int code = 0; code < 256; ++code) {
        if (code == '"') continue;
        const char c = static_cast<char>(code);
        cases.push_back(AllQuotedValues(std::string(1, c)));
        cases.push_back(AllQuotedValues(std::string{c, 'x', c, c, 'y', c}));
    }
    cases.push_back(AllQuotedValues(""));
    cases.push_back(AllQuotedValues("   "));

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const ConfigurationText text = FormatConfiguration(cases[i]);
        ASSERT_TRUE(text.ok()) << "case " << i << " refused " << text.refusedSetting;
        EXPECT_EQ(ParseConfiguration(text.bytes), cases[i]) << "case " << i;
    }
}

TEST(ConfigFile, WriteThenReadThroughAFile) {
    TempFolder folder;
    const std::filesystem::path path = folder.path() / "orvwizard.cfg";
    Settings settings = AllQuotedValues("a,b\r\n\xe9\xff");
    settings.OutputFolder = "\\";
    ASSERT_EQ(WriteConfigurationFile(path, settings), WriteOutcome::Written);
    EXPECT_EQ(ReadConfigurationFile(path), settings);

    // A longer file is emptied before the new content goes in.
    WriteFile(path, std::string(5000, 'x'));
    ASSERT_EQ(WriteConfigurationFile(path, SavedWizardDefaults()), WriteOutcome::Written);
    EXPECT_EQ(ReadBytes(path), kWorkedExample);
    EXPECT_EQ(ReadConfigurationFile(path), SavedWizardDefaults());
}

TEST(ConfigFile, ValuesTheFormatCannotHoldAreRefused) {
    struct Case {
        std::string Settings::*member;
        std::string value;
        const char* refused;
    };
    const std::vector<Case> cases{
        {&Settings::OutputFileName, "OUT\"PUT.TXT", "OutputFileName"},
        {&Settings::FileHeaderValue, "\"", "FileHeaderValue"},
        {&Settings::OutputFolder, "C:\\\"data\"", "OutputFolder"},
        {&Settings::EndOfFileMessageOn, "", "EndOfFileMessageOn"},
        {&Settings::EndOfFileMessageOn, "1a", "EndOfFileMessageOn"},
        {&Settings::EndOfFileMessageOn, " 1", "EndOfFileMessageOn"},
        {&Settings::EndOfFileMessageOn, "1,2", "EndOfFileMessageOn"},
        {&Settings::EndOfFileMessageOn, "-", "EndOfFileMessageOn"},
        {&Settings::EndOfFileMessageOn, "\"1\"", "EndOfFileMessageOn"},
    };
    TempFolder folder;
    const std::filesystem::path path = folder.path() / "orvwizard.cfg";
    for (const Case& c : cases) {
        Settings settings = SavedWizardDefaults();
        settings.*c.member = c.value;
        const ConfigurationText text = FormatConfiguration(settings);
        EXPECT_EQ(text.refusedSetting, c.refused) << c.value;
        EXPECT_EQ(text.bytes, "") << c.value;

        WriteFile(path, "previous");
        EXPECT_EQ(WriteConfigurationFile(path, settings), WriteOutcome::RefusedQuote) << c.value;
        EXPECT_EQ(ReadBytes(path), "previous") << c.value;
    }

    Settings two = SavedWizardDefaults();
    two.OutputFolder = "\"";
    two.ComPort = "\"";
    EXPECT_EQ(FormatConfiguration(two).refusedSetting, "ComPort");
}

TEST(ConfigFile, UnwritablePlacesReportCannotWrite) {
    TempFolder folder;
    EXPECT_EQ(WriteConfigurationFile(folder.path() / "missing" / "orvwizard.cfg", SavedWizardDefaults()),
              WriteOutcome::CannotWrite);
    EXPECT_EQ(WriteConfigurationFile(folder.path(), SavedWizardDefaults()), WriteOutcome::CannotWrite);
#ifdef __linux__
    // A device that is always full: the open succeeds and only the flush at close fails.
    if (std::filesystem::exists("/dev/full")) {
        EXPECT_EQ(WriteConfigurationFile("/dev/full", SavedWizardDefaults()), WriteOutcome::CannotWrite);
    }
#endif
}

TEST(ConfigFile, UnreadableFilesGiveNothing) {
    TempFolder folder;
    EXPECT_EQ(ReadConfigurationFile(folder.path() / "missing.cfg"), std::nullopt);
    EXPECT_EQ(ReadConfigurationFile(folder.path()), std::nullopt);

    const std::filesystem::path empty = folder.path() / "empty.cfg";
    WriteFile(empty, "");
    EXPECT_EQ(ReadConfigurationFile(empty), std::nullopt);

    // Bytes after the 27th value are not read, however many there are; only the first
    // 1 MiB is looked at, and the 27 values must end within it.
    const std::size_t limit = std::size_t{1} << 20;
    const std::string example(kWorkedExample);
    const std::string withoutLastLineEnd = example.substr(0, example.size() - 2);
    struct Case {
        const char* name;
        std::string bytes;
        bool read;
    };
    const std::vector<Case> cases{
        {"tail up to the limit", example + std::string(limit - example.size(), 'x'), true},
        {"tail one byte past the limit", example + std::string(limit + 1 - example.size(), 'x'), true},
        {"10 MB tail line", example + std::string(10 * limit, 'x') + "\r\n", true},
        {"last value ends exactly at the limit",
         std::string(limit - withoutLastLineEnd.size(), '\n') + withoutLastLineEnd, true},
        {"last value ends at the limit, file goes on",
         std::string(limit - withoutLastLineEnd.size(), '\n') + withoutLastLineEnd + "more", false},
        {"10 MB first value", "\"" + std::string(10 * limit, 'x') + "\"\r\n" + example, false},
    };
    for (const Case& c : cases) {
        const std::filesystem::path place = folder.path() / "long.cfg";
        WriteFile(place, c.bytes);
        EXPECT_EQ(ReadConfigurationFile(place), c.read ? std::optional(SavedWizardDefaults()) : std::nullopt)
            << c.name;
    }
}

std::size_t CountDelimiters(std::string_view bytes) {
    return static_cast<std::size_t>(
        std::count_if(bytes.begin(), bytes.end(), [](char c) { return c == ',' || c == '\r' || c == '\n'; }));
}

// Whatever the parser accepts, the writer (when it can hold it) must give back unchanged.
void CheckRandomInput(const std::string& bytes) {
    const std::optional<Settings> settings = ParseConfiguration(bytes);
    if (CountDelimiters(bytes) < kSettingCount - 1) {
        EXPECT_EQ(settings, std::nullopt);
    }
    if (!settings) return;
    const ConfigurationText text = FormatConfiguration(*settings);
    if (text.ok()) {
        EXPECT_EQ(ParseConfiguration(text.bytes), settings);
    }
}

TEST(ConfigFile, RandomBytesNeverBreakTheReader) {
    std::mt19937 random(20240501);
    // Mostly the bytes that matter to the format, so that some inputs get far.
    const std::string structural = "\",\r\n 1";
    for (int round = 0; round < 3000; ++round) {
        const std::size_t length = std::uniform_int_distribution<std::size_t>(0, 400)(random);
        std::string bytes(length, '\0');
        for (char& c : bytes) {
            const bool pickStructural = std::uniform_int_distribution<int>(0, 2)(random) != 0;
            c = pickStructural
                    ? structural[std::uniform_int_distribution<std::size_t>(0, structural.size() - 1)(random)]
                    : static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
        }
        CheckRandomInput(bytes);
    }
}

TEST(ConfigFile, DamagedWorkedExamplesNeverBreakTheReader) {
    std::mt19937 random(7);
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string bytes(kWorkedExample);
        const int changes = std::uniform_int_distribution<int>(1, 4)(random);
        for (int i = 0; i < changes; ++i) {
            const std::size_t at = std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(random);
            switch (std::uniform_int_distribution<int>(0, 2)(random)) {
                case 0:
                    bytes[at] = static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
                    break;
                case 1:
                    bytes.erase(at, 1);
                    break;
                default:
                    bytes.insert(at, 1, "\",\r\n"[std::uniform_int_distribution<int>(0, 3)(random)]);
            }
        }
        CheckRandomInput(bytes);
        if (ParseConfiguration(bytes)) ++accepted;
    }
    // Sanity: the damage is mild enough that some inputs still read, so the round trip was exercised.
    EXPECT_GT(accepted, 0);
}

// The second file beside orvwizard.cfg: keys in any order, unknown ones passed over, and
// anything damaged means all off.
TEST(DeliveryOptionsFile, ExactBytesAndDamagedFilesMeanBothOff) {
    struct Row {
        const char* name;
        std::string bytes;
        DeliveryOptions expected;
    };
    const std::vector<Row> rows{
        {"both on", "StayOnline=1\r\nNewFileEachDelivery=1\r\n", {true, true}},
        {"stay online only", "StayOnline=1\r\nNewFileEachDelivery=0\r\n", {true, false}},
        {"new file only", "StayOnline=0\r\nNewFileEachDelivery=1\r\n", {false, true}},
        {"spreadsheet", "StayOnline=0\r\nNewFileEachDelivery=0\r\nSpreadsheet=1\r\n", {false, false, true}},
        {"spreadsheet written as off",
         "StayOnline=1\r\nNewFileEachDelivery=0\r\nSpreadsheet=0\r\n",
         {true, false}},
        {"spreadsheet line damaged", "StayOnline=1\r\nNewFileEachDelivery=1\r\nSpreadsheet=1x\r\n", {}},
        {"lone LF line ends", "StayOnline=1\nNewFileEachDelivery=1\n", {true, true}},
        {"empty", "", {}},
        {"last line end missing", "StayOnline=1\r\nNewFileEachDelivery=1", {}},
        {"lines swapped", "NewFileEachDelivery=1\r\nStayOnline=0\r\n", {false, true}},
        {"skip repeated alone", "SkipRepeated=1\r\n", {false, false, false, true}},
        {"all four, any order",
         "Spreadsheet=1\r\nSkipRepeated=1\r\nStayOnline=1\r\nNewFileEachDelivery=1\r\n",
         {true, true, true, true}},
        {"unknown key passed over", "StayOnline=1\r\nMore=7\r\nNewFileEachDelivery=1\r\n", {true, true}},
        {"skip repeated damaged", "StayOnline=1\r\nSkipRepeated=yes\r\n", {}},
        {"line without a key", "StayOnline=1\r\n=1\r\n", {}},
        {"value other than 0 or 1", "StayOnline=2\r\nNewFileEachDelivery=1\r\n", {}},
        {"value with a blank", "StayOnline= 1\r\nNewFileEachDelivery=1\r\n", {}},
        {"lone CR", "StayOnline=1\rNewFileEachDelivery=1\r", {}},
        {"the configuration file", std::string(kWorkedExample), {}},
    };
    TempFolder folder;
    const std::filesystem::path place = folder / kDeliveryOptionsFileName;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParseDeliveryOptions(row.bytes), row.expected);
        WriteFile(place, row.bytes);
        EXPECT_EQ(ReadDeliveryOptions(place), row.expected);
        if (row.expected.anyOn()) {
            ASSERT_EQ(WriteDeliveryOptions(place, row.expected), WriteOutcome::Written);
            EXPECT_EQ(ReadDeliveryOptions(place), row.expected);
        }
    }
    ASSERT_EQ(WriteDeliveryOptions(place, {true, false}), WriteOutcome::Written);
    EXPECT_EQ(ReadBytes(place), "StayOnline=1\r\nNewFileEachDelivery=0\r\n");
    // Written in the fixed order whatever the reader accepts.
    ASSERT_EQ(WriteDeliveryOptions(place, {false, true, true, true}), WriteOutcome::Written);
    EXPECT_EQ(ReadBytes(place),
              "StayOnline=0\r\nNewFileEachDelivery=1\r\nSpreadsheet=1\r\nSkipRepeated=1\r\n");
    EXPECT_EQ(ReadDeliveryOptions(folder / "missing.opt"), DeliveryOptions{});
    EXPECT_EQ(ReadDeliveryOptions(folder.path()), DeliveryOptions{});
    WriteFile(place, "StayOnline=1\r\nNewFileEachDelivery=1\r\n" + std::string(300, '\n'));
    EXPECT_EQ(ReadDeliveryOptions(place), DeliveryOptions{});
    EXPECT_EQ(DeliveryOptionsPlace(folder / "orvwizard.cfg"), folder / "orvwizard.opt");
}

}  // namespace
}  // namespace tallivo

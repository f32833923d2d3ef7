#include "common/numbers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace tallivo {
namespace {

TEST(NumbersTest, LeadingNumberTakesTheNumericStart) {
    struct Case {
        std::string text;
        double expected;
    };
    const Case cases[] = {
        {"0005", 5},     {"3.50", 3.5},    {"12 PCS", 12},
        {"", 0},         {"PCS", 0},       {"   42", 42},
        {"\t7", 7},      {"-2.25", -2.25}, {"+8", 8},
        {".5", 0.5},     {"5.", 5},        {".", 0},
        {"-", 0},        {"1.2.3", 1.2},   {"1e3", 1},
        {"VARIABLE", 0}, {"NONE", 0},      {"12,5", 12},
        {"- 3", 0},      {"124", 124},     {"00000000000000000000000000000000000000007", 7},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(LeadingNumber(c.text), c.expected) << '"' << c.text << '"';
    }
}

TEST(NumbersTest, LeadingNumberSurvivesHugeDigitStrings) {
    const std::string manyDigits(5000, '9');
    EXPECT_TRUE(std::isinf(LeadingNumber(manyDigits)));
    EXPECT_TRUE(std::isinf(LeadingNumber("-" + manyDigits)));
    EXPECT_EQ(LeadingNumber("0." + std::string(5000, '0') + "1"), 0.0);
    EXPECT_EQ(LeadingNumber(std::string(300, '1') + "x"), LeadingNumber(std::string(300, '1')));
    EXPECT_TRUE(std::isfinite(LeadingNumber(std::string(300, '1'))));
}

TEST(NumbersTest, RoundHalfEven) {
    const std::pair<double, double> cases[] = {
        {2.5, 2},    {3.5, 4},   {-2.5, -2},   {-3.5, -4},   {0.5, 0},  {1.5, 2},       {2.4999, 2},
        {2.5001, 3}, {124, 124}, {255.5, 256}, {254.5, 254}, {-0.4, 0}, {1e300, 1e300},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(RoundHalfEven(value), expected) << value;
    }
}

TEST(NumbersTest, FormatPlainNumber) {
    struct Case {
        double value;
        std::string expected;
    };
    const Case cases[] = {
        {5, "5"},
        {3.5, "3.5"},
        {-0.25, "-0.25"},
        {12, "12"},
        {0, "0"},
        {-0.0, "0"},
        {0.5, "0.5"},  // a zero before the point, never ".5"
        {-7, "-7"},
        {1e20, "100000000000000000000"},
        {-1e15, "-1000000000000000"},
        {123456789012345678.0, "123456789012346000"},
        {0.1, "0.1"},
        {1.0 / 3.0, "0.333333333333333"},
        {2.0 / 3.0, "0.666666666666667"},
        {1e-7, "0.0000001"},
        {123.456, "123.456"},
        {999999999999999.9, "1000000000000000"},
        {100.25, "100.25"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatPlainNumber(c.value), c.expected) << c.value;
    }
}

TEST(NumbersTest, ByteFromCode) {
    struct Case {
        std::string text;
        std::optional<int> expected;
    };
    const Case cases[] = {
        {"124", 124}, {" 9", 9},      {"13.5", 14},  {"12.5", 12}, {"0", 0},
        {"255", 255}, {"255.4", 255}, {"255.5", {}}, {"256", {}},  {"-1", {}},
        {"-0.4", 0},  {"NONE", 0},    {"", 0},       {"200", 200}, {"9999999999999999999999", {}},
    };
    for (const Case& c : cases) {
        const std::optional<char> byte = ByteFromCode(c.text);
        ASSERT_EQ(byte.has_value(), c.expected.has_value()) << '"' << c.text << '"';
        if (byte) {
            EXPECT_EQ(static_cast<unsigned char>(*byte), *c.expected) << c.text;
        }
    }
}

}  // namespace
}  // namespace tallivo

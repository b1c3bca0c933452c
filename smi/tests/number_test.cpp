#include "number.hpp"

#include <cfloat>
#include <cmath>

#include <gtest/gtest.h>

using namespace smi;

TEST(ParseInt, AcceptsExactlyDigitsWithOneOptionalSign) {
    EXPECT_EQ(parse_int<std::uint16_t>("65535", 10), 65535);
    EXPECT_EQ(parse_int<std::uint16_t>("+0007", 10), 7);
    EXPECT_EQ(parse_int<std::uint16_t>("fFfF", 16), 0xffff);
    EXPECT_EQ(parse_int<std::uint64_t>("18446744073709551615", 10), UINT64_MAX);
    EXPECT_EQ(parse_int<std::int32_t>("-2147483648", 10), INT32_MIN);
    EXPECT_EQ(parse_int<std::int32_t>("2147483647", 10), INT32_MAX);
    EXPECT_EQ(parse_int<std::int32_t>("-1", 10), -1);
    EXPECT_EQ(parse_int<std::uint8_t>("255", 10), 255);

    const char* rejected[] = {"", "+", "-", "-1", "++1", " 1", "1 ", "1_000", "0x10", "65536", "99999999999999999999"};
    for (const char* text : rejected) EXPECT_EQ(parse_int<std::uint16_t>(text, 10), std::nullopt) << text;
    EXPECT_EQ(parse_int<std::int32_t>("2147483648", 10), std::nullopt);
    EXPECT_EQ(parse_int<std::int32_t>("-2147483649", 10), std::nullopt);
    EXPECT_EQ(parse_int<std::int32_t>("--1", 10), std::nullopt);
    EXPECT_EQ(parse_int<std::uint64_t>("18446744073709551616", 10), std::nullopt);
    EXPECT_EQ(parse_int<std::uint8_t>("1g", 16), std::nullopt);
    EXPECT_EQ(parse_int<std::uint8_t>("\xd9\xa1", 10), std::nullopt);  // ARABIC-INDIC DIGIT ONE
}

TEST(ParseFloat, AcceptsTheDecimalNotationAndTheWords) {
    struct Case { const char* text; double value; };
    const Case cases[] = {
        {"2.5", 2.5},   {"8", 8.0},         {"16.0", 16.0},   {"+5.0", 5.0},     {"-2.5", -2.5},
        {".5", 0.5},    {"5.", 5.0},        {"1e1", 10.0},    {"1E+2", 100.0},   {"25e-1", 2.5},
        {"-.5e1", -5.0}, {"007.50", 7.5},   {"0.1", 0.1},     {"1e400", HUGE_VAL}, {"-1e400", -HUGE_VAL},
        {"1e99999999999999999999", HUGE_VAL}, {"inf", HUGE_VAL}, {"-Infinity", -HUGE_VAL}, {"+INF", HUGE_VAL},
    };
    for (const auto& c : cases) EXPECT_EQ(parse_float(c.text), c.value) << c.text;

    // Beyond the smallest subnormal the value rounds to a zero of the text's sign.
    const char* zeros[] = {"0", "-0.0", "1e-400", "-1e-400", "0.0000e-99999", "0e99999"};
    for (const char* text : zeros) {
        const auto value = parse_float(text);
        ASSERT_TRUE(value) << text;
        EXPECT_EQ(*value, 0.0) << text;
        EXPECT_EQ(std::signbit(*value), text[0] == '-') << text;
    }
    const char* nans[] = {"nan", "NaN", "-nan", "+nAn"};
    for (const char* text : nans) {
        const auto value = parse_float(text);
        ASSERT_TRUE(value) << text;
        EXPECT_TRUE(std::isnan(*value)) << text;
    }

    const char* rejected[] = {"",     "+",      "-",     ".",      "e5",   "1e",       "1e+",      "1.2.3",
                              " 1",   "1 ",     "1\n",   "++1",    "+-1",  "--1",      "0x10",     "0x1p3",
                              "1,5",  "1_000",  "nan(1)", "infin", "in",   "Unknown",  "16.0 GT/s", "1e5x"};
    for (const char* text : rejected) EXPECT_EQ(parse_float(text), std::nullopt) << text;
}

TEST(FormatFloat, WritesTheShortestRoundTripTextWithoutExponent) {
    struct Case { double value; const char* text; };
    const Case cases[] = {
        {45.0, "45"},   {45.5, "45.5"},  {0.0001, "0.0001"},  {1e22, "10000000000000000000000"},
        {64.0, "64"},   {2.7, "2.7"},    {0.1, "0.1"},        {-2.5, "-2.5"},
        {0.0, "0"},     {-0.0, "-0"},    {1.0 / 3, "0.3333333333333333"},
        {std::nan(""), "NaN"}, {-std::nan(""), "NaN"}, {HUGE_VAL, "inf"}, {-HUGE_VAL, "-inf"},
    };
    for (const auto& c : cases) EXPECT_EQ(format_float(c.value), c.text) << c.text;

    // The extremes still fit, and every text reads back as the same double.
    const double extremes[] = {DBL_MAX, -DBL_MAX, DBL_MIN, DBL_TRUE_MIN, -DBL_TRUE_MIN, 123456789.125e-300};
    for (double value : extremes) {
        const auto text = format_float(value);
        EXPECT_EQ(text.find_first_of("eE"), std::string::npos) << text;
        EXPECT_EQ(parse_float(text), value) << text;
    }
    EXPECT_EQ(format_float(DBL_MAX).size(), 309u);
    EXPECT_EQ(format_float(-DBL_TRUE_MIN), "-0." + std::string(323, '0') + "5");
}

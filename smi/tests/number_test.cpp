#include "number.hpp"

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

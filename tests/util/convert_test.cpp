#include "util/convert.h"

#include <gtest/gtest.h>

using namespace util;

TEST(LeadingNumber, ReadsTheLongestNumericPrefix) {
    EXPECT_EQ(LeadingNumber("2.5"), 2.5);
    EXPECT_EQ(LeadingNumber("  12abc"), 12);
    EXPECT_EQ(LeadingNumber("-3.5e1x"), -35);
    EXPECT_EQ(LeadingNumber("7e"), 7);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
    EXPECT_EQ(LeadingNumber("."), 0);
    EXPECT_EQ(LeadingNumber("+.5"), 0.5);
}

TEST(RoundToInt16, RoundsHalvesToEvenAndRefusesOverflow) {
    EXPECT_EQ(RoundToInt16(2.5), 2);
    EXPECT_EQ(RoundToInt16(3.5), 4);
    EXPECT_EQ(RoundToInt16(-2.5), -2);
    EXPECT_EQ(RoundToInt16(12.4999), 12);
    EXPECT_EQ(RoundToInt16(32767.4), 32767);
    EXPECT_THROW(RoundToInt16(32767.5), ConversionError);
    EXPECT_THROW(RoundToInt16(-40000), ConversionError);
    EXPECT_THROW(RoundToInt16(std::numeric_limits<double>::quiet_NaN()), ConversionError);
}

TEST(IsNumericText, AcceptsDecimalNumbersOnly) {
    EXPECT_TRUE(IsNumericText("123456789012345"));
    EXPECT_TRUE(IsNumericText(" -1.5 "));
    EXPECT_TRUE(IsNumericText("1e5"));
    EXPECT_FALSE(IsNumericText(""));
    EXPECT_FALSE(IsNumericText("12a45"));
    EXPECT_FALSE(IsNumericText("1e"));
    EXPECT_FALSE(IsNumericText("--1"));
}

TEST(IsValidDateText, KnowsTheCalendar) {
    EXPECT_TRUE(IsValidDateText("1980-02-29"));
    EXPECT_FALSE(IsValidDateText("1981-02-29"));
    EXPECT_TRUE(IsValidDateText("2000-2-29"));
    EXPECT_FALSE(IsValidDateText("1900-02-29"));
    EXPECT_TRUE(IsValidDateText("2024/12/31"));
    EXPECT_FALSE(IsValidDateText("2024-12/31"));
    EXPECT_FALSE(IsValidDateText("2024-13-01"));
    EXPECT_FALSE(IsValidDateText("2024-04-31"));
    EXPECT_FALSE(IsValidDateText("0000-01-01"));
    EXPECT_FALSE(IsValidDateText("80-01-01"));
    EXPECT_FALSE(IsValidDateText("2024-01-001"));
    EXPECT_FALSE(IsValidDateText(""));
}

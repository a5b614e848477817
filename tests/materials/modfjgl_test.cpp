#include "materials/modfjgl.h"

#include <gtest/gtest.h>

using materials::DecimalText;
using materials::NumberText;
using materials::ToStandardName;

TEST(StandardName, ReplacesReservedCharactersAndTrims) {
    EXPECT_EQ(ToStandardName("  a/b:c*d?e|f \r\n"), "a╱b：c-d-e│f");
    EXPECT_EQ(ToStandardName(" a\\b<c>d\"e "), "a╲b[c]d＂e");
    EXPECT_EQ(ToStandardName("营业\t执照\n(副本)"), "营业执照(副本)");
    EXPECT_EQ(ToStandardName("     "), "");
    EXPECT_EQ(ToStandardName(""), "");
    EXPECT_EQ(ToStandardName("　全角空格　"), "　全角空格　"); // only ASCII spaces are trimmed
}

TEST(StandardName, NumberTexts) {
    EXPECT_EQ(NumberText("01"), "1");
    EXPECT_EQ(NumberText(" 12abc"), "12");
    EXPECT_EQ(NumberText(""), "0");
    EXPECT_EQ(NumberText("2.5"), "2.5");
    EXPECT_EQ(DecimalText(10), "10");
}

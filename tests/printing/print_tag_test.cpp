#include "printing/print_tag.h"

#include <gtest/gtest.h>

using namespace printing;

TEST(PrintTag, RecognisesEveryCodeByItsBeginning) {
    PrintTag tag = ParsePrintTag("d,Fx,p,yes,X,XL,zn黑体,Zs12.5,zB,MT30,mb-10,Ml5,mR7,[V],Q,x");
    EXPECT_TRUE(tag.date);
    EXPECT_TRUE(tag.spread);
    EXPECT_TRUE(tag.hideText);
    EXPECT_TRUE(tag.nameAfterSpace);
    EXPECT_TRUE(tag.underline);
    EXPECT_TRUE(tag.underlineLong);
    EXPECT_TRUE(tag.printHidden);
    EXPECT_EQ(tag.fontName, "黑体");
    EXPECT_EQ(tag.fontSize, 12.5);
    EXPECT_TRUE(tag.toggleBold);
    EXPECT_EQ(tag.moveTop, 30);
    EXPECT_EQ(tag.moveBottom, -10);
    EXPECT_EQ(tag.moveLeft, 5);
    EXPECT_EQ(tag.moveRight, 7);
}

TEST(PrintTag, UnderlineCodesMustMatchExactly) {
    EXPECT_FALSE(ParsePrintTag("x").underline);
    EXPECT_FALSE(ParsePrintTag("xl").underlineLong);
    EXPECT_FALSE(ParsePrintTag("XLL").underlineLong);
    PrintTag plain = ParsePrintTag("X");
    EXPECT_TRUE(plain.underline);
    EXPECT_FALSE(plain.underlineLong);
    EXPECT_FALSE(plain.hasFontCode());
    EXPECT_FALSE(plain.hasMargins());
}

TEST(PrintTag, HiddenControlsCountTheirTagOnlyWithV) {
    EXPECT_FALSE(EffectivePrintTag("X,ZS12", false).underline);
    EXPECT_FALSE(EffectivePrintTag("X,ZS12", false).hasFontCode());
    EXPECT_TRUE(EffectivePrintTag("X,[V]", false).underline);
    EXPECT_TRUE(EffectivePrintTag("X", true).underline);
    EXPECT_FALSE(EffectivePrintTag("", true).underline);
}

TEST(PrintTag, FormatsDatesWithoutLeadingZeros) {
    EXPECT_EQ(FormatTagDate("2008-5-1"), "2008年5月1日");
    EXPECT_EQ(FormatTagDate("2008-05-01"), "2008年5月1日");
    EXPECT_EQ(FormatTagDate("2008/12/31 10:30:00"), "2008年12月31日");
    EXPECT_EQ(FormatTagDate("2008.5.1"), "2008年5月1日");
    EXPECT_EQ(FormatTagDate("2008年05月01日"), "2008年5月1日");
    EXPECT_EQ(FormatTagDate("2000-2-29"), "2000年2月29日");
}

TEST(PrintTag, LeavesTextsThatAreNoDateUnchanged) {
    for (const char* text : {"", "abc", "2008-5", "2008-2-30", "1900-2-29", "2008-13-1",
                             "2008-5-1x", "2008-5-1 25:00", "-2008-5-1", "无日期"})
        EXPECT_EQ(FormatTagDate(text), text) << text;
}

TEST(PrintTag, TextHelpers) {
    EXPECT_EQ(RemoveBlanks("  申 请\t人  "), "申请人");
    EXPECT_EQ(TrimSpaces("  a b  "), "a b");
    EXPECT_EQ(TrimTrailingSpaces("  a b  "), "  a b");
    EXPECT_EQ(TrimSpaces("   "), "");
    EXPECT_EQ(LeadingNumber("10.5pt"), 10.5);
    EXPECT_EQ(LeadingNumber(" -30"), -30);
    EXPECT_EQ(LeadingNumber("abc"), 0);
    EXPECT_EQ(LeadingNumber(""), 0);
}

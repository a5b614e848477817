// FitText with the recording printer: a character is one em (font size × 20
// twips) wide, an ASCII character half of it, and a line 1.25 em high.

#include "printing/print_table.h"
#include "printing/recording_printer.h"

#include <gtest/gtest.h>

using namespace printing;

namespace {

struct Fit {
    int lines = 0;
    std::string text;
    double x = 0, y = 0, size = 0;
};

Fit RunFit(RecordingPrinter& p, double size, const std::string& text, double boxW, double boxH,
           Alignment h = Alignment::Left, VerticalAlignment v = VerticalAlignment::Top) {
    p.setFontSize(size);
    Fit f;
    f.text = text;
    f.lines = FitText(p, boxW, boxH, f.x, f.y, f.text, h, v, f.size);
    return f;
}

} // namespace

TEST(FitText, TextThatFitsStaysOneLineWithInsets) {
    RecordingPrinter p;
    Fit f = RunFit(p, 12, "中文", 1000, 400, Alignment::Left, VerticalAlignment::Middle);
    EXPECT_EQ(f.lines, 1);
    EXPECT_EQ(f.text, "中文\r\n");
    EXPECT_EQ(f.size, 12);
    EXPECT_DOUBLE_EQ(f.x, 20);
    EXPECT_DOUBLE_EQ(f.y, (400 - 300) / 2.0);
}

TEST(FitText, AddsAlignmentOffsetsToTheGivenOnes) {
    RecordingPrinter p;
    p.setFontSize(12);
    std::string text = "中";
    double x = 5, y = 7, size = 0;
    FitText(p, 1000, 400, x, y, text, Alignment::Right, VerticalAlignment::Bottom, size);
    EXPECT_DOUBLE_EQ(x, 5 + 1000 - 240 - 20);
    EXPECT_DOUBLE_EQ(y, 7 + 400 - 300 - 20);
    Fit centred = RunFit(p, 12, "中", 1000, 400, Alignment::Centre, VerticalAlignment::Top);
    EXPECT_DOUBLE_EQ(centred.x, (1000 - 240) / 2.0);
    EXPECT_DOUBLE_EQ(centred.y, 20);
}

TEST(FitText, WrapsByCharacterAndCentresOnTheFirstLine) {
    RecordingPrinter p;
    Fit f = RunFit(p, 12, "一二三四五", 1000, 700, Alignment::Centre, VerticalAlignment::Middle);
    EXPECT_EQ(f.lines, 2);
    EXPECT_EQ(f.text, "一二三四\r\n五\r\n");
    EXPECT_EQ(f.size, 12);
    EXPECT_DOUBLE_EQ(f.x, (1000 - 960) / 2.0);
    EXPECT_DOUBLE_EQ(f.y, (700 - 600) / 2.0);
}

TEST(FitText, ShrinksInQuarterPointsWhileLinesAreTooTall) {
    RecordingPrinter p;
    // 12 pt: two lines 600 high; 11.5: 575; 11.25: 562.5 fits under 570.
    Fit f = RunFit(p, 12, "一二三四五", 1000, 570);
    EXPECT_EQ(f.size, 11.25);
    EXPECT_EQ(p.fontSize(), 11.25);
    EXPECT_EQ(f.lines, 2);
    // Until the text fits on one line at 10 pt.
    Fit oneLine = RunFit(p, 12, "一二三四五", 1000, 300);
    EXPECT_EQ(oneLine.size, 10);
    EXPECT_EQ(oneLine.text, "一二三四五\r\n");
}

TEST(FitText, ShrinksInHalfPointsWhileOneCharacterIsTooWide) {
    RecordingPrinter p;
    Fit f = RunFit(p, 12, "中", 200, 1000);
    EXPECT_EQ(f.size, 10); // 11.5, 11, 10.5, 10: 200 twips wide
    EXPECT_EQ(f.lines, 1);
    Fit enlarged = RunFit(p, 10.5 * 1.143, "中", 1000, 1000);
    EXPECT_DOUBLE_EQ(enlarged.size, 10.5 * 1.143);
}

TEST(FitText, FallsBackToOnePointInABoxWithoutHeight) {
    RecordingPrinter p;
    Fit f = RunFit(p, 12, "中", 1000, 0);
    EXPECT_EQ(f.size, 1);
    EXPECT_EQ(p.fontSize(), 1);
}

TEST(FitText, GivesUpWhenNoSizeFitsACharacter) {
    RecordingPrinter p;
    p.setFontSize(12);
    std::string text = "中";
    double x = 0, y = 0, size = 0;
    EXPECT_THROW(FitText(p, 0, 1000, x, y, text, Alignment::Left, VerticalAlignment::Top, size),
                 twip::PrinterError);
    EXPECT_GT(p.fontSize(), 0);
}

TEST(FitText, KeepsCrLfBreaksAndDropsLoneCarriageReturns) {
    RecordingPrinter p;
    Fit f = RunFit(p, 12, "ab\r\ncd\re", 5000, 5000);
    EXPECT_EQ(f.text, "ab\r\ncde\r\n");
    EXPECT_EQ(f.lines, 2);
    Fit trailing = RunFit(p, 12, "ab\r\n", 5000, 5000);
    EXPECT_EQ(trailing.text, "ab\r\n\r\n");
    EXPECT_EQ(trailing.lines, 2);
    Fit empty = RunFit(p, 12, "", 5000, 5000);
    EXPECT_EQ(empty.text, "\r\n");
    EXPECT_EQ(empty.lines, 1);
}

TEST(FitText, BlankWiderThanTheBoxTakesALineOfItsOwn) {
    RecordingPrinter p;
    Fit f = RunFit(p, 12, "中 中", 250, 5000);
    EXPECT_EQ(f.text, "中\r\n \r\n中\r\n");
    EXPECT_EQ(f.lines, 3);
    Fit blank = RunFit(p, 12, " ", 50, 5000);
    EXPECT_EQ(blank.text, " \r\n");
}

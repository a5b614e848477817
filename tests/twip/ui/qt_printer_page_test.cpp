#include "twip/ui/qt_printer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

using twip::PrinterError;
using twip::ui::QtPrinter;

namespace {

class QtPrinterTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QtPrinter printer{dir.filePath("out.pdf")};
};

} // namespace

TEST_F(QtPrinterTest, PaperCodesAndOrientationGiveTheSheetInTwips) {
    EXPECT_EQ(printer.paperSize(), twip::PaperA4);
    EXPECT_EQ(printer.orientation(), twip::OrientationPortrait);
    printer.setPaperSize(twip::PaperA3);
    EXPECT_EQ(printer.paperSize(), twip::PaperA3);
    EXPECT_NEAR(printer.pageWidth(), 297 * 1440 / 25.4, 1);
    printer.setOrientation(twip::OrientationLandscape);
    EXPECT_EQ(printer.orientation(), twip::OrientationLandscape);
    EXPECT_NEAR(printer.pageWidth(), 420 * 1440 / 25.4, 1);
    EXPECT_NEAR(printer.pageHeight(), 297 * 1440 / 25.4, 1);
    printer.setPaperSize(twip::PaperLetter);
    EXPECT_NEAR(printer.pageHeight(), 8.5 * 1440, 1);
}

TEST_F(QtPrinterTest, RefusesUnknownCodesAndImpossibleSizes) {
    EXPECT_THROW(printer.setPaperSize(999), PrinterError);
    EXPECT_THROW(printer.setOrientation(3), PrinterError);
    printer.setFontSize(9);
    EXPECT_THROW(printer.setFontSize(0), PrinterError);
    EXPECT_THROW(printer.setFontSize(-1), PrinterError);
    EXPECT_EQ(printer.fontSize(), 9);
    EXPECT_THROW(printer.setDrawWidth(0), PrinterError);
    EXPECT_EQ(printer.paperSize(), twip::PaperA4);
}

TEST_F(QtPrinterTest, MeasuresInTwipsAtTruePointSizes) {
    printer.setFontName("AR PL UMing CN");
    printer.setFontSize(12);
    double width = printer.textWidth("中");
    EXPECT_NEAR(width, 240, 3); // one em of 12 pt
    EXPECT_GT(printer.textHeight("中"), 230);
    printer.setFontSize(24);
    EXPECT_NEAR(printer.textWidth("中"), 2 * width, 3);
    EXPECT_NEAR(printer.textWidth("中中"), 4 * width, 6);
}

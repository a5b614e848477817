// Real output: the Qt printer writes a PDF; poppler's tools read it back.

#include "pdf_support.h"
#include "printing/ui/twip_print_controls.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "twip/ui/qt_printer.h"
#include "ui/sample_form.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int RunProgram(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace {

using pdftest::RunTool;

QString TextOf(const QString& pdf) {
    return RunTool("pdftotext", {"-enc", "UTF-8", pdf, "-"});
}

// Fonts listed by pdffonts whose "emb" column is not "yes".
QStringList FontsNotEmbedded(const QString& pdf) {
    QStringList lines = RunTool("pdffonts", {pdf}).split('\n', Qt::SkipEmptyParts);
    QStringList missing;
    for (int i = 2; i < lines.size(); ++i) { // two header lines
        QStringList columns = lines[i].split(QRegularExpression("\\s+"), Qt::SkipEmptyParts);
        if (columns.size() < 5 || !columns.contains("yes"))
            missing << lines[i];
    }
    return missing;
}

// The bounding box (points) of the first word equal to `word`.
std::optional<QRectF> WordBox(const QString& pdf, const QString& word) {
    return pdftest::Find(pdftest::Words(pdf), word);
}

// The top 1500 × 2500 dots of the page rendered at 600 dpi in grey levels.
QImage RenderAt600Dpi(const QString& pdf, const QString& stem) {
    RunTool("pdftoppm", {"-r", "600", "-gray", "-W", "1500", "-H", "2500", pdf, stem});
    QDir dir = QFileInfo(stem).dir();
    QStringList pages = dir.entryList({QFileInfo(stem).fileName() + "*.pgm"});
    if (pages.isEmpty())
        return {};
    return QImage(dir.filePath(pages.front()));
}

// Rows of dark pixels in one column between two rows of the image.
int DarkRows(const QImage& page, int column, int fromRow, int toRow) {
    int dark = 0;
    for (int row = fromRow; row < toRow; ++row)
        if (qGray(page.pixel(column, row)) < 128)
            ++dark;
    return dark;
}

class PrintPdfTest : public ::testing::Test {
  protected:
    QString pdfPath(const char* name) const { return dir.filePath(name); }
    QTemporaryDir dir;
    testsupport::ScopedFakePrompter prompter;
};

} // namespace

TEST_F(PrintPdfTest, TextIsPlacedByItsTopLeftCornerInTwips) {
    QString pdf = pdfPath("place.pdf");
    {
        twip::ui::QtPrinter printer(pdf);
        EXPECT_EQ(printer.paperSize(), twip::PaperA4);
        EXPECT_NEAR(printer.pageWidth(), 11906, 2);
        EXPECT_NEAR(printer.pageHeight(), 16838, 2);
        printer.setFontName("宋体");
        printer.setFontSize(12);
        EXPECT_NEAR(printer.textWidth("定位"), 480, 5); // two em squares of 240 twips
        printer.setCurrentX(1440);
        printer.setCurrentY(2880);
        printer.print("定位");
        printer.line(1440, 4320, 4320, 4320);
        printer.endDoc();
    }
    ASSERT_TRUE(QFileInfo(pdf).size() > 0);
    auto box = WordBox(pdf, "定位");
    ASSERT_TRUE(box.has_value());
    EXPECT_NEAR(box->left(), 72, 1.5);  // 1440 twips = 1 inch from the left
    EXPECT_NEAR(box->top(), 144, 3);    // the top of the line box at 2 inches
    EXPECT_NEAR(box->width(), 24, 1.5); // 12 pt characters
}

TEST_F(PrintPdfTest, SampleFormPrintsItsChineseTextsWithEmbeddedFonts) {
    QString pdf = pdfPath("form.pdf");
    printing::testing::SampleForm sample;
    {
        twip::ui::QtPrinter printer(pdf);
        PrinterCount = 1; // a PDF file is always there to print on
        printer.setOrientation(twip::OrientationLandscape); // the action turns it back
        ASSERT_TRUE(printing::ui::PrintTwipForm(sample.form, 0, 1.65f, printer));
        EXPECT_EQ(printer.orientation(), twip::OrientationPortrait);
    }
    QString text = TextOf(pdf);
    for (const char* expected : {"张三", "北京市", "地质灾害危险性评估研究院", "2008年5月1日",
                                 "(√)单位申请", "[√]短信通知", "110101190001011237"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected;
    EXPECT_FALSE(text.contains("100011"));
    EXPECT_FALSE(text.contains(QString::fromUtf8("隐藏说明")));
    EXPECT_EQ(FontsNotEmbedded(pdf), QStringList());
    QString info = RunTool("pdfinfo", {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+1\\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains("(A4)")) << info.toStdString();
    auto name = WordBox(pdf, "张三");
    ASSERT_TRUE(name.has_value());
    // Text1(0) is centred in its box from x 1860 to 3285 (window twips).
    double boxLeft = (1.2 * 1860 + 1000) / 20, boxRight = (1.2 * 3285 + 1000) / 20;
    EXPECT_NEAR(name->center().x(), (boxLeft + boxRight) / 2, 1.5);
}

TEST_F(PrintPdfTest, LineWidthCountsDotsOfA600DpiPrinter) {
    QString pdf = pdfPath("lines.pdf");
    {
        twip::ui::QtPrinter printer(pdf);
        printer.setDrawWidth(12);
        printer.line(1440, 2880, 4320, 2880); // 2 inches down: row 1200 at 600 dpi
        printer.setDrawWidth(2);
        printer.line(1440, 5760, 4320, 5760); // row 2400
        printer.endDoc();
    }
    QImage page = RenderAt600Dpi(pdf, pdfPath("lines"));
    ASSERT_FALSE(page.isNull());
    EXPECT_NEAR(DarkRows(page, 1200, 1150, 1250), 12, 1);
    EXPECT_NEAR(DarkRows(page, 1200, 2350, 2450), 2, 1);
    EXPECT_EQ(DarkRows(page, 580, 1150, 1250), 0); // it starts at 1 inch (cap: 6 dots)
}

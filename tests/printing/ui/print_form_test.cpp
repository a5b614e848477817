// The print action on a real twip form, drawn on the recording printer.

#include "printing/print_action.h"
#include "printing/print_table.h"
#include "printing/recording_printer.h"
#include "printing/ui/twip_print_controls.h"
#include "sample_form.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "twip/ui/twipform.h"

#include <QApplication>
#include <QCursor>
#include <gtest/gtest.h>

using namespace printing;
using printing::testing::SampleForm;

namespace {

// Notes the mouse pointer shown while each text is drawn.
class PointerWatchingPrinter : public RecordingPrinter {
  public:
    std::vector<Qt::CursorShape> pointers;

  protected:
    void drawText(double x, double y, const twip::PrinterFont& font,
                  const std::string& text) override {
        const QCursor* cursor = QApplication::overrideCursor();
        pointers.push_back(cursor ? cursor->shape() : Qt::ArrowCursor);
        RecordingPrinter::drawText(x, y, font, text);
    }
};

class PrintFormTest : public ::testing::Test {
  protected:
    PrintFormTest() { PrinterCount = 1; }
    ~PrintFormTest() override { PrinterCount = 0; }
    bool print() { return ui::PrintTwipForm(sample.form, 0, 1.65f, printer); }
    bool printed(const std::string& text) const {
        for (const auto& t : printer.texts)
            if (t.text == text)
                return true;
        return false;
    }

    testsupport::ScopedFakePrompter prompter;
    SampleForm sample;
    PointerWatchingPrinter printer;
};

} // namespace

TEST_F(PrintFormTest, PrintsTheControlsOfPic2AsTheEngineRules) {
    ASSERT_TRUE(print());
    const auto& name = printer.find("张三");
    EXPECT_EQ(name.font.name, "宋体");
    EXPECT_NEAR(name.font.size, 12.0, 0.002);
    EXPECT_NEAR(name.x,
                PageX(1860) + (BoxWidth(1425) - 2 * RecordingPrinter::EmWidth(name.font.size)) / 2,
                1e-6);
    EXPECT_EQ(printer.find("姓    名").font.name, "仿宋_GB2312");
    EXPECT_EQ(printer.find("邮  编").font.size, 12);
    EXPECT_EQ(printer.find("行政审批申请书").font.name, "楷体_GB2312");
    EXPECT_TRUE(printed("北京市"));
    EXPECT_TRUE(printed("(√)单位申请"));
    EXPECT_TRUE(printed("(  )个人申请"));
    EXPECT_TRUE(printed("[√]短信通知"));
    EXPECT_TRUE(printed("[  ]邮 寄"));
    EXPECT_TRUE(printed("2008年5月1日"));
    EXPECT_TRUE(printed("备注(显示)"));
    EXPECT_FALSE(printed("隐藏说明"));
    EXPECT_FALSE(printed("100011")); // P
    EXPECT_FALSE(printed("打 印"));  // outside Pic2
    for (const char* ch : {"单", "位", "名", "称"})
        EXPECT_TRUE(printed(ch)) << ch;
    EXPECT_EQ(printer.jobsEnded, 1);
}

TEST_F(PrintFormTest, MultiLineTextBoxWrapsFromTheTop) {
    ASSERT_TRUE(print());
    std::vector<PrintedText> remarks;
    for (const auto& t : printer.visibleTexts())
        if (t.text.rfind("本申请书", 0) == 0 || (!remarks.empty() && remarks.size() < 3 &&
                                                 t.y > remarks.back().y && t.x == remarks.back().x))
            remarks.push_back(t);
    ASSERT_GE(remarks.size(), 2u);
    EXPECT_DOUBLE_EQ(remarks[0].x, PageX(1860) + 20);
    EXPECT_DOUBLE_EQ(remarks[0].y, PageY(2700) + 20); // a box with a scroll bar starts at the top
}

TEST_F(PrintFormTest, RulesTheTableAndUnderlines) {
    ASSERT_TRUE(print());
    // Seven rows, two columns, four edges of the frame, the X and XL underlines.
    EXPECT_EQ(printer.lines.size(), 7u + 2u + 4u + 2u);
    bool xlFound = false;
    for (const auto& line : printer.lines)
        if (line.y1 == PageY(1980 + 270) && line.x2 == PageX(6810 + 1125 + 500))
            xlFound = true;
    EXPECT_TRUE(xlFound);
}

TEST_F(PrintFormTest, GeometryOfTheWindowIsKept) {
    auto& id = sample.form.control("Text1", 1);
    auto before = id.rect();
    ASSERT_TRUE(print());
    EXPECT_EQ(id.top(), before.top);
    EXPECT_EQ(id.height(), before.height);
    EXPECT_EQ(id.widget()->geometry().top(), twip::ui::TwipsToPixels(before.top));
    // MT30: printed as if the top were 30 twips lower.
    const auto& t = printer.find("110101190001011237");
    EXPECT_NEAR(t.y, PageY(1290) + (BoxHeight(240) - 1.25 * 20 * t.font.size) / 2, 1e-6);
}

TEST_F(PrintFormTest, ShowsTheBusyPointerWhilePrinting) {
    ASSERT_TRUE(print());
    ASSERT_FALSE(printer.pointers.empty());
    for (auto shape : printer.pointers)
        EXPECT_EQ(shape, Qt::WaitCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

TEST_F(PrintFormTest, NoPrinterOnTheSystemPrinterPathShowsTheMessage) {
    PrinterCount = 0;
    EXPECT_FALSE(ui::PrintTwipForm(sample.form, 0, 1.65f));
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].icon, platform::MsgIcon::None);
    EXPECT_EQ(prompter->messages[0].text, printing::kNoPrinterText);
}

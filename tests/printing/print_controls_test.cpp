// The print engine on synthetic windows, checked against the recording printer
// (a character one em = size × 20 twips wide, ASCII half of it, lines 1.25 em).

#include "fake_control.h"
#include "printing/print_table.h"
#include "printing/recording_printer.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace printing;
using printing::testing::FakeControl;
using printing::testing::FakeWindow;

namespace {

constexpr double kEnlarged = 10.5 * 1.143; // a 10.5 pt control on paper

class PrintControlsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        PageScaleX = 1.2f;
        PageScaleY = 1.65f;
    }
    void print() { PrintControls(printer, window.controls(), "Pic2", 0); }
    static double pageX(double x) { return 1.2 * x + 1000; }
    static double pageY(double y) { return 1.65 * y + 1000; }
    static double em(double points) { return points * 20; }
    static double lineHeight(double points) { return points * 25; }

    FakeWindow window;
    RecordingPrinter printer;
};

} // namespace

TEST_F(PrintControlsTest, PageMappingScalesAndAddsTheMargin) {
    EXPECT_EQ(PageX(1860), 3232);
    EXPECT_EQ(PageY(1260), 3079);
    EXPECT_EQ(BoxWidth(1425), 1710);
    EXPECT_EQ(BoxHeight(300), 495);
    PageScaleY = 1.45f;
    EXPECT_EQ(PageY(2040), 3958);
}

TEST_F(PrintControlsTest, TextBoxPrintsEnlargedFontCentredInTheScaledBox) {
    auto& box = window.add(ControlKind::TextBox, 1860, 1200, 1425, 300, "张三  ");
    box.align = Alignment::Centre;
    box.bold = true;
    print();
    const auto& t = printer.find("张三");
    EXPECT_EQ(t.font.name, "宋体");
    EXPECT_NEAR(t.font.size, 12.0, 0.002);
    EXPECT_TRUE(t.font.bold);
    EXPECT_NEAR(t.x, pageX(1860) + (1710 - 2 * em(kEnlarged)) / 2, 1e-6);
    EXPECT_NEAR(t.y, pageY(1200) + (495 - lineHeight(kEnlarged)) / 2, 1e-6);
    EXPECT_EQ(printer.jobsEnded, 1);
}

TEST_F(PrintControlsTest, TextBoxWithScrollBarStartsAtTheTop) {
    auto& box = window.add(ControlKind::TextBox, 1000, 1000, 3000, 600, "意见");
    box.scrollBar = true;
    print();
    EXPECT_DOUBLE_EQ(printer.find("意见").y, pageY(1000) + 20);
    EXPECT_DOUBLE_EQ(printer.find("意见").x, pageX(1000) + 20);
}

TEST_F(PrintControlsTest, TextBoxFontCodesOverrideTheControlFont) {
    auto& box = window.add(ControlKind::TextBox, 1000, 1000, 3000, 300, "甲", "ZN黑体,ZS9,ZB");
    box.bold = true;
    print();
    const auto& t = printer.find("甲");
    EXPECT_EQ(t.font.name, "黑体");
    EXPECT_EQ(t.font.size, 9);
    EXPECT_FALSE(t.font.bold);
}

TEST_F(PrintControlsTest, LabelsWithoutFontCodePrintInFangSong) {
    auto& plain = window.add(ControlKind::Label, 540, 1260, 1290, 200, "姓    名");
    plain.font = "黑体";
    auto& sized = window.add(ControlKind::Label, 540, 1600, 1290, 200, "住址", "ZS12");
    sized.font = "黑体";
    print();
    const auto& p = printer.find("姓    名");
    EXPECT_EQ(p.font.name, "仿宋_GB2312");
    EXPECT_NEAR(p.font.size, kEnlarged, 1e-9);
    const auto& s = printer.find("住址");
    EXPECT_EQ(s.font.name, "黑体");
    EXPECT_EQ(s.font.size, 12);
}

TEST_F(PrintControlsTest, LabelFontCodesKeepTheLabelsOwnFont) {
    auto& bold = window.add(ControlKind::Label, 540, 1260, 1290, 200, "粗体", "ZB");
    bold.font = "黑体";
    window.add(ControlKind::Label, 540, 1600, 1290, 200, "楷体", "ZN楷体_GB2312");
    print();
    const auto& b = printer.find("粗体");
    EXPECT_EQ(b.font.name, "黑体");
    EXPECT_NEAR(b.font.size, kEnlarged, 1e-9);
    EXPECT_TRUE(b.font.bold);
    const auto& k = printer.find("楷体");
    EXPECT_EQ(k.font.name, "楷体_GB2312");
    EXPECT_NEAR(k.font.size, kEnlarged, 1e-9);
}

TEST_F(PrintControlsTest, CodesActOnlyOnTheKindsTheyServe) {
    // Labels know neither P nor XL.
    window.add(ControlKind::Label, 1000, 1000, 3000, 300, "标签", "P,XL");
    // Combo boxes ignore X, D and F, and print even when hidden.
    auto& hidden =
        window.add(ControlKind::ComboBox, 1000, 2000, 3000, 300, "2008-5-1", "X,D,F,[V]");
    hidden.shown = false;
    // They take the font codes and the margins.
    window.add(ControlKind::ComboBox, 1000, 3000, 3000, 300, "甲", "ZN黑体,ZS9,ZB,ML100");
    print();
    EXPECT_NO_THROW(printer.find("标签"));
    const auto& date = printer.find("2008-5-1");
    EXPECT_EQ(date.x, pageX(1000) + 20);
    EXPECT_EQ(date.font.size, 10.5);
    const auto& coded = printer.find("甲");
    EXPECT_EQ(coded.font.name, "黑体");
    EXPECT_EQ(coded.font.size, 9);
    EXPECT_TRUE(coded.font.bold);
    EXPECT_DOUBLE_EQ(coded.x, pageX(1100) + 20);
    EXPECT_TRUE(printer.lines.empty());
}

TEST_F(PrintControlsTest, OptionButtonsAndCheckBoxesPrintMarkedCaptions) {
    auto& option = window.add(ControlKind::OptionButton, 330, 920, 1200, 240, "单位申请", "X,ZS20");
    option.on = true;
    option.bold = true;
    window.add(ControlKind::OptionButton, 1800, 920, 1200, 240, "个人申请");
    auto& ticked = window.add(ControlKind::CheckBox, 2430, 6720, 1305, 220, "短信通知");
    ticked.on = true;
    window.add(ControlKind::CheckBox, 2430, 7020, 1305, 220, "邮 寄");
    print();
    const auto& o = printer.find("(√)单位申请");
    EXPECT_DOUBLE_EQ(o.x, pageX(330) + 100);
    EXPECT_DOUBLE_EQ(o.y, pageY(920));
    EXPECT_EQ(o.font.name, "宋体");
    EXPECT_EQ(o.font.size, 10.5); // no enlargement, tag ignored
    EXPECT_FALSE(o.font.bold);
    EXPECT_NO_THROW(printer.find("(  )个人申请"));
    EXPECT_NO_THROW(printer.find("[√]短信通知"));
    EXPECT_NO_THROW(printer.find("[  ]邮 寄"));
    EXPECT_TRUE(printer.lines.empty());
}

TEST_F(PrintControlsTest, ComboBoxWithYPrintsOnlyTheName) {
    auto& region = window.add(ControlKind::ComboBox, 2310, 6260, 3465, 340, "110000 北京市 ", "Y");
    region.bold = true;
    window.add(ControlKind::ComboBox, 2310, 7000, 3465, 340, " 110000 北京市 ");
    print();
    const auto& t = printer.find("北京市");
    EXPECT_EQ(t.font.name, "宋体");
    EXPECT_EQ(t.font.size, 10.5);
    EXPECT_FALSE(t.font.bold);
    EXPECT_DOUBLE_EQ(t.x, pageX(2310) + 20);
    EXPECT_NO_THROW(printer.find("110000 北京市"));
}

TEST_F(PrintControlsTest, MarginCodesMoveTheBoxOnlyWhileItPrints) {
    auto& box = window.add(ControlKind::TextBox, 1000, 1200, 3000, 300, "甲", "MT30,X");
    auto& wide = window.add(ControlKind::TextBox, 1000, 2000, 3000, 300, "", "ML100,MR200,MB20,XL");
    print();
    // Top 30 lower, height 30 less: the middle moves down by half of it.
    EXPECT_NEAR(printer.find("甲").y, PageY(1230) + (BoxHeight(270) - lineHeight(kEnlarged)) / 2,
                1e-9);
    ASSERT_EQ(printer.lines.size(), 2u);
    EXPECT_DOUBLE_EQ(printer.lines[0].y1, pageY(1500)); // bottom edge unchanged
    EXPECT_DOUBLE_EQ(printer.lines[1].x1, pageX(1100));
    EXPECT_DOUBLE_EQ(printer.lines[1].x2, pageX(1000 + 3000 + 200 + 500));
    EXPECT_DOUBLE_EQ(printer.lines[1].y1, pageY(2320));
    EXPECT_EQ((std::vector<int>{box.l, box.t, box.w, box.h}),
              (std::vector<int>{1000, 1200, 3000, 300}));
    EXPECT_EQ((std::vector<int>{wide.l, wide.t, wide.w, wide.h}),
              (std::vector<int>{1000, 2000, 3000, 300}));
    EXPECT_GT(box.geometryWrites, 0);
}

TEST_F(PrintControlsTest, LabelUnderlineUsesTheRestoredBox) {
    window.add(ControlKind::Label, 1000, 1000, 2000, 200, "标题", "MB100,X");
    print();
    ASSERT_EQ(printer.lines.size(), 1u);
    EXPECT_DOUBLE_EQ(printer.lines[0].y1, pageY(1200));
}

TEST_F(PrintControlsTest, SpreadCaptionFillsTheBox) {
    window.add(ControlKind::Label, 1000, 1000, 1500, 300, " 申 请 人 ", "F");
    window.add(ControlKind::Label, 1000, 2000, 1500, 300, "甲", "F");
    print();
    double h = lineHeight(kEnlarged);
    int advance = static_cast<int>(std::lround(h + (1800 - 3 * h) / 2));
    double down = std::lround((495 - h) / 2);
    const auto& first = printer.find("申");
    const auto& last = printer.find("人");
    EXPECT_DOUBLE_EQ(first.x, pageX(1000));
    EXPECT_DOUBLE_EQ(printer.find("请").x, pageX(1000) + advance);
    EXPECT_DOUBLE_EQ(last.x, pageX(1000) + 2 * advance);
    // A character cell is as wide as the font is high; the last cell ends at the right edge.
    EXPECT_NEAR(last.x + h, pageX(1000) + 1800, 1.0);
    EXPECT_DOUBLE_EQ(first.y, pageY(1000) + down);
    EXPECT_DOUBLE_EQ(printer.find("甲").x, pageX(1000));
}

TEST_F(PrintControlsTest, SpreadTextBoxPrintsEvenWhenHidden) {
    auto& box = window.add(ControlKind::TextBox, 1000, 1000, 1500, 300, "甲乙", "F,[V]");
    box.shown = false;
    print();
    EXPECT_EQ(printer.visibleTexts().size(), 2u);
}

TEST_F(PrintControlsTest, LongTextWrapsAndFurtherLinesAreCentredUnderTheFirst) {
    // 12.0015 pt: 240 twips a character; the box takes 7 in a line.
    auto& box = window.add(ControlKind::TextBox, 1000, 1000, 1500, 600, "一二三四五六七八九");
    box.align = Alignment::Centre;
    print();
    const auto& first = printer.find("一二三四五六七");
    const auto& second = printer.find("八九");
    EXPECT_NEAR(second.x - first.x, (7 - 2) * em(kEnlarged) / 2, 1e-6);
    EXPECT_NEAR(second.y - first.y, lineHeight(kEnlarged), 1e-6);
    EXPECT_EQ(printer.visibleTexts().size(), 2u);
}

TEST_F(PrintControlsTest, WrappedLinesShrinkWhenTheBoxIsTooLow) {
    auto& box = window.add(ControlKind::TextBox, 1000, 1000, 1500, 200, "一二三四五六七八九");
    box.align = Alignment::Right;
    print();
    auto texts = printer.visibleTexts();
    ASSERT_FALSE(texts.empty());
    double size = texts.front().font.size;
    EXPECT_LT(size, kEnlarged);
    EXPECT_NEAR(std::fmod(kEnlarged - size, 0.25), 0, 1e-9);
    EXPECT_EQ(texts.back().x, texts.front().x); // right-aligned lines start under the first
}

TEST_F(PrintControlsTest, HiddenControlsNeedV) {
    auto& hidden = window.add(ControlKind::Label, 1000, 1000, 2000, 200, "隐藏", "X");
    hidden.shown = false;
    auto& shownByTag = window.add(ControlKind::Label, 1000, 1400, 2000, 200, "显示", "[V]");
    shownByTag.shown = false;
    auto& hiddenBox = window.add(ControlKind::TextBox, 1000, 2000, 2000, 300, "文字", "X");
    hiddenBox.shown = false;
    auto& underlinedBox = window.add(ControlKind::TextBox, 1000, 2400, 2000, 300, "内容", "X,[V]");
    underlinedBox.shown = false;
    print();
    EXPECT_THROW(printer.find("隐藏"), std::out_of_range);
    EXPECT_EQ(printer.find("显示").font.name, "仿宋_GB2312");
    EXPECT_THROW(printer.find("文字"), std::out_of_range);
    EXPECT_THROW(printer.find("内容"), std::out_of_range);
    ASSERT_EQ(printer.lines.size(), 1u); // only the tag with [V] counts
    EXPECT_DOUBLE_EQ(printer.lines[0].y1, pageY(2700));
}

TEST_F(PrintControlsTest, EmptyOrSuppressedTextBoxStillGetsItsUnderline) {
    window.add(ControlKind::TextBox, 1000, 1000, 2000, 300, "", "X");
    window.add(ControlKind::TextBox, 1000, 2000, 2000, 300, "秘密", "P,XL");
    window.add(ControlKind::Label, 1000, 3000, 2000, 300, "", "X");
    print();
    EXPECT_TRUE(printer.visibleTexts().empty());
    ASSERT_EQ(printer.lines.size(), 2u);
    EXPECT_DOUBLE_EQ(printer.lines[0].x1, pageX(1000));
    EXPECT_DOUBLE_EQ(printer.lines[0].x2, pageX(3000));
    EXPECT_DOUBLE_EQ(printer.lines[0].y1, pageY(1300));
    EXPECT_DOUBLE_EQ(printer.lines[0].y2, pageY(1300));
    EXPECT_DOUBLE_EQ(printer.lines[1].x2, pageX(3500));
}

TEST_F(PrintControlsTest, DateCodeFormatsTheText) {
    window.add(ControlKind::TextBox, 1000, 1000, 3000, 300, "2008-05-01", "D");
    window.add(ControlKind::Label, 1000, 2000, 3000, 300, "2008-5-1", "D");
    window.add(ControlKind::TextBox, 1000, 3000, 3000, 300, "未填", "D");
    print();
    ASSERT_EQ(printer.visibleTexts().size(), 3u);
    EXPECT_EQ(printer.visibleTexts()[0].text, "2008年5月1日");
    EXPECT_EQ(printer.visibleTexts()[1].text, "2008年5月1日");
    EXPECT_EQ(printer.visibleTexts()[2].text, "未填");
}

TEST_F(PrintControlsTest, RulingComesAfterAllTextsWithDrawWidthTwo) {
    window.addLine(540, 1200, 540, 5520);
    window.add(ControlKind::Shape, 150, 1200, 7875, 6800);
    window.add(ControlKind::Label, 1000, 1000, 2000, 200, "表");
    printer.setDrawWidth(3);
    print();
    ASSERT_EQ(printer.lines.size(), 5u);
    EXPECT_DOUBLE_EQ(printer.lines[0].x1, pageX(540));
    EXPECT_DOUBLE_EQ(printer.lines[0].y1, pageY(1200));
    EXPECT_DOUBLE_EQ(printer.lines[0].y2, pageY(5520));
    double l = pageX(150), t = pageY(1200), r = pageX(8025), b = pageY(8000);
    auto edge = [&](int i) {
        const auto& e = printer.lines[i];
        return std::vector<double>{e.x1, e.y1, e.x2, e.y2};
    };
    EXPECT_EQ(edge(1), (std::vector<double>{l, t, r, t}));
    EXPECT_EQ(edge(2), (std::vector<double>{l, t, l, b}));
    EXPECT_EQ(edge(3), (std::vector<double>{l, b, r, b}));
    EXPECT_EQ(edge(4), (std::vector<double>{r, t, r, b}));
    for (const auto& line : printer.lines) {
        EXPECT_EQ(line.drawWidth, 2);
        EXPECT_GT(line.order, printer.find("表").order);
    }
    EXPECT_EQ(printer.drawWidth(), 3);
}

TEST_F(PrintControlsTest, OnlyTheNamedContainerWithThatIndexPrints) {
    window.add(ControlKind::Label, 1000, 1000, 2000, 200, "甲").container = "PIC2";
    window.add(ControlKind::Label, 1000, 1000, 2000, 200, "乙").index = 1;
    window.add(ControlKind::Label, 1000, 1000, 2000, 200, "丙").container = "Pic1";
    window.add(ControlKind::Label, 1000, 1000, 2000, 200, "丁").index = -1;
    print();
    ASSERT_EQ(printer.visibleTexts().size(), 1u);
    EXPECT_EQ(printer.visibleTexts()[0].text, "甲");
    EXPECT_EQ(printer.texts.front().text, ""); // the job begins with an empty text
}

TEST_F(PrintControlsTest, FailingStepsAreSkippedAndTheJobEnds) {
    window.add(ControlKind::Label, 1000, 1000, 2000, 200, "甲").failText = true;
    auto& noFont = window.add(ControlKind::TextBox, 1000, 1400, 2000, 300, "乙");
    noFont.failFont = true;
    window.add(ControlKind::Label, 1000, 1800, 2000, 200, "坏");
    auto& narrow = window.add(ControlKind::TextBox, 1000, 2200, 2000, 300, "窄", "ML2500,X");
    window.add(ControlKind::Label, 1000, 2600, 2000, 200, "丁");
    window.addLine(0, 0, 100, 0);
    printer.failingTexts = {"坏"};
    print();
    EXPECT_EQ(printer.find("乙").font.name, "宋体");     // font name step skipped, the rest printed
    EXPECT_THROW(printer.find("窄"), std::out_of_range); // fits at no size: given up
    EXPECT_NO_THROW(printer.find("丁"));
    EXPECT_EQ(printer.lines.size(), 2u); // the underline of the given-up box and the line
    EXPECT_EQ(narrow.l, 1000);
    EXPECT_EQ(narrow.w, 2000);
    EXPECT_EQ(printer.jobsEnded, 1);
    EXPECT_EQ(printer.jobsKilled, 0);
}

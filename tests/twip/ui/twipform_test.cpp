#include "twip/ui/twipform.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using twip::ui::Control;
using twip::ui::ControlKind;
using twip::ui::PixelsToTwips;
using twip::ui::TwipForm;

namespace {

QStringList Names(const std::vector<Control*>& controls) {
    QStringList names;
    for (const Control* c : controls)
        names << (c->isArrayElement() ? c->name() + "(" + QString::number(c->index()) + ")"
                                      : c->name());
    return names;
}

TEST(TwipForm, PlacesControlsInTwipsAtFifteenTwipsAPixel) {
    TwipForm form;
    form.setClientSize(6660, 4020);
    EXPECT_EQ(form.size(), QSize(444, 268));
    Control& button = form.add(ControlKind::CommandButton, "Command2", {5430, 3480, 915, 315});
    EXPECT_EQ(button.widget()->geometry(), QRect(362, 232, 61, 21));
    button.setLeft(5437); // not a whole pixel: the twip value is kept exactly
    EXPECT_EQ(button.left(), 5437);
    EXPECT_EQ(button.widget()->x(), 362);
    EXPECT_EQ(form.scaleWidth(), 6660);
}

TEST(TwipForm, ControlsInsideAContainerArePlacedRelativeToIt) {
    TwipForm form;
    Control& picture =
        form.add(ControlKind::PictureBox, "Picture1", {270, 1590, 6030, 1485}, nullptr, 1);
    Control& button =
        form.add(ControlKind::CommandButton, "Command1", {2190, 540, 1605, 405}, &picture, 4);
    EXPECT_EQ(button.widget()->parentWidget(), picture.widget());
    EXPECT_EQ(button.widget()->pos(), QPoint(146, 36));
    EXPECT_EQ(button.widget()->objectName(), "Command1_4");
    EXPECT_EQ(picture.widget()->objectName(), "Picture1_1");
    EXPECT_THROW(form.add(ControlKind::Label, "x", {}, &button), std::invalid_argument);
}

TEST(TwipForm, WalksEachContainerInCreationOrderIncludingLinesAndShapes) {
    TwipForm form;
    form.add(ControlKind::Label, "Label1", {0, 0, 100, 100});
    Control& frame = form.add(ControlKind::Frame, "Frame1", {0, 0, 3000, 3000});
    form.addLine("Line1", {10, 20, 500, 20}, &frame);
    form.add(ControlKind::Shape, "Shape1", {0, 0, 200, 200}, &frame);
    form.add(ControlKind::TextBox, "Text1", {0, 0, 200, 200}, &frame, 0);
    form.add(ControlKind::Label, "Label2", {0, 0, 100, 100});
    form.add(ControlKind::Label, "Label3", {0, 0, 100, 100}, &frame);

    EXPECT_EQ(Names(form.controlsOf(nullptr)), QStringList({"Label1", "Frame1", "Label2"}));
    EXPECT_EQ(Names(frame.children()), QStringList({"Line1", "Shape1", "Text1(0)", "Label3"}));
    EXPECT_EQ(form.allControls().size(), 7u);
}

TEST(TwipForm, LineKeepsItsEndPointsAndBoundingBox) {
    TwipForm form;
    Control& line = form.addLine("Line1", {3000, 900, 300, 900});
    EXPECT_EQ(line.kind(), ControlKind::Line);
    EXPECT_EQ(line.line().x1, 3000);
    EXPECT_EQ(line.line().x2, 300);
    EXPECT_EQ(line.left(), 300);
    EXPECT_EQ(line.width(), 2700);
    EXPECT_EQ(line.height(), 0);
}

TEST(TwipForm, LoadCopiesTheLowestElementHiddenAndUnloadRemovesIt) {
    TwipForm form;
    Control& first = form.add(ControlKind::Label, "Label3", {100, 200, 1500, 300}, nullptr, 0);
    first.setText("名称");
    first.setTag("7");
    first.setFontBold(true);
    first.setForeColor(QColor(255, 0, 0));

    Control& loaded = form.load("Label3", 3);
    EXPECT_FALSE(loaded.visible());
    EXPECT_EQ(loaded.text(), "名称");
    EXPECT_EQ(loaded.tag(), "7");
    EXPECT_TRUE(loaded.font().bold);
    EXPECT_EQ(loaded.foreColor(), QColor(255, 0, 0));
    EXPECT_EQ(loaded.left(), 100);
    EXPECT_EQ(loaded.widget()->objectName(), "Label3_3");
    EXPECT_EQ(form.arrayIndexes("Label3"), (std::vector<int>{0, 3}));
    EXPECT_THROW(form.load("Label3", 3), std::invalid_argument);
    EXPECT_THROW(form.load("NoSuch", 1), std::invalid_argument);

    QPointer<QWidget> widget = loaded.widget();
    form.unload("Label3", 3);
    EXPECT_TRUE(widget.isNull());
    EXPECT_EQ(form.find("Label3", 3), nullptr);
    EXPECT_EQ(form.arrayIndexes("Label3"), std::vector<int>{0});
    form.load("Label3", 3); // the index can be loaded again
    EXPECT_NE(form.find("Label3", 3), nullptr);
}

TEST(TwipForm, UnloadingAContainerTakesItsControlsAlong) {
    TwipForm form;
    form.add(ControlKind::PictureBox, "Pic", {0, 0, 1000, 1000}, nullptr, 0);
    Control& second = form.load("Pic", 1);
    form.add(ControlKind::Label, "Inner", {0, 0, 100, 100}, &second);
    form.unload("Pic", 1);
    EXPECT_EQ(form.find("Inner"), nullptr);
    EXPECT_EQ(form.allControls().size(), 1u);
}

TEST(TwipForm, NamesAreEitherPlainControlsOrArrays) {
    TwipForm form;
    form.add(ControlKind::Label, "Label4", {});
    EXPECT_THROW(form.add(ControlKind::Label, "Label4", {}, nullptr, 0), std::invalid_argument);
    EXPECT_THROW(form.add(ControlKind::Label, "Label4", {}), std::invalid_argument);
    EXPECT_THROW(form.control("Label4", 2), std::out_of_range);
}

TEST(TwipForm, VisibleIsTheControlsOwnProperty) {
    TwipForm form;
    Control& label = form.add(ControlKind::Label, "Label1", {});
    EXPECT_TRUE(label.visible()); // although the form is not shown
    label.setVisible(false);
    form.show();
    EXPECT_FALSE(label.widget()->isVisible());
    label.setVisible(true);
    EXPECT_TRUE(label.widget()->isVisible());
}

TEST(TwipForm, TextOfEachKind) {
    TwipForm form;
    Control& multi = form.addMultiLineTextBox("Text1", {0, 0, 2000, 2000});
    multi.setText("a\r\nb\r\n");
    EXPECT_EQ(multi.text(), "a\r\nb\r\n");
    Control& combo = form.add(ControlKind::ComboBox, "Combo1", {});
    combo.addItem("1 甲");
    combo.addItem("2 乙");
    combo.setText("2 乙");
    EXPECT_EQ(combo.listIndex(), 1);
    EXPECT_EQ(combo.listCount(), 2);
    EXPECT_EQ(combo.listItem(0), "1 甲");
    Control& option = form.add(ControlKind::OptionButton, "Option1", {});
    option.setText("男");
    option.setChecked(true);
    EXPECT_TRUE(option.checked());
    Control& frame = form.add(ControlKind::Frame, "Frame1", {});
    frame.setText("说明");
    EXPECT_EQ(frame.text(), "说明");
}

TEST(TwipForm, ClickHandlersReachButtonsLabelsAndPictureBoxes) {
    TwipForm form;
    int clicks = 0;
    Control& button = form.add(ControlKind::CommandButton, "Command1", {0, 0, 900, 300});
    Control& label = form.add(ControlKind::Label, "Label4", {0, 600, 900, 300});
    Control& picture = form.add(ControlKind::PictureBox, "Picture1", {0, 900, 900, 300});
    for (Control* c : {&button, &label, &picture})
        c->setOnClick([&] { ++clicks; });
    form.show();
    for (Control* c : {&button, &label, &picture})
        QTest::mouseClick(c->widget(), Qt::LeftButton);
    EXPECT_EQ(clicks, 3);
    button.setOnClick({}); // replacing the handler drops the old one
    QTest::mouseClick(button.widget(), Qt::LeftButton);
    EXPECT_EQ(clicks, 3);
}

TEST(TwipForm, PaintHandlersDrawInTwips) {
    TwipForm form;
    form.setClientSize(1500, 1500);
    QRect seen;
    form.setOnPaint([&](QPainter& painter) {
        painter.fillRect(QRect(0, 0, 750, 1500), Qt::red);
        seen = painter.transform().mapRect(QRect(0, 0, 1500, 1500));
    });
    const QImage image = form.grab().toImage();
    EXPECT_EQ(seen.width(), 100);
    EXPECT_EQ(image.pixelColor(10, 50), QColor(Qt::red));
    EXPECT_NE(image.pixelColor(90, 50), QColor(Qt::red));
}

// The program waits for its main window's first paint (to count the printers,
// to end a start-up check): the form itself is painted, scrolled or not.
TEST(TwipForm, TheFormItselfIsPaintedAlsoWhenItScrolls) {
    struct PaintCounter final : QObject {
        int paints = 0;
        bool eventFilter(QObject*, QEvent* event) override {
            paints += event->type() == QEvent::Paint ? 1 : 0;
            return false;
        }
    } counter;
    TwipForm form;
    form.setClientSize(9000, 9000);
    form.installEventFilter(&counter);
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    const auto painted = [&] {
        for (int i = 0; i < 100 && counter.paints == 0; ++i)
            QTest::qWait(10);
        return counter.paints > 0;
    };
    EXPECT_TRUE(painted());
    form.fitToArea(QSize(400, 400));
    ASSERT_NE(form.fitScroll(), nullptr);
    counter.paints = 0;
    form.update();
    EXPECT_TRUE(painted());
}

TEST(TwipForm, EscapeDoesNotCloseAForm) {
    TwipForm form;
    form.show();
    QSignalSpy rejected(&form, &QDialog::rejected);
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_EQ(rejected.count(), 0);
    EXPECT_TRUE(form.isVisible());
}

} // namespace

namespace {
// Rows of the picture that hold dark (text) pixels: first and last, or -1.
std::pair<int, int> InkRows(const QImage& image) {
    int first = -1, last = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 100) {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
    return {first, last};
}
} // namespace

TEST(TwipForm, LabelsInFacesWithATallLineKeepTheirTextInsideTheLabel) {
    TwipForm form;
    form.setClientSize(3000, 1000);
    // 195 twips: the height the windows give one line of 9-point text.
    Control& label = form.add(ControlKind::Label, "Label1", {100, 100, 1500, 195});
    label.setFont({QStringLiteral("Noto Serif CJK SC"), 9.0});
    label.setText(QStringLiteral("姓名"));
    label.setBackColor(Qt::white);
    form.show();
    const QImage picture = label.widget()->grab().toImage();
    const auto [first, last] = InkRows(picture);
    ASSERT_GE(first, 0);
    // The characters are whole: their lowest strokes stand clear of the bottom edge.
    EXPECT_LT(last, picture.height() - 1) << first << "-" << last << " of " << picture.height();
}

TEST(TwipForm, LabelsBreakTheirCaptionAtEveryKindOfLineBreak) {
    TwipForm form;
    form.setClientSize(3000, 2000);
    Control& label = form.add(ControlKind::Label, "Label1", {100, 100, 1500, 600});
    label.setText(QStringLiteral("第一行\r第二行\r\n第三行"));
    // The caption is kept as set; the label shows three lines.
    EXPECT_EQ(label.text(), QStringLiteral("第一行\r第二行\r\n第三行"));
    auto* shown = label.as<QLabel>();
    EXPECT_EQ(shown->text(), QStringLiteral("第一行\n第二行\n第三行"));
    Control& one = form.add(ControlKind::Label, "Label2", {100, 800, 1500, 600});
    one.setText(QStringLiteral("第一行"));
    one.setAutoSize(true);
    label.setAutoSize(true);
    EXPECT_GE(label.height(), 3 * one.height() - PixelsToTwips(2));
    // A copy loaded from an array element keeps the caption too.
    Control& first = form.add(ControlKind::Label, "Label3", {0, 0, 900, 400}, nullptr, 0);
    first.setText(QStringLiteral("甲\r乙"));
    EXPECT_EQ(form.load("Label3", 1).text(), QStringLiteral("甲\r乙"));
}

// Photos in "扫描与合并": corrected when added, kept as they are when no
// page is found, cleaning and undo per page, the result written by "完成";
// the corner editor by mouse and by keyboard.

#include "scan/jpeg.h"
#include "scan/ui/ScanWindow.h"
#include "scan/ui/page_corners.h"

#include "materials/manifest_fixture.h"
#include "support/fake_prompter.h"
#include "support/photo_scene.h"

#include <QApplication>
#include <QListWidget>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>

using namespace photo_scene;
using scan::ui::CornerEditor;
using scan::ui::PageCornersDialog;
using scan::ui::ScanWindow;

namespace {

class NoScanner final : public platform::Scanner {
  public:
    std::vector<platform::ScannerDevice> devices() override { return {}; }
    platform::ScanOutcome scan(const platform::ScanSettings&,
                               const platform::ScanControl&) override {
        return {};
    }
};

class PhotoWindowTest : public materials_test::TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        previous_ = platform::SetScanner(std::make_shared<NoScanner>());
    }
    void TearDown() override {
        platform::SetScanner(previous_);
        TempFolderTest::TearDown();
    }
    std::string PhotoFile(const char* name, Background bg) {
        Random rnd(21);
        const scan::Raster page = TextPage(rnd, 60);
        Scene s = RandomScene(rnd, bg);
        s.tiltDeg = 18, s.turnDeg = 7, s.fill = 0.55;
        const Photo photo = MakePhoto(rnd, s, page, 900, 1200);
        const auto jpeg = scan::EncodeJpeg(photo.pixels, 90);
        const auto path = dir_ / name;
        materials_test::WriteBytes(path, std::string(jpeg.begin(), jpeg.end()));
        return materials_test::U8(path);
    }
    scan::ui::ScanRequest Request() {
        return {"测试", "营业执照", "营业执照", materials_test::U8(dir_), 10, 0};
    }
    QString ItemText(ScanWindow& w, int i) {
        return w.findChild<QListWidget*>(QStringLiteral("pages"))->item(i)->text();
    }

    testsupport::ScopedFakePrompter prompter_;
    std::shared_ptr<platform::Scanner> previous_;
};

void Drag(QWidget* w, QPointF from, QPointF to) {
    QTest::mousePress(w, Qt::LeftButton, Qt::NoModifier, from.toPoint());
    // QTest::mouseMove carries no pressed button in Qt 6.4: a drag is sent as
    // the events a real mouse sends.
    for (int k = 1; k <= 4; ++k) {
        const QPointF at = from + (to - from) * (k / 4.0);
        QMouseEvent move(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                         Qt::NoModifier);
        QApplication::sendEvent(w, &move);
    }
    QTest::mouseRelease(w, Qt::LeftButton, Qt::NoModifier, to.toPoint());
}

} // namespace

TEST_F(PhotoWindowTest, PhotosAreCorrectedCleanedUndoneAndWritten) {
    ScanWindow w(Request());
    w.addImageFile(PhotoFile("desk.jpg", Background::DarkWood));
    w.addImageFile(PhotoFile("empty.jpg", Background::EmptyDesk));
    w.waitForPages();
    ASSERT_EQ(w.pages().size(), 2u);
    const scan::Page& corrected = w.pages().at(0);
    ASSERT_TRUE(corrected.photo);
    EXPECT_TRUE(corrected.photo->corrected);
    EXPECT_NE(corrected.source, corrected.photo->original);
    const scan::SourceInfo& info = corrected.source->info();
    EXPECT_NEAR(static_cast<double>(info.width) / info.height, 210.0 / 297.0, 0.005);
    EXPECT_TRUE(ItemText(w, 0).contains(QStringLiteral("已校正")));
    // No page on an empty desk: the photo as it was, and the entry says so.
    const scan::Page& kept = w.pages().at(1);
    ASSERT_TRUE(kept.photo);
    EXPECT_FALSE(kept.photo->corrected);
    EXPECT_EQ(kept.source, kept.photo->original);
    EXPECT_EQ(kept.source->info().width, 900);
    EXPECT_TRUE(ItemText(w, 1).contains(QStringLiteral("未找到页面")));

    // Undo gives the photo back; a cleaning corrects it again (黑白: one
    // bit a pixel).
    w.selectPage(0);
    const scan::SourcePtr photo = w.pages().at(0).photo->original;
    w.undoCorrection();
    w.waitForPages();
    EXPECT_EQ(w.pages().at(0).source, photo);
    EXPECT_FALSE(w.pages().at(0).photo->corrected);
    // Two choices in quick succession: the last one holds.
    w.setCleaning(scan::Cleaning::Original, false);
    w.setCleaning(scan::Cleaning::BlackWhite, false);
    w.waitForPages();
    EXPECT_TRUE(w.pages().at(0).photo->corrected);
    EXPECT_EQ(w.pages().at(0).photo->cleaning, scan::Cleaning::BlackWhite);
    EXPECT_TRUE(w.pages().at(0).source->info().bilevel);
    // Corners set by hand: the page from them (half the photo: not A4).
    scan::Corners half = scan::WholeImage(900, 600);
    w.applyCorners(0, half);
    w.waitForPages();
    const scan::SourceInfo& part = w.pages().at(0).source->info();
    EXPECT_NEAR(static_cast<double>(part.width) / part.height, 1.5, 0.01);

    // Through the presets and the estimate into the PDF (pictures only: the
    // text layer's share of the estimate is the recognition tests' matter).
    w.setRecognising(false);
    EXPECT_FALSE(w.sizeText().contains(QStringLiteral("正在计算")));
    const double estimate = static_cast<double>(w.estimatedBytes());
    w.finish();
    ASSERT_FALSE(w.resultPath().empty());
    EXPECT_NEAR(static_cast<double>(std::filesystem::file_size(w.resultPath())), estimate,
                estimate * 0.05);
    EXPECT_EQ(w.pages().at(0).image(w.quality()).bitsPerComponent, 1);
}

TEST_F(PhotoWindowTest, TheCornerEditorFollowsTheMouseAndTheKeyboard) {
    QImage shown(400, 300, QImage::Format_RGB32);
    shown.fill(Qt::darkGray);
    const scan::Corners start{scan::Point2{100, 100}, scan::Point2{700, 100},
                              scan::Point2{700, 500}, scan::Point2{100, 500}};
    PageCornersDialog dialog(shown, 800, 600, start, 0);
    dialog.resize(700, 600);
    dialog.show();
    QApplication::setActiveWindow(&dialog);
    CornerEditor* editor = dialog.editor();

    // Dragged: the corner follows; a press away from every corner moves none.
    const QPointF from = editor->cornerPosition(2);
    Drag(editor, from, from + QPointF(-30, -20));
    EXPECT_NEAR(editor->cornerPosition(2).x(), from.x() - 30, 0.6);
    EXPECT_NEAR(editor->cornerPosition(2).y(), from.y() - 20, 0.6);
    EXPECT_LT(dialog.corners()[2].x, 700);
    Drag(editor, QPointF(editor->width() / 2.0, editor->height() / 2.0), QPointF(5, 5));
    EXPECT_EQ(dialog.corners()[0].x, 100);
    // A corner never leaves the photo.
    Drag(editor, editor->cornerPosition(0), QPointF(-50, -50));
    EXPECT_EQ(dialog.corners()[0].x, 0);
    EXPECT_EQ(dialog.corners()[0].y, 0);

    // Keyboard: Tab chooses the next corner, arrows move it, Tab after the
    // fourth and Shift+Tab leave the view.
    editor->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(editor->currentCorner(), 0);
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_EQ(editor->currentCorner(), 1);
    const QPointF before = editor->cornerPosition(1);
    QTest::keyClick(editor, Qt::Key_Down, Qt::ShiftModifier);
    QTest::keyClick(editor, Qt::Key_Left);
    EXPECT_NEAR(editor->cornerPosition(1).y(), before.y() + 10, 0.6);
    EXPECT_NEAR(editor->cornerPosition(1).x(), before.x() - 1, 0.6);
    QTest::keyClick(editor, Qt::Key_Tab);
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_EQ(editor->currentCorner(), 3);
    QTest::keyClick(editor, Qt::Key_Tab);
    EXPECT_NE(dialog.focusWidget(), editor);
    editor->setFocus(Qt::TabFocusReason);
    QTest::keyClick(editor, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_NE(dialog.focusWidget(), editor);
    // Esc leaves the dialog.
    editor->setFocus(Qt::TabFocusReason);
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(PhotoWindowTest, TheEditorShowsAPhotoTurnedAsItsFileSays) {
    QImage shown(400, 300, QImage::Format_RGB32);
    const scan::Corners corners{scan::Point2{0, 0}, scan::Point2{800, 0}, scan::Point2{800, 600},
                                scan::Point2{0, 600}};
    CornerEditor editor(shown, 800, 600, corners, 90);
    editor.resize(500, 500);
    // Turned clockwise: the stored top left is shown at the top right.
    const QPointF topLeft = editor.cornerPosition(0), bottomLeft = editor.cornerPosition(3);
    EXPECT_GT(topLeft.x(), bottomLeft.x());
    EXPECT_NEAR(topLeft.y(), bottomLeft.y(), 0.01);
    Drag(&editor, editor.cornerPosition(1), editor.cornerPosition(1) + QPointF(-20, -20));
    // Up and left on the screen: left and down in the stored pixels.
    EXPECT_LT(editor.corners()[1].x, 790);
    EXPECT_GT(editor.corners()[1].y, 10);
}

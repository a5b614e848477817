// The folder picker and the help window from the keyboard: Tab order, Enter
// on the buttons and Esc, which leaves the picker as "退 出" does and closes
// the help window.

#include "dialogs/ui/frmnote.h"
#include "dialogs/ui/selpath.h"
#include "startup/mainbas.h"

#include "support/keyboard.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using dialogs::ui::SELPATH;
using testsupport::PressOnFocus;
using testsupport::ShowActive;
using testsupport::TabCycle;

namespace {

class PickerKeys : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(temp.isValid());
        QDir(temp.path()).mkpath("甲");
        start = QDir::toNativeSeparators(QDir(temp.path()).filePath("甲"));
        PickedFolder = start.toStdString();
        PickerMode = 2;
    }
    void TearDown() override { ResetGlobals(); }
    static std::vector<dialogs::ui::Drive> Drives() { return {{"/", ""}}; }
    QTemporaryDir temp;
    QString start;
};

TEST_F(PickerKeys, TabGoesThroughPathFoldersDriveAndButtons) {
    SELPATH picker(nullptr, Drives);
    ASSERT_TRUE(ShowActive(picker));
    EXPECT_EQ(TabCycle(picker.Label1().widget()),
              (QStringList{"Label1", "Dir1", "Drive1", "Command1_0", "Command1_1"}));
}

// Each way out from the keyboard, from whichever control has the focus.
TEST_F(PickerKeys, EnterOnAButtonAndEscLeaveAsTheButtonsDo) {
    const struct {
        const char* focus;
        Qt::Key key;
        int mode; // PickerMode afterwards
    } cases[] = {
        {"Command1_0", Qt::Key_Return, 0}, {"Command1_1", Qt::Key_Return, 2},
        {"Label1", Qt::Key_Escape, 2},     {"Dir1", Qt::Key_Escape, 2},
        {"Command1_0", Qt::Key_Escape, 2},
    };
    for (const auto& c : cases) {
        PickerMode = 2;
        PickedFolder = start.toStdString();
        SELPATH picker(nullptr, Drives);
        ASSERT_TRUE(ShowActive(picker));
        auto* target = picker.findChild<QWidget*>(QString::fromUtf8(c.focus));
        ASSERT_NE(target, nullptr) << c.focus;
        target->setFocus(Qt::TabFocusReason);
        PressOnFocus(c.key);
        EXPECT_FALSE(picker.isVisible()) << c.focus;
        EXPECT_EQ(PickerMode, c.mode) << c.focus;
        EXPECT_EQ(QString::fromStdString(PickedFolder), start) << c.focus;
    }
}

// The help window: Esc closes it; on a small screen it is made smaller
// (it can be resized), its text box filling it.
TEST(HelpKeys, EscClosesTheHelpWindowThatFitsTheScreen) {
    dialogs::ui::FrmNote note;
    note.fitToArea(QSize(1093, 600));
    EXPECT_EQ(note.height() + dialogs::ui::FrmNote::FrameAllowance().height(), 600);
    ASSERT_TRUE(ShowActive(note));
    EXPECT_EQ(note.Text1().widget()->height(), note.height());
    EXPECT_EQ(PressOnFocus(Qt::Key_Tab), note.Text1().widget()); // the only control
    PressOnFocus(Qt::Key_Escape);
    EXPECT_FALSE(note.isVisible());
}

} // namespace

#include "dialogs/help_text.h"
#include "dialogs/ui/frmnote.h"

#include <QPlainTextEdit>
#include <QTest>
#include <gtest/gtest.h>

using dialogs::ui::FrmNote;

namespace {

TEST(FrmNote, ShowsTheHelpTextWithTheCaretAfterIt) {
    FrmNote note;
    EXPECT_EQ(note.caption(), "使用说明");
    EXPECT_EQ(note.Text1().text().toStdString(), dialogs::HelpText());
    auto* edit = note.Text1().as<QPlainTextEdit>();
    EXPECT_EQ(edit->textCursor().position(), edit->document()->characterCount() - 1);
    EXPECT_EQ(note.Text1().font().name, "宋体");
}

TEST(FrmNote, ActivationSelectsNothingBeyondTheFinalLineBreak) {
    FrmNote note;
    note.show();
    note.Form_Activate();
    auto* edit = note.Text1().as<QPlainTextEdit>();
    EXPECT_FALSE(edit->textCursor().hasSelection());
    EXPECT_EQ(edit->textCursor().position(), edit->document()->characterCount() - 1);
}

TEST(FrmNote, TextBoxFollowsTheWindowSizeAndSurvivesMinimising) {
    FrmNote note;
    note.show();
    note.resize(400, 300);
    EXPECT_EQ(note.Text1().width(), 6000);
    EXPECT_EQ(note.Text1().height(), 4502);
    note.showMinimized();
    note.Form_Resize();
    note.showNormal();
    note.resize(500, 350);
    EXPECT_EQ(note.Text1().width(), 7500);
    EXPECT_EQ(note.Text1().widget()->size(), QSize(500, 350));
}

TEST(FrmNote, OpeningAgainReusesTheOpenWindow) {
    QPointer<FrmNote> window;
    FrmNote& first = dialogs::ui::ShowHelpWindow(window, nullptr);
    FrmNote& second = dialogs::ui::ShowHelpWindow(window, nullptr);
    EXPECT_EQ(&first, &second);
    EXPECT_TRUE(second.isVisible());
    first.close(); // deletes itself
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(window.isNull());
    FrmNote& third = dialogs::ui::ShowHelpWindow(window, nullptr);
    EXPECT_TRUE(third.isVisible());
    delete &third;
}

} // namespace

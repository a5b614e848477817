#include "dialogs/ui/frmnote.h"

#include "dialogs/help_text.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPlainTextEdit>
#include <algorithm>

namespace dialogs::ui {

using twip::ui::Control;

FrmNote::FrmNote(QWidget* parent) : TwipForm(parent) {
    setObjectName(QStringLiteral("FrmNote"));
    setCaption(QStringLiteral("使用说明"));
    setResizable(true);
    setClientSize(9150, 8970);
    Control& text = addMultiLineTextBox(QStringLiteral("Text1"), {0, 0, 9135, 8925});
    text.setText(QString::fromStdString(HelpText()));
    setEscapeAction([this] { close(); });
    Form_Load();
}

void FrmNote::Form_Load() {
    centreOnScreen();
    Text1().as<QPlainTextEdit>()->moveCursor(QTextCursor::End);
}

void FrmNote::Form_Activate() {
    // Focus the text and press Shift+End in it, as a user would.
    QWidget* edit = Text1().widget();
    edit->setFocus();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_End, Qt::ShiftModifier);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_End, Qt::ShiftModifier);
    QApplication::sendEvent(edit, &press);
    QApplication::sendEvent(edit, &release);
}

void FrmNote::Form_Resize() {
    if (isMinimized())
        return;
    Control& text = Text1();
    text.setWidth(std::max(0, scaleWidth() - 2 * text.left()));
    text.setHeight(std::max(0, scaleHeight() - text.top() + 2));
}

void FrmNote::changeEvent(QEvent* event) {
    TwipForm::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        Form_Activate();
}

void FrmNote::resizeEvent(QResizeEvent* event) {
    TwipForm::resizeEvent(event);
    Form_Resize();
}

FrmNote& ShowHelpWindow(QPointer<FrmNote>& open, QWidget* parent) {
    if (!open) {
        open = new FrmNote(parent);
        open->setAttribute(Qt::WA_DeleteOnClose);
    }
    open->show();
    open->setWindowState(open->windowState() & ~Qt::WindowMinimized);
    open->raise();
    open->activateWindow();
    return *open;
}

} // namespace dialogs::ui

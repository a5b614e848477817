#pragma once
// Keyboard helpers for window tests: real key events sent to the focused
// widget, as the user's keys reach it.

#include <QApplication>
#include <QStringList>
#include <QTest>
#include <QWidget>

#include <ostream>

// Failures show the names, not their bytes.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << text.toStdString();
}

namespace testsupport {

// Shows `window` and makes it the active window, so that focus and keys work.
inline bool ShowActive(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

// Presses a key on whatever has the focus now; returns the focus afterwards.
inline QWidget* PressOnFocus(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    QWidget* focus = QApplication::focusWidget();
    if (focus)
        QTest::keyClick(focus, key, modifiers);
    return QApplication::focusWidget();
}

// The object names of the widgets that Tab (or Shift+Tab) visits from `start`
// until the focus comes back to it; at most `limit` steps.
inline QStringList TabCycle(QWidget* start, bool backwards = false, int limit = 60) {
    QStringList names;
    start->setFocus(Qt::TabFocusReason);
    QWidget* now = QApplication::focusWidget();
    for (int i = 0; i < limit && now; ++i) {
        names << now->objectName();
        now = PressOnFocus(Qt::Key_Tab, backwards ? Qt::ShiftModifier : Qt::NoModifier);
        if (now == start)
            break;
    }
    return names;
}

} // namespace testsupport

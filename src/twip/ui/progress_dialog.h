#pragma once
// The set-up shared by the progress dialogs of long runs (the save, the
// package check).

class QProgressDialog;
class QPushButton;
class QString;

namespace platform::ui {

// The range of the dialogs' bar: the share done, in thousandths.
inline constexpr int kProgressScale = 1000;

// Sets up a progress dialog of a long run: window-modal, shown at once, kept
// open at the end, with a "取消" button named `cancelName`, which it returns
// (the dialog owns it).
QPushButton* SetUpProgressDialog(QProgressDialog& dialog, const QString& objectName,
                                 const QString& title, const QString& cancelName);

} // namespace platform::ui

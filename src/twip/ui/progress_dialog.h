#pragma once
// The set-up shared by the progress dialogs of long runs (the save, the
// package check).

#include <QElapsedTimer>

class QProgressDialog;
class QPushButton;
class QString;

namespace twip::ui {

// The range of the dialogs' bar: the share done, in thousandths.
inline constexpr int kProgressScale = 1000;

// Sets up a progress dialog of a long run: window-modal, shown at once, kept
// open at the end, with a "取消" button named `cancelName`, which it returns
// (the dialog owns it).
QPushButton* SetUpProgressDialog(QProgressDialog& dialog, const QString& objectName,
                                 const QString& title, const QString& cancelName);

// How often such a dialog is redrawn and events are handled while the run
// reports: a run of 10,000 files reports tens of thousands of times, and
// each redraw with its round of events costs the run far more than the
// report itself.
class ProgressPace {
  public:
    static constexpr int kIntervalMs = 40; // 25 times a second

    // True at most once per interval (the first time at once).
    bool due();

  private:
    QElapsedTimer last_;
};

} // namespace twip::ui

#pragma once
// What a window shows while the package check runs: the busy pointer
// throughout and, once the check has gone on for about half a second, a
// window-modal progress dialog with the files checked or the bytes compared
// and a cancel button (the check stops before the next chunk). Like the
// save's, the dialog runs no loop of its own: the check keeps the thread and
// lets it handle events between files and chunks, at most 25 times a second,
// when it is also redrawn.

#include "disc/package_check.h"
#include "twip/ui/progress_dialog.h"

#include <QElapsedTimer>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <string>

class QProgressDialog;
class QWidget;

namespace disc::ui {

class CheckProgress final : public CheckObserver {
  public:
    static constexpr int kDefaultDelayMs = 500;

    explicit CheckProgress(QWidget* parent, int delayMs = kDefaultDelayMs);
    ~CheckProgress() override;
    CheckProgress(const CheckProgress&) = delete;
    CheckProgress& operator=(const CheckProgress&) = delete;

    void progress(Stage stage, std::uint64_t done, std::uint64_t total) override;
    bool cancelRequested() override;

    // The dialog while it is shown; null before (and for short checks, always).
    QProgressDialog* dialog() const { return dialog_.get(); }

  private:
    QPointer<QWidget> parent_;
    int delayMs_;
    QElapsedTimer clock_;
    std::unique_ptr<QProgressDialog> dialog_;
    twip::ui::ProgressPace pace_;
};

// The package check of the folder just saved, with this progress over the
// active window: its findings as the text added to the save's message ("" when
// it found none).
std::string SavedPackageProblems(const std::string& folder);

} // namespace disc::ui

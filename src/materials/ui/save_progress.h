#pragma once
// What the materials window shows while "保存" runs: the busy pointer from the
// start of the copying to the end, and, once copying has gone on for about
// half a second, a progress dialog with the file being copied, the bytes done
// and a cancel button (the save stops before the next file). The dialog is
// window-modal and never run in a loop of its own: the save keeps the thread
// and lets it handle events between chunks, at most 25 times a second, when
// the dialog is also redrawn.

#include "materials/save_folder.h"
#include "twip/ui/progress_dialog.h"

#include <QElapsedTimer>
#include <QPointer>

#include <cstdint>
#include <memory>
#include <string>

class QProgressDialog;
class QPushButton;
class QString;
class QWidget;

namespace materials::ui {

class SaveProgress final : public SaveObserver {
  public:
    static constexpr int kDefaultDelayMs = 500;

    explicit SaveProgress(QWidget* parent, int delayMs = kDefaultDelayMs);
    ~SaveProgress() override;
    SaveProgress(const SaveProgress&) = delete;
    SaveProgress& operator=(const SaveProgress&) = delete;

    void stage(SaveStage stage, const std::string& name) override;
    void copied(std::uint64_t done, std::uint64_t total) override;
    bool cancelRequested() override;

    // The dialog while it is shown; null before (and for short saves, always).
    QProgressDialog* dialog() const { return dialog_.get(); }

  private:
    void showIfDue();
    void showState();
    void handleEvents();
    void restorePointer();

    QPointer<QWidget> parent_;
    int delayMs_;
    QElapsedTimer clock_;
    std::unique_ptr<QProgressDialog> dialog_;
    QPointer<QPushButton> cancel_;
    bool busy_ = false;
    bool copying_ = false;
    std::string name_;
    std::uint64_t done_ = 0;
    std::uint64_t total_ = 0;
    twip::ui::ProgressPace pace_;
};

} // namespace materials::ui

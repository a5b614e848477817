#include "materials/ui/save_progress.h"

#include "twip/ui/progress_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QProgressDialog>
#include <QPushButton>
#include <QWidget>

namespace materials::ui {
namespace {

constexpr int kScale = twip::ui::kProgressScale;

// The dialog closes (✕, Esc) only while cancelling is possible; a close then
// cancels the save. Once the save is past that point it stays to the end.
class SaveDialog final : public QProgressDialog {
  public:
    explicit SaveDialog(QWidget* parent) : QProgressDialog(parent) {}
    bool closable = true;

    void reject() override {
        if (closable)
            QProgressDialog::reject();
    }

  protected:
    void closeEvent(QCloseEvent* event) override {
        if (closable)
            QProgressDialog::closeEvent(event);
        else
            event->ignore();
    }
    void keyPressEvent(QKeyEvent* event) override {
        if (!closable && event->key() == Qt::Key_Escape) {
            event->accept();
            return;
        }
        QProgressDialog::keyPressEvent(event);
    }
};

QString Megabytes(std::uint64_t bytes) {
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1);
}

} // namespace

SaveProgress::SaveProgress(QWidget* parent, int delayMs) : parent_(parent), delayMs_(delayMs) {}

SaveProgress::~SaveProgress() {
    restorePointer();
}

void SaveProgress::restorePointer() {
    if (busy_)
        QApplication::restoreOverrideCursor();
    busy_ = false;
}

void SaveProgress::stage(SaveStage stage, const std::string& name) {
    switch (stage) {
    case SaveStage::Begin:
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        busy_ = true;
        copying_ = true;
        clock_.start();
        break;
    case SaveStage::Copy:
        // Shown with the bytes copied, which follow.
        name_ = name;
        showIfDue();
        return;
    case SaveStage::Place:
    case SaveStage::Commit:
        if (!copying_ && (!dialog_ || !pace_.due()))
            return;
        copying_ = false; // past the point where the previous package could stay
        break;
    case SaveStage::Clean:
        copying_ = false;
        if (!pace_.due())
            return;
        // Removing a large folder tree keeps the window painted, but takes
        // no input while no dialog holds the window.
        if (!dialog_)
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        break;
    case SaveStage::Release:
        break;
    case SaveStage::End:
        dialog_.reset();
        restorePointer();
        return;
    }
    showState();
    handleEvents();
}

void SaveProgress::copied(std::uint64_t done, std::uint64_t total) {
    done_ = done;
    total_ = total;
    showIfDue();
    if (!dialog_ || !pace_.due())
        return;
    showState();
    handleEvents();
}

bool SaveProgress::cancelRequested() {
    if (dialog_ && pace_.due())
        handleEvents();
    return dialog_ && dialog_->wasCanceled();
}

void SaveProgress::showIfDue() {
    if (dialog_ || !copying_ || !clock_.isValid() || clock_.elapsed() < delayMs_)
        return;
    dialog_ = std::make_unique<SaveDialog>(parent_);
    cancel_ =
        twip::ui::SetUpProgressDialog(*dialog_, QStringLiteral("SaveProgress"),
                                      QStringLiteral("保存"), QStringLiteral("SaveProgressCancel"));
    dialog_->show();
}

void SaveProgress::showState() {
    if (!dialog_)
        return;
    if (copying_) {
        dialog_->setLabelText(QStringLiteral("正在复制：") + QString::fromStdString(name_) +
                              QStringLiteral("\n已复制 ") + Megabytes(done_) +
                              QStringLiteral(" / ") + Megabytes(total_) + QStringLiteral(" MB"));
        dialog_->setValue(total_ == 0 ? 0 : static_cast<int>(done_ * kScale / total_));
    } else {
        dialog_->setLabelText(QStringLiteral("正在写入申报资料……"));
        dialog_->setValue(kScale);
        if (cancel_)
            cancel_->setEnabled(false);
        static_cast<SaveDialog*>(dialog_.get())->closable = false;
    }
}

// Only once the dialog shows (window-modal: the materials window takes no
// input meanwhile) are events handled, so nothing can start a second action;
// and like the redraws, at the dialog's pace.
void SaveProgress::handleEvents() {
    if (dialog_)
        QCoreApplication::processEvents();
}

} // namespace materials::ui

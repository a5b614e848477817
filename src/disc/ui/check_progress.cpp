#include "disc/ui/check_progress.h"

#include "disc/ui/content_checks.h"
#include "twip/ui/progress_dialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QProgressDialog>
#include <QPushButton>
#include <QWidget>

namespace disc::ui {
namespace {

constexpr int kScale = twip::ui::kProgressScale;

QString Megabytes(std::uint64_t bytes) {
    return QString::number(static_cast<double>(bytes) / (1024.0 * 1024.0), 'f', 1);
}

} // namespace

CheckProgress::CheckProgress(QWidget* parent, int delayMs) : parent_(parent), delayMs_(delayMs) {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    clock_.start();
}

CheckProgress::~CheckProgress() {
    dialog_.reset();
    QApplication::restoreOverrideCursor();
}

void CheckProgress::progress(Stage stage, std::uint64_t done, std::uint64_t total) {
    if (!dialog_ && clock_.elapsed() >= delayMs_) {
        dialog_ = std::make_unique<QProgressDialog>(parent_);
        twip::ui::SetUpProgressDialog(*dialog_, QStringLiteral("CheckProgress"),
                                      QStringLiteral("检查申报资料"),
                                      QStringLiteral("CheckProgressCancel"));
        dialog_->show();
    }
    if (!dialog_ || !pace_.due())
        return;
    dialog_->setLabelText(stage == Stage::Files
                              ? QStringLiteral("正在检查文件：%1 / %2").arg(done).arg(total)
                              : QStringLiteral("正在比较文件内容：%1 / %2 MB")
                                    .arg(Megabytes(done), Megabytes(total)));
    dialog_->setValue(total == 0 ? 0 : static_cast<int>(done * kScale / total));
    QCoreApplication::processEvents();
}

// Only once the dialog shows (window-modal: the window below takes no input
// meanwhile) are events handled, so nothing can start a second action; and
// like the redraws, at the dialog's pace.
bool CheckProgress::cancelRequested() {
    if (!dialog_)
        return false;
    if (pace_.due())
        QCoreApplication::processEvents();
    return dialog_->wasCanceled();
}

std::string SavedPackageProblems(const std::string& folder) {
    QtContentInspector inspector;
    PackageCheck check;
    {
        CheckProgress progress(QApplication::activeWindow());
        check = CheckPackage(folder, &inspector, &progress);
    }
    const std::string findings = FindingsText(check);
    if (findings.empty())
        return {};
    return "\r\n\r\n刻录前检查发现以下问题：\r\n" + findings;
}

} // namespace disc::ui

#include "twip/ui/progress_dialog.h"

#include <QProgressDialog>
#include <QPushButton>
#include <QString>

namespace twip::ui {

QPushButton* SetUpProgressDialog(QProgressDialog& dialog, const QString& objectName,
                                 const QString& title, const QString& cancelName) {
    dialog.setObjectName(objectName);
    dialog.setWindowTitle(title);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setAutoReset(false);
    dialog.setAutoClose(false);
    dialog.setMinimumDuration(0);
    dialog.setRange(0, kProgressScale);
    dialog.setMinimumWidth(420);
    auto* cancel = new QPushButton(QStringLiteral("取消"));
    cancel->setObjectName(cancelName);
    dialog.setCancelButton(cancel); // the dialog owns it
    return cancel;
}

bool ProgressPace::due() {
    if (last_.isValid() && last_.elapsed() < kIntervalMs)
        return false;
    last_.start();
    return true;
}

} // namespace twip::ui

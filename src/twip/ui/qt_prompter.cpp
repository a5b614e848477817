#include "twip/ui/qt_prompter.h"

#include "platform/ui/qtext.h"
#include "twip/ui/print_preview.h"
#include "twip/ui/qt_printer.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinterInfo>
#include <QPushButton>

namespace twip::ui {
namespace {

using platform::ui::Q;

QMessageBox::Icon ToQt(platform::MsgIcon icon) {
    switch (icon) {
    case platform::MsgIcon::Critical:
        return QMessageBox::Critical;
    case platform::MsgIcon::Question:
        return QMessageBox::Question;
    case platform::MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case platform::MsgIcon::Information:
        return QMessageBox::Information;
    case platform::MsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

struct ButtonSpec {
    QMessageBox::StandardButton button;
    const char* caption;
    platform::MsgAnswer answer;
};

std::vector<ButtonSpec> ButtonsOf(platform::MsgButtons buttons) {
    const ButtonSpec ok{QMessageBox::Ok, "确定", platform::MsgAnswer::Ok};
    const ButtonSpec cancel{QMessageBox::Cancel, "取消", platform::MsgAnswer::Cancel};
    const ButtonSpec yes{QMessageBox::Yes, "是(&Y)", platform::MsgAnswer::Yes};
    const ButtonSpec no{QMessageBox::No, "否(&N)", platform::MsgAnswer::No};
    switch (buttons) {
    case platform::MsgButtons::OkCancel:
        return {ok, cancel};
    case platform::MsgButtons::YesNo:
        return {yes, no};
    case platform::MsgButtons::YesNoCancel:
        return {yes, no, cancel};
    case platform::MsgButtons::Ok:
        break;
    }
    return {ok};
}

QWidget* DialogParent() {
    return QApplication::activeWindow();
}

std::optional<std::string> Chosen(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    return QDir::toNativeSeparators(path).toStdString();
}

QString StartPath(const platform::FileDialogRequest& request) {
    const QString dir = Q(request.initialDir);
    const QString name = Q(request.proposedName);
    if (dir.isEmpty())
        return name;
    if (name.isEmpty())
        return dir;
    return QDir(dir).filePath(name);
}

} // namespace

QString ToQtFilter(const std::string& filter) {
    // The patterns that match are those after the description; the dialogs
    // hide Qt's "(patterns)" suffix so the user sees the description as given
    // (which may show patterns of its own, e.g. "申报材料(*.doc,*.xls,*.jpeg,*.pdf)").
    const QStringList parts = Q(filter).split(QLatin1Char('|'));
    QStringList entries;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        entries << parts[i] + QStringLiteral(" (") + patterns.simplified() + QLatin1Char(')');
    }
    return entries.join(QStringLiteral(";;"));
}

QString QtPrompter::titleFor(const std::string& title) const {
    return title.empty() ? defaultTitle_ : Q(title);
}

platform::MsgAnswer QtPrompter::message(const std::string& text, const std::string& title,
                                        platform::MsgIcon icon, platform::MsgButtons buttons) {
    QMessageBox box(ToQt(icon), titleFor(title), Q(text), QMessageBox::NoButton, DialogParent());
    const std::vector<ButtonSpec> choices = ButtonsOf(buttons);
    for (const ButtonSpec& choice : choices)
        box.addButton(choice.button)->setText(QString::fromUtf8(choice.caption));
    box.setDefaultButton(choices.front().button);
    box.exec();
    const QMessageBox::StandardButton clicked = box.standardButton(box.clickedButton());
    for (const ButtonSpec& choice : choices)
        if (choice.button == clicked)
            return choice.answer;
    return choices.back().answer;
}

std::optional<std::string> QtPrompter::openFile(const platform::FileDialogRequest& request) {
    const QString title = request.title.empty() ? QStringLiteral("打开") : Q(request.title);
    return Chosen(QFileDialog::getOpenFileName(DialogParent(), title, StartPath(request),
                                               ToQtFilter(request.filter), nullptr,
                                               QFileDialog::HideNameFilterDetails));
}

std::vector<std::string> QtPrompter::openFiles(const platform::FileDialogRequest& request) {
    const QString title = request.title.empty() ? QStringLiteral("打开") : Q(request.title);
    std::vector<std::string> chosen;
    for (const QString& f : QFileDialog::getOpenFileNames(DialogParent(), title, StartPath(request),
                                                          ToQtFilter(request.filter), nullptr,
                                                          QFileDialog::HideNameFilterDetails))
        chosen.push_back(platform::ui::S(f));
    return chosen;
}

std::optional<std::string> QtPrompter::saveFile(const platform::FileDialogRequest& request) {
    // The callers ask their own overwrite question.
    const QString title = request.title.empty() ? QStringLiteral("另存为") : Q(request.title);
    return Chosen(QFileDialog::getSaveFileName(
        DialogParent(), title, StartPath(request), ToQtFilter(request.filter), nullptr,
        QFileDialog::DontConfirmOverwrite | QFileDialog::HideNameFilterDetails));
}

std::optional<std::string> QtPrompter::pickFolder(const std::string& title,
                                                  const std::string& initialDir) {
    if (folderPicker_)
        return folderPicker_(title, initialDir);
    return Chosen(QFileDialog::getExistingDirectory(DialogParent(), Q(title), Q(initialDir)));
}

bool QtPrompter::printerSetup(Printer& printer) {
    auto* qtPrinter = dynamic_cast<QtPrinter*>(&printer);
    if (!qtPrinter)
        return false;
    // A set-up dialog: printer, paper and orientation; no page range, no
    // selection, no printing to a file.
    QPrintDialog dialog(&qtPrinter->device(), DialogParent());
    dialog.setWindowTitle(QStringLiteral("打印设置"));
    dialog.setOptions(QAbstractPrintDialog::PrintShowPageSize);
    return dialog.exec() == QDialog::Accepted;
}

void QtPrompter::printPreview(const platform::PreviewRequest& request) {
    PrintPreview preview(request, DialogParent());
    preview.exec();
}

int QtPrompter::printerCount() {
    return static_cast<int>(QPrinterInfo::availablePrinterNames().size());
}

} // namespace twip::ui

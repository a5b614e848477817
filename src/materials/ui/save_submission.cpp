// "保存" of the materials window: both forms checked, the package folder
// written from the working copy, and the result with the package size.

#include "fieldforms/completeness.h"
#include "materials/save_folder.h"
#include "materials/ui/FrmFjgl.h"
#include "materials/ui/save_progress.h"
#include "platform/prompter.h"
#include "startup/mainbas.h"

#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <string>
#include <vector>

namespace materials::ui {
namespace {

constexpr int kMaterialKbColumn = 3; // "文件(KB)" of MedFlex1

// While a save runs, the materials window takes no input: its clicks, keys
// and close box are swallowed (the progress dialog, a window of its own,
// still takes its cancel).
class InputBlocker final : public QObject {
  public:
    explicit InputBlocker(QWidget* window) : window_(window) {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Shortcut:
        case QEvent::ShortcutOverride:
        case QEvent::Wheel:
        case QEvent::Close: {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (widget && window_ && widget->window() == window_) {
                event->ignore();
                return true;
            }
            break;
        }
        default:
            break;
        }
        return false;
    }

  private:
    QPointer<QWidget> window_;
};

// Holds the window's flag for as long as the save runs.
class SavingFlag {
  public:
    explicit SavingFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~SavingFlag() { flag_ = false; }
    SavingFlag(const SavingFlag&) = delete;
    SavingFlag& operator=(const SavingFlag&) = delete;

  private:
    bool& flag_;
};

} // namespace

void FrmFjgl::SaveSubmission() {
    if (saving_ || !fieldforms::CheckCompleteness(fieldforms::kBothForms))
        return;
    // The folder is read once: nothing can change it while the save runs.
    const std::string folder = ShownFolder;
    const std::string folderText = Text2(0).text().toStdString();
    SaveOutcome outcome;
    {
        SavingFlag saving(saving_);
        InputBlocker blocker(this);
        SaveProgress progress(this);
        outcome = SaveFolder(&progress);
    }
    if (!outcome.saved())
        return;
    StorageFolder = folder;
    markSaved();
    std::vector<std::string> kb;
    for (int r = 1; r < MedFlex1().rows(); ++r)
        kb.push_back(MedFlex1().textMatrix(r, kMaterialKbColumn).toStdString());
    SaveMessage message = SaveResultMessage(outcome, getTotalMb(kb), SizeLimitMb, folderText);
    if (parts_.checkSavedPackage)
        message.text += parts_.checkSavedPackage(folder);
    updateDiscButton();
    platform::CurrentPrompter().message(message.text, message.title, message.icon,
                                        platform::MsgButtons::Ok);
    if (getTotalMb(kb) > SizeLimitMb)
        offerShrink();
}

} // namespace materials::ui

// "保存" of the materials window: both forms checked, the package folder
// written from the working copy, and the result with the package size.

#include "fieldforms/completeness.h"
#include "materials/package_check.h"
#include "materials/save_folder.h"
#include "materials/ui/FrmFjgl.h"
#include "materials/ui/content_checks.h"
#include "materials/ui/save_progress.h"
#include "platform/prompter.h"
#include "startup/mainbas.h"

#include <QApplication>
#include <QCursor>

#include <string>
#include <vector>

namespace materials::ui {
namespace {

constexpr int kMaterialKbColumn = 3; // "文件(KB)" of MedFlex1

// The package check of the folder just saved: its problems, to be added to
// the save's message ("" when it found none).
std::string PackageProblems() {
    QtContentInspector inspector;
    PackageCheck check;
    {
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        check = CheckPackage(ShownFolder, &inspector);
        QApplication::restoreOverrideCursor();
    }
    const std::string findings = FindingsText(check);
    if (findings.empty())
        return {};
    return "\r\n\r\n刻录前检查发现以下问题：\r\n" + findings;
}

} // namespace

void FrmFjgl::SaveSubmission() {
    if (!fieldforms::CheckCompleteness(fieldforms::kBothForms))
        return;
    SaveOutcome outcome;
    {
        SaveProgress progress(this);
        outcome = SaveFolder(&progress);
    }
    if (!outcome.saved())
        return;
    StorageFolder = ShownFolder;
    std::vector<std::string> kb;
    for (int r = 1; r < MedFlex1().rows(); ++r)
        kb.push_back(MedFlex1().textMatrix(r, kMaterialKbColumn).toStdString());
    SaveMessage message =
        SaveResultMessage(outcome, getTotalMb(kb), SizeLimitMb, Text2(0).text().toStdString());
    message.text += PackageProblems();
    updateDiscButton();
    platform::CurrentPrompter().message(message.text, message.title, message.icon,
                                        platform::MsgButtons::Ok);
    if (getTotalMb(kb) > SizeLimitMb)
        offerShrink();
}

} // namespace materials::ui

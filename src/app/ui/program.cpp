#include "app/ui/program.h"

#include "disc/check_command.h"
#include "disc/ui/FrmDisc.h"
#include "disc/ui/check_progress.h"
#include "disc/ui/content_checks.h"
#include "materials/ui/FrmFjgl.h"
#include "printing/ui/Fj_List.h"
#include "printing/ui/XZSPTab.h"
#include "scan/scan_files.h"
#include "scan/shrink.h"
#include "scan/ui/ScanWindow.h"
#include "scan/ui/ShrinkWindow.h"

#include <iostream>
#include <memory>
#include <string>

namespace app::ui {

materials::ui::WindowParts MaterialsWindowParts() {
    materials::ui::WindowParts parts;
    parts.showApplicationForm = &printing::ui::ShowApplicationForm;
    parts.showMaterialsList = &printing::ui::ShowMaterialsList;
    parts.scan = &scan::ui::ShowScanWindow;
    parts.canShrink = &scan::CanShrink;
    parts.estimateShrink =
        [](const std::string& file) -> std::optional<materials::ui::ShrinkGuess> {
        if (scan::IsShrinkCopy(file))
            return std::nullopt;
        const std::optional<scan::ShrinkEstimate> e = scan::EstimateShrink(file);
        if (!e)
            return std::nullopt;
        return materials::ui::ShrinkGuess{e->bytesBefore, e->bytesAfter};
    };
    parts.shrink = &scan::ui::ShowShrinkWindow;
    parts.checkSavedPackage = &disc::ui::SavedPackageProblems;
    parts.showDisc = &disc::ui::ShowDiscWindow;
    return parts;
}

startup::ui::ProgramParts ProgramParts() {
    startup::ui::ProgramParts parts;
    parts.openMaterials = [linkFolder = std::make_shared<std::string>(),
                           windowParts = MaterialsWindowParts()](QWidget* parent) {
        materials::ui::ShowMaterialsWindow(parent, linkFolder.get(), windowParts);
    };
    // A preview of "压缩..." left by a program that ended before 接受 or 取消.
    parts.dataFolderClaimed = [](const std::string& dataFolder) {
        scan::RemoveShrinkPreviews(dataFolder);
    };
    parts.checkPackage = [](const std::string& folder, bool repair) {
        // No window: the content checks need no display.
        disc::ui::QtContentInspector inspector;
        return disc::RunCheckPackage(folder, &inspector, std::cout, repair);
    };
    return parts;
}

int RunQuillor(int argc, char** argv,
               const std::function<void(QWidget& mainWindow)>& mainWindowShown) {
    return startup::ui::RunProgram(argc, argv, ProgramParts(), mainWindowShown);
}

} // namespace app::ui

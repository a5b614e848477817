#pragma once
// The program's top: it ties the folders together. Start-up and the
// materials window are built below the windows they open (the printing, the
// scanning and shrinking, the package check and the disc all read the
// materials' manifest and names), so those windows are handed to them from
// here.

#include "materials/ui/window_parts.h"
#include "startup/ui/app_main.h"

#include <functional>

class QWidget;

namespace app::ui {

// The materials window's printing, scanning, shrinking, check and disc.
materials::ui::WindowParts MaterialsWindowParts();

// Start-up's materials window (remembering the folder of the last linked file
// from one opening to the next) and the console package check.
startup::ui::ProgramParts ProgramParts();

// The whole program; see startup::ui::RunProgram.
int RunQuillor(int argc, char** argv,
               const std::function<void(QWidget& mainWindow)>& mainWindowShown = {});

} // namespace app::ui

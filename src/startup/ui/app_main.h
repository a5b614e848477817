#pragma once
// The program from process start to the end of the main window: fonts,
// application, prompter, start-up checks, main window.

#include <functional>
#include <string>

class QWidget;

namespace startup::ui {

// What start-up hands on to the folders built on its globals: the program's
// top supplies them (src/app).
struct ProgramParts {
    // Opens the materials window of SelectedItem modally over `parent`.
    std::function<void(QWidget* parent)> openMaterials;
    // "--check-package [--repair] FOLDER": the package check on the console;
    // the exit code.
    std::function<int(const std::string& folder, bool repair)> checkPackage;
    // Once the data folder is claimed: what the program tidies there at start.
    std::function<void(const std::string& dataFolder)> dataFolderClaimed;
};

// Runs the program; `mainWindowShown` (optional) is called once the main
// window has been shown. Returns the process exit code.
int RunProgram(int argc, char** argv, const ProgramParts& parts,
               const std::function<void(QWidget& mainWindow)>& mainWindowShown = {});

} // namespace startup::ui

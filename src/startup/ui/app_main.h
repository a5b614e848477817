#pragma once
// The program from process start to the end of the main window: fonts,
// application, prompter, start-up checks, main window.

#include <functional>

class QWidget;

namespace startup {

// Runs the program; `mainWindowShown` (optional) is called once the main
// window has been shown. Returns the process exit code.
int RunProgram(int argc, char** argv,
               const std::function<void(QWidget& mainWindow)>& mainWindowShown = {});

} // namespace startup

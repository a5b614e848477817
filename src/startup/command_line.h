#pragma once
// The program's own command-line options. Everything else on the command line
// (Qt's -platform, -style, ...) is left to Qt.

#include <string>

namespace startup {

struct CommandLine {
    bool help = false;    // --help, -h: print the usage and end
    bool version = false; // --version: print the version and end
    // --check: start as usual without any dialog (messages go to the error
    // output), end once the main window has been shown; exit code 0 when it was.
    bool check = false;
    // --check-package FOLDER: check the package in FOLDER without a window
    // (repairing an interrupted save where it may write); exit 0 when it can
    // be burned, 1 when it cannot, 2 when FOLDER holds no readable package.
    bool checkPackage = false;
    std::string packageFolder;
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

std::string VersionText();
std::string HelpText();

} // namespace startup

#pragma once
// The program's own command-line options, and Qt's (-platform, -style, ...),
// which are left to Qt. Anything else is refused with the usage text.

#include <string>

namespace startup {

struct CommandLine {
    bool help = false;    // --help, -h: print the usage and end
    bool version = false; // --version: print the version and end
    // --check: start as usual without any dialog (messages go to the error
    // output), end once the main window has been shown; exit code 0 when it was.
    bool check = false;
    // --check-package [--repair] FOLDER: check the package in FOLDER without a
    // window; it writes nothing unless --repair asks it to repair an
    // interrupted save first. Exit 0 when it can be burned, 1 when it cannot
    // (an interrupted save left unrepaired included), 2 when FOLDER holds no
    // readable package.
    bool checkPackage = false;
    bool repair = false;
    std::string packageFolder;
    // An option or argument that is neither ours nor Qt's: the usage text and
    // exit status 2.
    std::string refused;
};

CommandLine ParseCommandLine(int argc, const char* const* argv);

std::string VersionText();
std::string HelpText();
// The line and usage text for a refused argument.
std::string RefusedText(const std::string& argument);
// Exit status of a refused command line.
inline constexpr int kUsageError = 2;

} // namespace startup

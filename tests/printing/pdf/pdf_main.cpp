// main of the PDF print programs: font aliases first, then the application;
// runs the tests, or prints the sample form when built without them.

#include "platform/executable.h"
#include "platform/program_module.h"
#include "util/ui/fonts.h"

#include <QApplication>
#include <gtest/gtest.h>

int RunProgram(int argc, char** argv);

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The test programs lie one folder below the program's modules.
    platform::SetModuleFolder(platform::ExecutableFolder().parent_path());
    util::ui::LoadFontAliases(util::ui::FindFontAliasFile(util::ui::ExecutableFolder(argv[0])));
    QApplication app(argc, argv);
    return RunProgram(argc, argv);
}

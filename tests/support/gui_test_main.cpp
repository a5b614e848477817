#include "platform/executable.h"
#include "platform/program_module.h"
#include "twip/ui/error_barrier.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The test programs lie one folder below the program's modules.
    platform::SetModuleFolder(platform::ExecutableFolder().parent_path());
    // The program's own application object, so window tests run behind the
    // same error barrier as the program.
    twip::ui::GuardedApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

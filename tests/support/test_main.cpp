#include "platform/executable.h"
#include "platform/program_module.h"

#include <clocale>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "C"); // results must not depend on the machine's locale
    // The test programs lie one folder below the program's modules.
    platform::SetModuleFolder(platform::ExecutableFolder().parent_path());
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

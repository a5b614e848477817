#include "startup/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

startup::CommandLine Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "quillor");
    return startup::ParseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, OwnOptionsAreFoundAmongQtsAndTheRestIsLeftAlone) {
    const auto plain = Parse({"-platform", "offscreen", "--style", "fusion", "--checked"});
    EXPECT_FALSE(plain.help || plain.version || plain.check);
    EXPECT_TRUE(Parse({"-platform", "offscreen", "--check"}).check);
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_TRUE(Parse({"--version"}).version);
    EXPECT_FALSE(Parse({"-v"}).version); // not ours: Qt may take it
    for (const auto& args : {std::vector<const char*>{"--check-package", "D:/包"},
                             std::vector<const char*>{"--check-package=D:/包"}}) {
        const auto parsed = Parse(args);
        EXPECT_TRUE(parsed.checkPackage && !parsed.check);
        EXPECT_EQ(parsed.packageFolder, "D:/包");
    }
}

TEST(CommandLine, HelpNamesEveryOptionAndVersionTheProgram) {
    const std::string help = startup::HelpText();
    for (const char* option :
         {"--help", "--version", "--check", "--check-package", "~/.local/share/quillor"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    const std::string version = startup::VersionText();
    ASSERT_GT(version.size(), 9u);
    EXPECT_EQ(version.rfind("quillor ", 0), 0u);
    EXPECT_TRUE(version[8] >= '0' && version[8] <= '9');
    EXPECT_EQ(version.back(), '\n');
}

} // namespace

#include "startup/command_line.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

startup::CommandLine Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "quillor");
    return startup::ParseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLine, OwnOptionsAreFoundAmongQtsAndAnythingElseIsRefused) {
    const auto plain = Parse({"-platform", "offscreen", "--style", "fusion", "-reverse"});
    EXPECT_FALSE(plain.help || plain.version || plain.check);
    EXPECT_EQ(plain.refused, "");
    EXPECT_TRUE(Parse({"-platform", "offscreen", "--check"}).check);
    EXPECT_TRUE(Parse({"-h"}).help);
    EXPECT_TRUE(Parse({"--help"}).help);
    EXPECT_TRUE(Parse({"--version"}).version);
    for (const auto& args : {std::vector<const char*>{"--check-package", "D:/包"},
                             std::vector<const char*>{"--check-package=D:/包"},
                             std::vector<const char*>{"--check-package", "--repair", "D:/包"},
                             std::vector<const char*>{"--repair", "--check-package", "D:/包"}}) {
        const auto parsed = Parse(args);
        EXPECT_TRUE(parsed.checkPackage && !parsed.check);
        EXPECT_EQ(parsed.repair, args.size() == 3);
        EXPECT_EQ(parsed.packageFolder, "D:/包");
        EXPECT_EQ(parsed.refused, "");
    }
    // Not ours and not Qt's: refused with the usage text (exit status 2).
    for (const auto& [args, refused] :
         {std::pair{std::vector<const char*>{"--bogus"}, "--bogus"},
          std::pair{std::vector<const char*>{"-v"}, "-v"},
          std::pair{std::vector<const char*>{"包"}, "包"},
          std::pair{std::vector<const char*>{"--check-package"}, "--check-package"},
          std::pair{std::vector<const char*>{"--repair"}, "--repair"}})
        EXPECT_EQ(Parse(args).refused, refused);
    EXPECT_EQ(startup::RefusedText("--bogus").rfind("quillor：无法识别的选项或参数：--bogus\n", 0),
              0u);
    EXPECT_EQ(startup::kUsageError, 2);
}

TEST(CommandLine, HelpNamesEveryOptionAndVersionTheProgram) {
    const std::string help = startup::HelpText();
    for (const char* option : {"--help", "--version", "--check", "--check-package", "--repair",
                               "~/.local/share/quillor"})
        EXPECT_NE(help.find(option), std::string::npos) << option;
    const std::string version = startup::VersionText();
    ASSERT_GT(version.size(), 9u);
    EXPECT_EQ(version.rfind("quillor ", 0), 0u);
    EXPECT_TRUE(version[8] >= '0' && version[8] <= '9');
    EXPECT_EQ(version.back(), '\n');
}

} // namespace

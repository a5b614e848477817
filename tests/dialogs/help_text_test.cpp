#include "dialogs/help_text.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>

namespace {

std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(HelpText, EqualsTheReferenceTextByteForByte) {
    const auto reference = std::filesystem::path(std::getenv("QUILLOR_TEST_DATA")).parent_path() /
                           "dialogs" / "help_text_expected.txt";
    const std::string expected = ReadBytes(reference);
    ASSERT_EQ(expected.size(), 3293u);
    EXPECT_EQ(dialogs::HelpText(), expected);
}

TEST(HelpText, HasTwentySixCrLfLinesWithTheirLeadingBlanks) {
    const std::string& text = dialogs::HelpText();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()); // ends with a line break
    ASSERT_EQ(lines.size(), 26u);
    EXPECT_EQ(text.find('\n'), text.find("\r\n") + 1);
    EXPECT_EQ(lines[2], "    1、申报材料列表区");
    EXPECT_EQ(lines[6].substr(0, 7), "     --");
    EXPECT_EQ(lines[7].substr(0, 12), "      注：");
    EXPECT_EQ(lines[20], "");
    EXPECT_EQ(lines[23], "    ****注意****");
    EXPECT_EQ(lines[25], "    【关闭】 关闭“申报资料管理”窗口。");
}

} // namespace

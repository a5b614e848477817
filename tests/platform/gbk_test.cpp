#include "platform/gbk.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

using namespace platform;

TEST(Gbk, ConvertsBothWaysAndKeepsWhatGbkCannotHold) {
    EXPECT_EQ(Utf8ToGbk("中文ab")->size(), 6u);
    EXPECT_FALSE(Utf8ToGbk("𠀀").has_value());
    const std::string lossless = Utf8ToGbkLossless("中𠀀文");
    EXPECT_EQ(lossless.size(), 8u);
    EXPECT_EQ(GbkToUtf8(*Utf8ToGbk("镕基")), "镕基");
    EXPECT_EQ(GbkToUtf8(std::string("\x81", 1)), "\xEF\xBF\xBD");
}

TEST(Gbk, TextFilesGetCrLfLineEnds) {
    const auto file = std::filesystem::temp_directory_path() / "quillor_gbk.txt";
    ASSERT_TRUE(WriteGbkTextFile(file, "第一行\n第二行\r\n"));
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(bytes, *Utf8ToGbk("第一行\r\n第二行\r\n"));
    std::filesystem::remove(file);
}

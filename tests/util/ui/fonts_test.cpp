#include "util/ui/fonts.h"

#include <QFont>
#include <QFontMetrics>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

namespace {

// From the test data folder the test run names, so the path is absolute
// however the compiler was given the source file.
std::filesystem::path AliasFile() {
    const char* data = std::getenv("QUILLOR_TEST_DATA");
    return std::filesystem::path(data ? data : "").parent_path().parent_path() / "resources" /
           "fonts" / util::ui::kFontAliasFileName;
}

TEST(FontAliases, WindowsFaceNamesResolveToInstalledFacesOfTheirStyle) {
    ASSERT_TRUE(util::ui::LoadFontAliases(AliasFile()));
    EXPECT_EQ(util::ui::ResolvedFamily("宋体"), "AR PL UMing CN");
    EXPECT_EQ(util::ui::ResolvedFamily("SimSun"), "AR PL UMing CN");
    EXPECT_EQ(util::ui::ResolvedFamily("楷体_GB2312"), "AR PL UKai CN");
    EXPECT_EQ(util::ui::ResolvedFamily("仿宋_GB2312"), "Noto Serif CJK SC");
    EXPECT_EQ(util::ui::ResolvedFamily("黑体"), "Noto Sans CJK SC");
}

TEST(FontAliases, AMissingFileIsRefused) {
    EXPECT_FALSE(util::ui::LoadFontAliases({}));
    EXPECT_FALSE(util::ui::LoadFontAliases("/没有/quillor-fonts.conf"));
    EXPECT_TRUE(util::ui::FindFontAliasFile("/没有").empty());
}

TEST(FontAliases, TheFacesHoldTheChineseCharactersTheWindowsShow) {
    for (const char* face : {"宋体", "楷体_GB2312", "仿宋_GB2312"}) {
        const QFontMetrics metrics{QFont(QString::fromUtf8(face))};
        for (char32_t ch : std::u32string_view(U"申报资料管理使用说明退出")) {
            EXPECT_TRUE(metrics.inFontUcs4(ch)) << face;
        }
    }
}

} // namespace

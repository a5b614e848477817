#include "util/ui/fonts.h"

#include <QFont>
#include <QFontMetrics>
#include <fontconfig/fontconfig.h>
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

// The hint style fontconfig gives the face that `family` matches.
int HintStyle(const char* family) {
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    int style = -1;
    if (match)
        FcPatternGetInteger(match, FC_HINT_STYLE, 0, &style);
    FcPatternDestroy(match);
    FcPatternDestroy(pattern);
    return style;
}

TEST(FontAliases, WindowsFaceNamesResolveToInstalledFacesOfTheirStyle) {
    ASSERT_TRUE(util::ui::LoadFontAliases(AliasFile()));
    const struct {
        const char* name;
        const char* family;
        bool unhinted; // a TrueType face without hinting of its own
    } faces[] = {
        {"宋体", "AR PL UMing CN", true},       {"SimSun", "AR PL UMing CN", true},
        {"楷体_GB2312", "AR PL UKai CN", true}, {"仿宋_GB2312", "Noto Serif CJK SC", false},
        {"黑体", "Noto Sans CJK SC", false},    {"DejaVu Sans", "DejaVu Sans", false},
    };
    for (const auto& face : faces) {
        EXPECT_EQ(util::ui::ResolvedFamily(face.name), face.family);
        EXPECT_EQ(util::ui::InstalledFamily(QString::fromUtf8(face.name)),
                  QString::fromUtf8(face.family));
        EXPECT_EQ(HintStyle(face.name) == FC_HINT_NONE, face.unhinted) << face.name;
    }
    EXPECT_EQ(util::ui::InstalledFamily(QString()), QString());
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

// The one name rule and its users agreeing: a name the save keeps passes the
// check, is written into the image and read back; a name the save refuses is
// refused by the check and the disc.

#include "materials/name_rule.h"

#include "disc/package_check.h"
#include "disc/package_disc.h"
#include "materials/manifest.h"
#include "materials/manifest_fixture.h"
#include "materials/modfjgl.h"
#include "materials/package_fixture.h"
#include "platform/gbk.h"

#include <gtest/gtest.h>

using namespace materials_test;

namespace {

std::string Repeat(const std::string& text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

TEST(NameRule, RefusesWhatAnyReaderWouldChange) {
    const std::pair<std::string, const char*> cases[] = {{"营业执照(副本).pdf", ""},
                                                         {"COM10", ""},
                                                         {"LPT", ""},
                                                         {"王䶮", ""},
                                                         {Repeat("材", 64), ""},
                                                         {Repeat("材", 64) + "a", "超过64个字符"},
                                                         {" . ", "名称为空"},
                                                         {"结尾.", "句点结尾"},
                                                         {"结尾 ", "空格或句点结尾"},
                                                         {"a;b", "“;”"},
                                                         {"a\x7F"
                                                          "b",
                                                          "控制字符"},
                                                         {"a\xC2\x85"
                                                          "b",
                                                          "控制字符"},
                                                         {"古𠀀字", "“𠀀”"},
                                                         {"abc\xE2\x80\xAE"
                                                          "fdp.exe",
                                                          "U+202E"},
                                                         {"a\xE2\x80\x8B"
                                                          "b",
                                                          "U+200B"},
                                                         {"a\xEF\xBB\xBF"
                                                          "b",
                                                          "U+FEFF"},
                                                         {"bad\xFF", "UTF-8"},
                                                         {"con.pdf", "设备名"},
                                                         {"NUL .txt", "设备名"},
                                                         {"COM0", "设备名"},
                                                         {"LPT0.doc", "设备名"},
                                                         {"COM\xC2\xB9", "设备名"},
                                                         {"com\xC2\xB2.pdf", "设备名"},
                                                         {"LPT\xC2\xB3", "设备名"},
                                                         {"CONIN$", "设备名"},
                                                         {"conout$.txt", "设备名"},
                                                         {"CLOCK$", "设备名"},
                                                         {"a\u2060b", "U+2060"},
                                                         {"a\u2028b", "U+2028"},
                                                         {"a\uFDD0b", "U+FDD0"},
                                                         {"a\u180Eb", "U+180E"},
                                                         // canonically equivalent spellings
                                                         // from the template database
                                                         {"cafe\u0301", ""},
                                                         {"\uF92C", ""}};
    for (const auto& [name, part] : cases) {
        const std::string problem = materials::NameProblem(name);
        EXPECT_EQ(problem.empty(), !*part) << name << " → " << problem;
        EXPECT_NE(problem.find(part), std::string::npos) << name << " → " << problem;
        EXPECT_EQ(materials::IsStorableName(name), !*part) << name;
    }
    // One name: case, and the canonically equivalent spellings (composed or
    // with a combining mark, compatibility ideographs), in any mixture.
    for (const auto& [a, b] : {std::pair{"É.pdf", "é.PDF"},
                               {"Ａ", "ａ"},
                               {"Résumé", "RÉSUMÉ"},
                               {"straße", "STRASSE"},
                               {"Straßenmaß", "STRASSENMASS"},
                               {"STRAẞENMAẞ", "straßenmaß"},
                               {"ΣΑΣ", "σας"},
                               {"café", "cafe\u0301"},
                               {"CAFÉ", "cafe\u0301"},
                               {"\uF92C", "\u90CE"},
                               {"が", "か\u3099"},
                               {"\u1E0B\u0323", "d\u0323\u0307"}})
        EXPECT_TRUE(materials::SameName(a, b)) << a;
    // Compatibility forms stay apart: full-width and half-width are other names.
    for (const auto& [a, b] :
         {std::pair{"营业执照", "营业执照1"}, {"Ａ", "A"}, {"ﾊ", "ハ"}, {"①", "1"}})
        EXPECT_FALSE(materials::SameName(a, b)) << a;
    EXPECT_EQ(materials::CanonicalForm("café"), materials::CanonicalForm("cafe\u0301"));
    EXPECT_NE(materials::CanonicalForm("café"), materials::CanonicalForm("CAFÉ"));
    // A typed title is written in its composed form; the message names the
    // character, as for invisible ones.
    for (const auto& [title, part] : {std::pair{"cafe\u0301", "U+0301"},
                                      {"か\u3099", "U+3099"},
                                      {"\uF92C", "U+F92C"},
                                      {"a\u0302\u0323", "U+0302"},
                                      {"café", ""},
                                      {"が", ""}}) {
        const std::string problem = materials::TitleProblem("材料", title);
        EXPECT_EQ(problem.empty(), !*part) << title << " → " << problem;
        EXPECT_NE(problem.find(part), std::string::npos) << title << " → " << problem;
    }
    // A typed title leaves room for ".jpeg", alone and in its material's folder.
    EXPECT_EQ(materials::TitleProblem(Repeat("材", 61), Repeat("题", 52)), "");
    EXPECT_NE(materials::TitleProblem(Repeat("材", 62), Repeat("题", 52)), "");
    EXPECT_NE(materials::TitleProblem("", Repeat("题", 60)), "");
    EXPECT_NE(materials::TitleProblem("材料", "古𠀀字"), "");
}

class NameRoundTrip : public TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        system_ = disc::OpenDiscSystem();
        WriteBytes(dir_ / "源" / "扫描.pdf", "%PDF-1.4 round trip");
    }
    // Saves one material with one entry linked to a PDF; true when it was stored.
    bool save(const fs::path& folder, const std::string& material, const std::string& entry) {
        WriteBytes(
            dir_ / "TempXml.XML",
            package_test::PackageManifest({{material, {{entry, U8(dir_ / "源" / "扫描.pdf")}}}}));
        const auto outcome =
            materials::SavePackage(package_test::Request(dir_ / "TempXml.XML", folder, ""));
        return outcome.saved() && outcome.failures.empty();
    }
    disc::DiscOutcome image(const disc::DiscLayout& layout) {
        disc::DiscObserver observer;
        return disc::WriteDiscImage(*system_, layout, dir_ / "盘.iso", observer);
    }
    std::unique_ptr<disc::DiscSystem> system_;
};

TEST_F(NameRoundTrip, SaveCheckImageAndReadBackAgreeOnEveryName) {
    const std::string m54 = Repeat("材", 54), l60 = Repeat("长", 60);
    const struct {
        std::string material, entry; // stored as entry + ".pdf"
        bool kept;
        std::string foreign = {}; // the refused name as another program stores it
    } cases[] = {
        {"营业执照", "王䶮的身份证", true},
        {"Résumé", "É", true},
        {"材料", l60, true},         // 64 characters with ".pdf"
        {"材料", l60 + "长", false}, // one over
        {m54, l60, true},            // 3 + 2·(54 + 64) = 239 bytes of Joliet path
        {m54 + "甲", l60, false},    // 241
        {"材料", "结尾.", false, "结尾."},
        {"材料", "结尾 ", false, "结尾 "},
        {"材料", "COM\xC2\xB9", false},
        {"材料", "CONOUT$", false},
        {"材料",
         "a\xE2\x80\xAE"
         "b",
         false},
        {"材料", "古𠀀字", false},
        {"材料", "a;b", false},
        {"CONIN$", "副本", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.material + "/" + c.entry);
        const fs::path folder = dir_ / "包";
        fs::remove_all(folder);
        EXPECT_EQ(save(folder, c.material, c.entry), c.kept);
        disc::PackageCheck check = disc::CheckPackage(U8(folder), nullptr);
        EXPECT_TRUE(check.burnable()) << disc::FindingsText(check); // a refused entry is left out
        if (!c.kept) {
            // The same name stored by another program: the check and the disc refuse it.
            const std::string name = c.foreign.empty() ? c.entry + ".pdf" : c.foreign;
            const fs::path stored =
                folder / platform::PathFromUtf8(c.material) / platform::PathFromUtf8(name);
            WriteBytes(folder / "APLPKG.XML",
                       package_test::PackageManifest(
                           {{c.material, {{"报件", materials::kLocalPrefix + name}}}}));
            WriteBytes(stored, "%PDF-1.4 x");
            EXPECT_FALSE(disc::CheckPackage(U8(folder), nullptr).burnable());
            check.discFiles.push_back({c.material + "/" + name, stored, 10});
        }
        const disc::DiscOutcome disc = image(disc::PackageLayout(check, "名称测试"));
        EXPECT_EQ(disc.status,
                  c.kept ? disc::DiscOutcome::Status::Good : disc::DiscOutcome::Status::Refused)
            << disc.message;
    }
}

// The count is the disc library's own: one unit over, it leaves the file out
// of the Joliet tree without a word; at the limit it keeps it.
TEST_F(NameRoundTrip, TheJolietPathLimitIsCountedAsTheDiscLibraryCountsIt) {
    for (const int units : {54, 55}) {
        const std::string material = Repeat("材", units), file = Repeat("长", 60) + ".pdf";
        EXPECT_EQ(materials::PathProblem(material, file).empty(), units == 54);
        const fs::path source = dir_ / "源" / "扫描.pdf";
        const disc::DiscLayout layout{"边界",
                                      {{material + "/" + file, source, fs::file_size(source)}}};
        std::error_code opened;
        auto sink = disc::CreateImageFile(dir_ / "边界.iso", opened);
        disc::DiscProgress progress;
        ASSERT_TRUE(sink && system_->writeImage(layout, *sink, progress).ok() && !sink->finish());
        std::string error;
        const auto volume = system_->openImage(dir_ / "边界.iso", error);
        ASSERT_TRUE(volume) << error;
        bool found = false;
        for (const disc::VolumeEntry& e : volume->entries(disc::NameTree::Joliet))
            found = found || e.path == material + "/" + file;
        EXPECT_EQ(found, units == 54);
    }
}

// Names that differ only in case or in their Unicode normalisation are one
// name: the second entry and the second spelling of a material are refused.
TEST_F(NameRoundTrip, NamesThatDifferOnlyInCaseAreOneName) {
    const std::string pdf = U8(dir_ / "源" / "扫描.pdf");
    WriteBytes(dir_ / "TempXml.XML",
               package_test::PackageManifest(
                   {{"Résumé", {{"Ａ", pdf}, {"ａ", pdf}, {"café", pdf}, {"CAFE\u0301", pdf}}},
                    {"RE\u0301SUMÉ", {{"b", pdf}}}}));
    const auto outcome =
        materials::SavePackage(package_test::Request(dir_ / "TempXml.XML", dir_ / "包", ""));
    ASSERT_EQ(outcome.failures.size(), 3u);
    EXPECT_EQ(outcome.failures[0].problem, materials::SaveProblem::DuplicateName);
    EXPECT_EQ(outcome.failures[1].problem, materials::SaveProblem::DuplicateName);
    EXPECT_EQ(outcome.failures[2].problem, materials::SaveProblem::MaterialName);
    EXPECT_TRUE(disc::CheckPackage(U8(dir_ / "包"), nullptr).burnable());
}

// A folder that passed through macOS comes back with decomposed names: the
// check finds the file under its other spelling and says so, instead of
// calling it missing or a stray.
TEST_F(NameRoundTrip, TheCheckFindsAFileWhoseNameDiffersOnlyByNormalisation) {
    const struct {
        std::string from, to; // renamed in the package folder
        std::string named;    // the finding's file
    } cases[] = {
        {"Résumé/café.pdf", "Résumé/cafe\u0301.pdf", "cafe\u0301.pdf"},
        {"Résumé", "Re\u0301sume\u0301", "Re\u0301sume\u0301/café.pdf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.to);
        const fs::path folder = dir_ / "包";
        fs::remove_all(folder);
        ASSERT_TRUE(save(folder, "Résumé", "café"));
        fs::rename(folder / platform::PathFromUtf8(c.from), folder / platform::PathFromUtf8(c.to));
        const disc::PackageCheck check = disc::CheckPackage(U8(folder), nullptr);
        ASSERT_EQ(check.count(disc::FindingLevel::Error), 1) << disc::FindingsText(check);
        const disc::PackageFinding& found = check.findings.front();
        EXPECT_EQ(found.file, c.named);
        EXPECT_NE(found.problem.find("Unicode规范化形式不同"), std::string::npos) << found.problem;
    }
}

// The list is read as it is written, whatever the characters; a rare
// character in a personal name no longer makes the list differ.
TEST_F(NameRoundTrip, Gb18030ListsGiveBackEveryCharacter) {
    for (const char* name :
         {"营业执照", "王䶮", "𠀀", "€", "ﾊﾝｶｸ", "Résumé", "—", "\xEE\x80\x80"}) {
        ASSERT_TRUE(platform::WriteGbkTextFile(dir_ / "清单.txt", std::string(name) + "\n"));
        EXPECT_EQ(platform::Gb18030ToUtf8(ReadBytes(dir_ / "清单.txt")),
                  std::string(name) + "\r\n");
    }
    EXPECT_EQ(*platform::Utf8ToGb18030("营业执照"), *platform::Utf8ToGbk("营业执照"));
    // A bad byte becomes U+FFFD and never swallows the character after it.
    EXPECT_EQ(platform::Gb18030ToUtf8("\x81 A\xFF\xD3\xAA"), "\xEF\xBF\xBD A\xEF\xBF\xBD营");
    EXPECT_EQ(platform::GbkToUtf8("\x81 A\xFF\xD3\xAA"), "\xEF\xBF\xBD A\xEF\xBF\xBD营");
    ASSERT_TRUE(save(dir_ / "包", "身份证明", "王䶮"));
    const disc::PackageCheck check = disc::CheckPackage(U8(dir_ / "包"), nullptr);
    EXPECT_TRUE(check.burnable()) << disc::FindingsText(check);
}

} // namespace

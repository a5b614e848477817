// The one name rule (materials/name_rule.h) and its users agreeing: a name the
// save keeps is burnable by the check, written into the image and read back
// unchanged; a name the save refuses is refused by the check and the disc.

#include "materials/name_rule.h"

#include "materials/manifest.h"
#include "materials/manifest_fixture.h"
#include "materials/modfjgl.h"
#include "materials/package_check.h"
#include "materials/package_disc.h"
#include "materials/package_fixture.h"
#include "materials/save_folder.h"
#include "platform/disc.h"
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
    const struct {
        std::string name;
        std::string problem; // a part of the problem; "" when the name is kept
    } cases[] = {
        {"营业执照(副本).pdf", ""},
        {"COM10", ""},
        {"CONSOLE.pdf", ""},
        {"LPT", ""},
        {"王䶮", ""}, // U+4DAE: outside GBK, kept in GB18030
        {Repeat("材", 64), ""},
        {Repeat("材", 64) + "a", "名称超过64个字符"},
        {"", "名称为空"},
        {" . ", "名称为空"},
        {"结尾.", "以空格或句点结尾"},
        {"结尾 ", "以空格或句点结尾"},
        {"a;b", "不允许的字符“;”"},
        {"a\x7F" "b", "含有控制字符"},
        {"a\xC2\x85" "b", "含有控制字符"}, // U+0085, a C1 control
        {"古𠀀字", "Joliet格式不能保存的字符“𠀀”"},
        {"abc\xE2\x80\xAE" "fdp.exe", "U+202E"}, // right-to-left override
        {"a\xE2\x80\x8B" "b", "U+200B"},          // zero-width space
        {"a\xEF\xBB\xBF" "b", "U+FEFF"},          // zero-width no-break space
        {"a\xE2\x81\xA6" "b", "U+2066"},          // left-to-right isolate
        {"bad\xFF", "不是有效的UTF-8"},
        {"CON", "设备名"},
        {"con.pdf", "设备名"},
        {"NUL .txt", "设备名"},
        {"COM0", "设备名"},
        {"LPT0.doc", "设备名"},
        {"COM\xC2\xB9", "设备名"},   // COM¹
        {"com\xC2\xB2.pdf", "设备名"}, // com²
        {"LPT\xC2\xB3", "设备名"},   // LPT³
        {"CONIN$", "设备名"},
        {"conout$.txt", "设备名"},
    };
    for (const auto& c : cases) {
        const std::string problem = materials::NameProblem(c.name);
        if (c.problem.empty())
            EXPECT_EQ(problem, "") << c.name;
        else
            EXPECT_NE(problem.find(c.problem), std::string::npos) << c.name << " → " << problem;
        EXPECT_EQ(materials::IsStorableName(c.name), c.problem.empty()) << c.name;
        EXPECT_EQ(materials::DiscNameProblem(c.name), problem) << c.name;
    }
}

TEST(NameRule, NamesCompareByFullCaseFolding) {
    EXPECT_TRUE(materials::SameName("É.pdf", "é.PDF"));
    EXPECT_TRUE(materials::SameName("Ａ", "ａ")); // full-width letters
    EXPECT_TRUE(materials::SameName("Résumé", "RÉSUMÉ"));
    EXPECT_TRUE(materials::SameName("straße", "STRASSE")); // ß folds to ss
    EXPECT_TRUE(materials::SameName("ΣΑΣ", "σας"));
    EXPECT_FALSE(materials::SameName("营业执照", "营业执照1"));
    EXPECT_FALSE(materials::SameName("a", "b"));
}

TEST(NameRule, TitlesLeaveRoomForTheExtensionAndTheMaterial) {
    EXPECT_EQ(materials::TitleProblem("营业执照", "副本"), "");
    EXPECT_NE(materials::TitleProblem("营业执照", "古𠀀字"), "");
    EXPECT_NE(materials::TitleProblem("营业执照", "a\xE2\x80\x8B" "b"), "");
    EXPECT_EQ(materials::TitleProblem("", Repeat("题", 59)), "");
    EXPECT_NE(materials::TitleProblem("", Repeat("题", 60)), ""); // + ".jpeg" is 65
    // The path: 1 + (1 + 2·m) + (1 + 2·(t + 5)) bytes.
    EXPECT_EQ(materials::TitleProblem(Repeat("材", 61), Repeat("题", 52)), "");
    EXPECT_NE(materials::TitleProblem(Repeat("材", 62), Repeat("题", 52)), "");
}

// ---- save, check, image and read-back agree ----

class NameRoundTrip : public TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        system_ = platform::OpenDiscSystem();
        WriteBytes(dir_ / "源" / "扫描.pdf", "%PDF-1.4 round trip");
    }

    // Saves one material holding one entry linked to a PDF; true when the
    // save stored it.
    bool save(const fs::path& folder, const std::string& material, const std::string& entry,
              std::string* detail = nullptr) {
        const std::string manifest = package_test::PackageManifest(
            {{material, {{entry, U8(dir_ / "源" / "扫描.pdf")}}}});
        WriteBytes(dir_ / "TempXml.XML", manifest);
        const materials::SaveOutcome outcome =
            materials::SavePackage(package_test::Request(dir_ / "TempXml.XML", folder, ""));
        EXPECT_TRUE(outcome.saved());
        if (detail && !outcome.failures.empty())
            *detail = outcome.failures[0].detail;
        return outcome.saved() && outcome.failures.empty();
    }

    // What a saved package gives on the disc: the image written and read back.
    materials::DiscOutcome burn(const materials::PackageCheck& check, const std::string& image) {
        const platform::DiscLayout layout = materials::PackageLayout(check, "名称测试");
        materials::DiscObserver observer;
        return materials::WriteDiscImage(*system_, layout, dir_ / image, observer);
    }

    // A package made by hand, as another program may write one: the stored
    // copy links the file under `file`, which lies in the material's folder.
    fs::path handMade(const std::string& material, const std::string& file) {
        const fs::path folder = dir_ / "手工";
        fs::remove_all(folder);
        const std::string manifest = package_test::PackageManifest(
            {{material, {{"报件", materials::kLocalPrefix + file}}}});
        WriteBytes(folder / "APLPKG.XML", manifest);
        WriteBytes(folder / util::PathFromUtf8(material) / util::PathFromUtf8(file), "%PDF-1.4 x");
        platform::WriteGbkTextFile(folder / "材料清单.txt", "上报材料清单：\n1、" + file + "\n");
        return folder;
    }

    std::unique_ptr<platform::DiscSystem> system_;
};

TEST_F(NameRoundTrip, SaveCheckImageAndReadBackAgreeOnEveryName) {
    const std::string m54 = Repeat("材", 54);
    const struct {
        std::string material;
        std::string entry; // the stored name is entry + ".pdf"
        bool kept;
        std::string handMade = {}; // the refused name as another program stores it
                                   // (default: entry + ".pdf")
    } cases[] = {
        {"营业执照", "副本", true},
        {"营业执照", "王䶮的身份证", true},
        {"Résumé", "É", true},
        {"材料", Repeat("长", 60), true},  // 64 units with ".pdf": the name limit
        {"材料", Repeat("长", 61), false}, // one unit over
        {m54, Repeat("长", 60), true},      // 3 + 2·(54 + 64) = 239 bytes: the path limit
        {m54 + "甲", Repeat("长", 60), false}, // 241: one unit over
        {"材料", "结尾.", false, "结尾."},
        {"材料", "结尾 ", false, "结尾 "},
        {"材料", "COM\xC2\xB9", false},
        {"材料", "LPT0", false},
        {"材料", "CONOUT$", false},
        {"材料", "a\xE2\x80\xAE" "b", false},
        {"材料", "a\xE2\x80\x8B" "b", false},
        {"材料", "古𠀀字", false},
        {"材料", "a;b", false},
        {"CONIN$", "副本", false},
        {"材料.", "副本", false},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.material + "/" + c.entry);
        const fs::path folder = dir_ / ("包" + std::to_string(++n));
        std::string detail;
        const bool saved = save(folder, c.material, c.entry, &detail);
        EXPECT_EQ(saved, c.kept) << detail;
        const materials::PackageCheck check = materials::CheckPackage(U8(folder), nullptr);
        EXPECT_TRUE(check.readable);
        EXPECT_TRUE(check.burnable()) << materials::FindingsText(check); // a refused entry is left out
        if (saved) {
            EXPECT_EQ(check.discFiles.size(), 3u);
            const materials::DiscOutcome disc = burn(check, "包" + std::to_string(n) + ".iso");
            EXPECT_TRUE(disc.good()) << disc.message;
        } else {
            EXPECT_FALSE(detail.empty());
            // The same name written by another program: the check refuses it,
            // and so does the disc.
            const std::string name = c.handMade.empty() ? c.entry + ".pdf" : c.handMade;
            const fs::path hand = handMade(c.material, name);
            const materials::PackageCheck refused = materials::CheckPackage(U8(hand), nullptr);
            EXPECT_FALSE(refused.burnable()) << c.entry;
            platform::DiscLayout layout{"名称测试", {}};
            layout.files.push_back({c.material + "/" + name,
                                    hand / util::PathFromUtf8(c.material) /
                                        util::PathFromUtf8(name),
                                    10});
            materials::DiscObserver observer;
            const materials::DiscOutcome disc =
                materials::WriteDiscImage(*system_, layout, dir_ / "拒.iso", observer);
            EXPECT_EQ(disc.status, materials::DiscOutcome::Status::Refused) << disc.message;
        }
    }
}

// The count is libisofs's own: the disc library, given a path one unit over
// the limit, leaves the file out of the Joliet tree (the read-back then fails),
// and keeps it at the limit.
TEST_F(NameRoundTrip, TheJolietPathLimitIsCountedAsTheDiscLibraryCountsIt) {
    for (const int units : {54, 55}) {
        const std::string material = Repeat("材", units);
        const std::string file = Repeat("长", 60) + ".pdf";
        EXPECT_EQ(materials::JolietPathBytes(material, file), units == 54 ? 239u : 241u);
        EXPECT_EQ(materials::PathProblem(material, file).empty(), units == 54);
        const fs::path source = dir_ / "源" / "扫描.pdf";
        platform::DiscLayout layout{"边界", {{material + "/" + file, source,
                                              fs::file_size(source)}}};
        platform::DiscProgress progress;
        std::error_code opened;
        auto sink = platform::CreateImageFile(dir_ / "边界.iso", opened);
        ASSERT_TRUE(sink) << opened.message();
        ASSERT_TRUE(system_->writeImage(layout, *sink, progress).ok());
        ASSERT_FALSE(sink->finish());
        std::string error;
        const auto volume = system_->openImage(dir_ / "边界.iso", error);
        ASSERT_TRUE(volume) << error;
        bool found = false;
        for (const platform::VolumeEntry& e : volume->entries(platform::NameTree::Joliet))
            found = found || e.path == material + "/" + file;
        EXPECT_EQ(found, units == 54) << units;
    }
}

TEST_F(NameRoundTrip, NamesThatDifferOnlyInCaseAreOneName) {
    const std::string manifest = package_test::PackageManifest(
        {{"Résumé", {{"Ａ", U8(dir_ / "源" / "扫描.pdf")}, {"ａ", U8(dir_ / "源" / "扫描.pdf")}}},
         {"RÉSUMÉ", {{"b", U8(dir_ / "源" / "扫描.pdf")}}}});
    WriteBytes(dir_ / "TempXml.XML", manifest);
    const materials::SaveOutcome outcome =
        materials::SavePackage(package_test::Request(dir_ / "TempXml.XML", dir_ / "包", ""));
    ASSERT_TRUE(outcome.saved());
    ASSERT_EQ(outcome.failures.size(), 2u);
    EXPECT_EQ(outcome.failures[0].problem, materials::SaveProblem::DuplicateName);
    EXPECT_EQ(outcome.failures[1].problem, materials::SaveProblem::MaterialName);
    const materials::PackageCheck check = materials::CheckPackage(U8(dir_ / "包"), nullptr);
    EXPECT_TRUE(check.burnable()) << materials::FindingsText(check);
    EXPECT_EQ(check.discFiles.size(), 3u);
}

// ---- GB18030: the list is read as it is written ----

TEST_F(NameRoundTrip, Gb18030ListsGiveBackEveryCharacter) {
    const char* const names[] = {"营业执照", "王䶮", "𠀀", "€", "ﾊﾝｶｸ", "Résumé", "a\tb", "·",
                                 "—", "\xE2\x82\xAC\xE4\xB6\xAE", "\xEE\x80\x80"};
    for (const char* name : names) {
        const fs::path list = dir_ / "清单.txt";
        ASSERT_TRUE(platform::WriteGbkTextFile(list, std::string(name) + "\n"));
        EXPECT_EQ(platform::Gb18030ToUtf8(ReadBytes(list)), std::string(name) + "\r\n") << name;
        ASSERT_TRUE(platform::Utf8ToGb18030(name).has_value()) << name;
        EXPECT_EQ(platform::Gb18030ToUtf8(*platform::Utf8ToGb18030(name)), name) << name;
    }
    // GBK's own form for what GBK holds.
    EXPECT_EQ(*platform::Utf8ToGb18030("营业执照"), *platform::Utf8ToGbk("营业执照"));
}

TEST(Gb18030Decoding, ABadByteNeverSwallowsTheCharacterAfterIt) {
    // A bad byte becomes U+FFFD and never swallows the character after it.
    EXPECT_EQ(platform::Gb18030ToUtf8("\x81 A"), "\xEF\xBF\xBD A");
    EXPECT_EQ(platform::Gb18030ToUtf8("\xFF" "\xD3\xAA"), "\xEF\xBF\xBD营");
    EXPECT_EQ(platform::GbkToUtf8("\x81 A"), "\xEF\xBF\xBD A");
    EXPECT_EQ(platform::GbkToUtf8("\xFF" "\xD3\xAA"), "\xEF\xBF\xBD营");
}

TEST_F(NameRoundTrip, AListWithARareCharacterMatchesItsManifest) {
    ASSERT_TRUE(save(dir_ / "包", "身份证明", "王䶮"));
    const materials::PackageCheck check = materials::CheckPackage(U8(dir_ / "包"), nullptr);
    EXPECT_TRUE(check.burnable()) << materials::FindingsText(check);
}

} // namespace

// The rows of the materials list read from a manifest: linked entries of the
// materials counted above 0, through a private temporary copy.

#include "materials/manifest.h"

#include "materials/manifest_fixture.h"
#include "platform/gbk.h"
#include "support/fake_prompter.h"
#include "support/scoped_temp_folder.h"

#include <gtest/gtest.h>

#include <optional>

using namespace materials_test;

namespace {

std::string Entry(const std::string& title, const std::string& link) {
    return "<file><fileXh>1</fileXh><fileName>" + title + "</fileName><fileTitle>" + title +
           "</fileTitle><fileUrl>" + link + "</fileUrl><filems/></file>";
}

std::string Material(const std::string& count, const std::string& entries) {
    return "<attachment fjid=\"1\"><fjmc>材料</fjmc>" + count + "<fileList>" + entries +
           "</fileList></attachment>";
}

std::string Offer(const std::string& materials) {
    return "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<offer bbh=\"1\" bpbs=\"M\">"
           "<attachments>" +
           materials + "</attachments></offer>\n";
}

std::string Joined(const std::vector<std::string>& titles) {
    std::string out;
    for (const std::string& title : titles)
        out += title + ";";
    return out;
}

class LinkedTitlesTest : public TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        temp_ = dir_ / "temp";
        fs::create_directories(temp_);
        scoped_.emplace(temp_);
    }
    void TearDown() override {
        scoped_.reset();
        TempFolderTest::TearDown();
    }
    std::optional<std::vector<std::string>> Read(const std::string& xml) {
        return materials::ReadLinkedTitles(writeManifest(platform::Utf8ToGbkLossless(xml)));
    }

    fs::path temp_;
    std::optional<testsupport::ScopedTempFolder> scoped_;
    testsupport::ScopedFakePrompter prompter_;
};

} // namespace

TEST_F(LinkedTitlesTest, OnlyLinkedEntriesOfCountedMaterialsAreListed) {
    const std::string linkedTwoOfThree =
        Entry("甲", "C:\\a.doc") + Entry("乙", "") + Entry("丙", "Local:\\\\丙.pdf");
    struct Case {
        const char* what;
        std::string materials;
        std::string titles;
    };
    const Case cases[] = {
        {"two of three linked", Material("<dzjs>2</dzjs>", linkedTwoOfThree), "甲;丙;"},
        {"count 0", Material("<dzjs>0</dzjs>", linkedTwoOfThree), ""},
        {"count empty", Material("<dzjs></dzjs>", linkedTwoOfThree), ""},
        {"count missing", Material("", linkedTwoOfThree), ""},
        {"count not a number", Material("<dzjs>两</dzjs>", linkedTwoOfThree), ""},
        {"count with blanks", Material("<dzjs> 3</dzjs>", linkedTwoOfThree), "甲;丙;"},
        {"count stale but positive", Material("<dzjs>9</dzjs>", Entry("丁", "d.doc")), "丁;"},
        {"materials in document order",
         Material("<dzjs>1</dzjs>", Entry("一", "1.doc")) +
             Material("<dzjs>0</dzjs>", Entry("跳过", "x.doc")) +
             Material("<dzjs>2</dzjs>", Entry("二", "2.doc") + Entry("三", "3.doc")),
         "一;二;三;"},
        {"title with markup characters",
         Material("<dzjs>1</dzjs>", Entry("A&amp;B &lt;1&gt;", "a")), "A&B <1>;"},
        {"empty title still a row", Material("<dzjs>1</dzjs>", Entry("", "a.doc")), ";"},
    };
    for (const Case& c : cases) {
        const auto titles = Read(Offer(c.materials));
        ASSERT_TRUE(titles) << c.what;
        EXPECT_EQ(Joined(*titles), c.titles) << c.what;
    }
    // A document whose root is not offer lists nothing and is no error.
    const auto foreign =
        Read("<?xml version=\"1.0\" encoding=\"GB2312\"?><other><attachments>" +
             Material("<dzjs>1</dzjs>", Entry("甲", "a")) + "</attachments></other>");
    ASSERT_TRUE(foreign);
    EXPECT_TRUE(foreign->empty());
    EXPECT_TRUE(prompter_->messages.empty());
    // Nothing of the temporary copies is left, and the working copy is unchanged.
    EXPECT_TRUE(fs::is_empty(temp_));
}

TEST_F(LinkedTitlesTest, MissingOrUnreadableManifestIsReportedWithItsPath) {
    const std::string missing = U8(dir_ / "TempXml.XML");
    const std::string garbage = writeManifest("<offer><attachments>", "garbage.XML");
    const std::string empty = writeManifest("", "empty.XML");
    for (const std::string& path : {missing, garbage, empty}) {
        prompter_->messages.clear();
        EXPECT_FALSE(materials::ReadLinkedTitles(path).has_value()) << path;
        ASSERT_EQ(prompter_->messages.size(), 1u) << path;
        EXPECT_EQ(prompter_->messages[0].text, "XML文件不存在-" + path);
        EXPECT_EQ(prompter_->messages[0].title, "提示");
        EXPECT_EQ(prompter_->messages[0].icon, platform::MsgIcon::Exclamation);
    }
    EXPECT_TRUE(fs::is_empty(temp_));
}

TEST_F(LinkedTitlesTest, AFileOfTheOldFixedNameInTheTemporaryFolderIsLeftAlone) {
    WriteBytes(temp_ / "TEMPBP.XML", "another instance's copy");
    const std::string path = writeManifest(
        platform::Utf8ToGbkLossless(Offer(Material("<dzjs>1</dzjs>", Entry("甲", "a.doc")))));
    const std::string before = ReadBytes(dir_ / "TempXml.XML");
    const auto titles = materials::ReadLinkedTitles(path);
    ASSERT_TRUE(titles);
    EXPECT_EQ(Joined(*titles), "甲;");
    EXPECT_EQ(ReadBytes(temp_ / "TEMPBP.XML"), "another instance's copy");
    EXPECT_EQ(ReadBytes(dir_ / "TempXml.XML"), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(temp_), fs::directory_iterator()), 1);
}

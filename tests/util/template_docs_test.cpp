#include "util/template_docs.h"

#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "support/fixture_db.h"

#include <gtest/gtest.h>

using testsupport::Cell;
using testsupport::FixtureDb;
using testsupport::ReadFile;
using testsupport::TempDir;
using testsupport::ToBytes;

namespace {

const std::string kXml = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\r\n<offer a=\"1\"/>\r\n";
const std::string kDoc = std::string("{\\rtf1 \0\xff\xfe end}", 15);

class TemplateDocsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db = std::make_unique<FixtureDb>(dir.File("系统模板.mdb"));
        db->AddParameters({.count = "2"});
        db->AddItem({.seq = 1, .xml = ToBytes(kXml), .doc = ToBytes(kDoc), .sizeLimit = 50});
        db->AddItem({.seq = 2, .xml = Cell(), .doc = Cell(), .sizeLimit = Cell()});
        db->Close();
        ASSERT_TRUE(testsupport::StartProgram(dir.path()));
        SelectedItem = 0;
    }
    void TearDown() override { ResetGlobals(); }

    std::int16_t LimitFor(const Cell& value) {
        db->Exec("update 资料模板 set 文件大小=" +
                 (value.IsNull() ? std::string("NULL") : "'" + value.Text() + "'") +
                 " where 序号=1");
        return util::ReadSizeLimit();
    }

    TempDir dir;
    std::unique_ptr<FixtureDb> db;
};

TEST_F(TemplateDocsTest, ClosedTemplateDatabaseIsAnErrorNotACrash) {
    TemplateConnection.reset();
    EXPECT_THROW(util::ReadSizeLimit(), platform::db::DbError);
    EXPECT_THROW(util::ExtractXmlTemplate(dir.File("a.xml").string()), platform::db::DbError);
}

TEST_F(TemplateDocsTest, SizeLimitIsTheLeadingWholeNumberOr200) {
    EXPECT_EQ(util::ReadSizeLimit(), 50);
    EXPECT_EQ(LimitFor("12.5"), 12);
    EXPECT_EQ(LimitFor("13.5"), 14);
    EXPECT_EQ(LimitFor("abc"), 200);
    EXPECT_EQ(LimitFor(""), 200);
    EXPECT_EQ(LimitFor("0"), 200);
    EXPECT_EQ(LimitFor(Cell()), 200);
    EXPECT_EQ(LimitFor(" 30MB"), 30);
}

TEST_F(TemplateDocsTest, SizeLimitWithoutTheColumnOrTheRowIs200) {
    ItemTable[0].序号 = 99; // the row is gone
    EXPECT_EQ(util::ReadSizeLimit(), 200);
    ItemTable[0].序号 = 1;
    db->DropColumn("资料模板", "文件大小");
    EXPECT_EQ(util::ReadSizeLimit(), 200);
}

TEST_F(TemplateDocsTest, ExtractingTwiceToOnePathLeavesTheTemplateByteForByte) {
    const auto path = dir.File("TempXml.XML");
    testsupport::WriteFile(path, std::string(500, 'x')); // longer than the template
    EXPECT_TRUE(util::ExtractXmlTemplate(path.string()));
    EXPECT_TRUE(util::ExtractXmlTemplate(path.string()));
    EXPECT_EQ(ReadFile(path), kXml);
    EXPECT_TRUE(util::ExtractDocTemplate(dir.File("t.doc").string()));
    EXPECT_EQ(ReadFile(dir.File("t.doc")), kDoc);
}

TEST_F(TemplateDocsTest, AMissingRowWritesNothingAndANullTemplateIsAnError) {
    ItemTable[0].序号 = 99;
    EXPECT_FALSE(util::ExtractXmlTemplate(dir.File("a.xml").string()));
    EXPECT_FALSE(std::filesystem::exists(dir.File("a.xml")));
    SelectedItem = 1;
    EXPECT_ANY_THROW(util::ExtractXmlTemplate(dir.File("b.xml").string()));
    EXPECT_ANY_THROW(util::ExtractDocTemplate(dir.File("b.doc").string()));
    EXPECT_ANY_THROW(util::ExtractXmlTemplate((dir.path() / "没有" / "c.xml").string()));
}

TEST_F(TemplateDocsTest, DownloadAsksForAFileAndReportsSuccess) {
    testsupport::ScopedFakePrompter prompter;
    const auto target = dir.File("营业执照.doc");
    prompter->saveAnswers.push_back(target.string());
    EXPECT_TRUE(util::DownloadDocTemplate("营业执照.doc"));
    ASSERT_EQ(prompter->saveRequests.size(), 1u);
    EXPECT_EQ(prompter->saveRequests[0].proposedName, "营业执照.doc");
    EXPECT_EQ(prompter->saveRequests[0].filter, "报盘模板文件(*.DOC)|*.DOC");
    EXPECT_EQ(ReadFile(target), kDoc);
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "下载DOC模板文件成功...");
    EXPECT_EQ(prompter->messages[0].title, "提示");
    EXPECT_EQ(prompter->messages[0].icon, platform::MsgIcon::Information);
}

TEST_F(TemplateDocsTest, DownloadOntoAnExistingFileAsksFirst) {
    testsupport::ScopedFakePrompter prompter;
    const auto target = dir.File("已有.doc");
    testsupport::WriteFile(target, "old");
    prompter->saveAnswers.push_back(target.string());
    prompter->answers.push_back(platform::MsgAnswer::No);
    EXPECT_FALSE(util::DownloadDocTemplate("x.doc"));
    EXPECT_EQ(ReadFile(target), "old");
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "文件已经存在,是否覆盖?");
    EXPECT_EQ(prompter->messages[0].title, "提示");
    EXPECT_EQ(prompter->messages[0].icon, platform::MsgIcon::Question);
    EXPECT_EQ(prompter->messages[0].buttons, platform::MsgButtons::YesNo);

    prompter->saveAnswers.push_back(target.string());
    prompter->answers.push_back(platform::MsgAnswer::Yes);
    EXPECT_TRUE(util::DownloadDocTemplate("x.doc"));
    EXPECT_EQ(ReadFile(target), kDoc);
    EXPECT_EQ(prompter->messages.back().text, "下载DOC模板文件成功...");
}

TEST_F(TemplateDocsTest, CancelOrFailureEndsTheDownloadSilently) {
    testsupport::ScopedFakePrompter prompter;
    EXPECT_FALSE(util::DownloadDocTemplate("x.doc")); // cancelled
    prompter->saveAnswers.push_back((dir.path() / "没有" / "x.doc").string());
    EXPECT_FALSE(util::DownloadDocTemplate("x.doc")); // folder missing
    SelectedItem = 1;
    prompter->saveAnswers.push_back(dir.File("null.doc").string());
    EXPECT_FALSE(util::DownloadDocTemplate("x.doc")); // no template stored
    EXPECT_TRUE(prompter->messages.empty());
}

// The size in bytes is asked of the database before a value is read: one
// byte over the limit is refused with a message, and nothing is written. A
// TEXT value that starts with NUL is measured by its bytes too, and one past
// the database's own length limit is refused unread.
TEST_F(TemplateDocsTest, TemplatesAreMeasuredBeforeTheyAreRead) {
    testsupport::ScopedFakePrompter prompter;
    const auto path = dir.File("work.xml");
    const std::string max = std::to_string(util::kMaxXmlTemplateBytes);
    const std::string beyond = std::to_string(platform::db::kMaxLengthBytes + 1);
    const struct {
        std::string value;
        const char* message; // "" when the value is written out
    } cases[] = {
        {"zeroblob(" + max + ")", ""},
        {"zeroblob(" + max + "+1)", "XML模板有17M，超过16M的上限"},
        {"cast(zeroblob(" + max + "+1) as text)", "XML模板有17M，超过16M的上限"},
        {"cast(zeroblob(" + beyond + ") as text)", "XML模板超过16M的上限"},
        {"zeroblob(" + beyond + ")", "XML模板超过16M的上限"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        prompter->messages.clear();
        db->Exec("update 资料模板 set XML模板=" + c.value + " where 序号=1");
        EXPECT_EQ(util::ExtractXmlTemplate(path.string()), !*c.message);
        EXPECT_EQ(std::filesystem::exists(path), !*c.message);
        std::filesystem::remove(path);
        ASSERT_EQ(prompter->messages.size(), *c.message ? 1u : 0u);
        if (*c.message) {
            EXPECT_NE(prompter->messages[0].text.find(c.message), std::string::npos)
                << prompter->messages[0].text;
        }
    }
}

} // namespace

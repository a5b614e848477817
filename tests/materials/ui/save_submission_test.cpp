#include "app/ui/program.h"
#include "materials/manifest.h"
#include "materials/manifest_fixture.h"
#include "materials/package_fixture.h"
#include "materials/save_folder.h"
#include "materials/ui/FrmFjgl.h"
#include "materials/ui/save_progress.h"
#include "platform/xmldoc.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "support/fixture_db.h"

#include <QApplication>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

using materials::ui::FrmFjgl;
using materials::ui::SaveProgress;
using namespace materials_test;
using platform::MsgIcon;

namespace {

const std::string kLocal = materials::kLocalPrefix;

std::string SuccessText(int mb, const std::string& folder) {
    return "保存成功!  所有附件文件大小为:" + std::to_string(mb) + "M\r\n请将【" + folder +
           "】目录(不含)下所有目录和文件刻录成光盘做为电子申报资料上报...\r\n"
           " 【注意】请不要手动对该目录下文件名和后缀名做任何修改！";
}

// What the package check after the save adds to the message: the linked
// files of these tests are not real PDF files or pictures.
const std::string kNotAPdf = "PDF文件无法打开（文件已损坏或不是PDF文件）";
const std::string kNotAPicture = "图片无法解码（文件已损坏或不是图片文件）";
std::string CheckErrors(const std::vector<std::string>& lines) {
    std::string text = "\r\n\r\n刻录前检查发现以下问题：\r\n错误：";
    for (const std::string& line : lines)
        text += "\r\n  " + line;
    return text;
}

class SaveSubmissionTest : public TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        program_ = dir_ / "程序";
        fs::create_directories(program_);
        db_ = std::make_unique<testsupport::FixtureDb>(program_ / "系统模板.mdb");
        db_->AddParameters();
        db_->AddField({.order = 1, .name = "", .label = "一、基本情况"});
        db_->AddField({.order = 2, .name = "项目名称", .value = "甲项目", .required = 1});
        db_->AddField({.order = 3, .name = "项目概况", .kind = 3, .memo = "第一行\r\n第二行"});
    }
    void TearDown() override {
        window_.reset();
        ResetGlobals();
        db_.reset();
        TempFolderTest::TearDown();
    }

    FrmFjgl& Open(bool complete = true, int sizeLimit = 200) {
        testsupport::ItemRow item;
        item.xml = testsupport::ToBytes(package_test::PackageManifest(
            {{"营业执照", {{"营业执照(副本)", ""}}}, {"章程", {{"章程", ""}}}}));
        item.sizeLimit = sizeLimit;
        if (complete)
            item.extra = {{"行政审批项目名称", "某某公司测试申请"},
                          {"行政区域", 3301},
                          {"单位名称", "某某公司"},
                          {"法人代表", "张三"},
                          {"单位地址", "杭州市西湖路1号"},
                          {"联系电话", "0571-88888888"}};
        db_->AddItem(item);
        db_->Close();
        StartupHooks hooks;
        hooks.countPrinters = [] { return 1; };
        EXPECT_TRUE(Main(program_, hooks));
        SelectedItem = 0;
        window_ = std::make_unique<FrmFjgl>(app::ui::MaterialsWindowParts());
        window_->Form_Load();
        return *window_;
    }

    // Links a file to the first entry of a material through "选文件".
    void Link(int material, const std::string& path) {
        window_->MedFlex1().setRow(material);
        window_->MedFlex1_Click();
        window_->MedFlex2().setRow(1);
        prompter_->openAnswers.push_back(path);
        window_->selectWjlbFile();
    }
    void Save() {
        prompter_->messages.clear();
        QTest::mouseClick(window_->CmdSave(0).widget(), Qt::LeftButton);
        EXPECT_EQ(QApplication::overrideCursor(), nullptr); // the busy pointer is gone
    }
    std::string LastMessage() {
        return prompter_->messages.empty() ? "<none>" : prompter_->messages.back().text;
    }
    std::string Default() const { return U8(program_ / "申请材料-测试"); }

    testsupport::ScopedFakePrompter prompter_;
    fs::path program_;
    std::unique_ptr<testsupport::FixtureDb> db_;
    std::unique_ptr<FrmFjgl> window_;
};

TEST_F(SaveSubmissionTest, SavesThePackageRemembersTheFolderAndTellsTheSize) {
    FrmFjgl& w = Open();
    Link(1, makeFile("扫描/执照.JPG", 2048));
    Link(2, makeFile("扫描/章程.pdf", 1024 * 1024));
    const std::string working = ReadBytes(WorkManifestPath);
    EXPECT_FALSE(w.CmdDisc().enabled()); // nothing saved in the shown folder yet

    Save();
    EXPECT_TRUE(w.CmdDisc().enabled());

    ASSERT_EQ(prompter_->messages.size(), 1u);
    EXPECT_EQ(prompter_->messages[0].text,
              SuccessText(2, Default()) +
                  CheckErrors({"【营业执照】营业执照(副本)（营业执照(副本).JPG）：" + kNotAPicture,
                               "【章程】章程（章程.pdf）：" + kNotAPdf}));
    EXPECT_EQ(prompter_->messages[0].title, "提示");
    EXPECT_EQ(prompter_->messages[0].icon, MsgIcon::Information);
    EXPECT_EQ(StorageFolder, Default());
    EXPECT_EQ(ItemTable[0].存储路径, Default());
    EXPECT_EQ(db_->Text("select 存储路径 from 资料模板 where 序号=1"), Default());
    EXPECT_EQ(ReadBytes(WorkManifestPath), working);
    EXPECT_EQ(ReadBytes(fs::path(Default()) / "营业执照" / "营业执照(副本).JPG"),
              std::string(2048, 'x'));
    const char* data = std::getenv("QUILLOR_TEST_DATA");
    const std::string list =
        ReadBytes(fs::path(data ? data : "tests/data") / "materials" / "list_window_save.txt");
    EXPECT_EQ(ReadBytes(fs::path(Default()) / "材料清单.txt"), list);
    // The list written again from the stored copy is the same.
    EXPECT_TRUE(materials::makeFjqd(U8(dir_ / "清单.txt"), Default() + "/APLPKG.XML"));
    EXPECT_EQ(ReadBytes(dir_ / "清单.txt"), list);
    EXPECT_FALSE(materials::makeFjqd(U8(dir_ / "清单.txt"), U8(dir_ / "没有.XML")));
    EXPECT_EQ(LastMessage(), "XML文件不存在");
    EXPECT_EQ(w.Text2(0).text().toStdString(), Default());
}

TEST_F(SaveSubmissionTest, IncompleteFormsWriteNothing) {
    Open(false);
    Link(1, makeFile("a.pdf", 10));
    Save();
    EXPECT_EQ(LastMessage().rfind("行政审批申请书填写不完整：【", 0), 0u) << LastMessage();
    EXPECT_FALSE(fs::exists(Default()));
    EXPECT_EQ(StorageFolder, "");
}

TEST_F(SaveSubmissionTest, TheSizeWarningStartsOneMegabyteAboveTheLimit) {
    Open(true, 1);
    Link(1, makeFile("a.pdf", 1024 * 1024));
    Save();
    const std::string first = "【营业执照】营业执照(副本)（营业执照(副本).pdf）：" + kNotAPdf;
    EXPECT_EQ(LastMessage(), SuccessText(1, Default()) + CheckErrors({first}));
    Link(2, makeFile("b.pdf", 1));
    Save();
    EXPECT_EQ(
        LastMessage(),
        "保存成功!\r\n所有附件文件大小为:2M，超过最大限定（1M）,请减少文件大小,建议处理方法:\r\n"
        "  1、对于JPG文件：降低图片精度或大小\r\n"
        "  2、对于DOC文件：对文中图片【设置图片格式】,选择压缩【文档中所有图片】\r\n"
        "  3、对于PDF文件：对原始文件压缩后重新生成PDF文件" +
            CheckErrors({first, "【章程】章程（章程.pdf）：" + kNotAPdf}));
    EXPECT_EQ(prompter_->messages.back().title, "警告");
    EXPECT_EQ(prompter_->messages.back().icon, MsgIcon::Critical);
    EXPECT_TRUE(fs::exists(fs::path(Default()) / "章程" / "章程.pdf")); // saved all the same
}

TEST_F(SaveSubmissionTest, ASourceGoneBeforeSavingIsNamedAndTheNextSaveRetriesIt) {
    Open();
    const std::string source = makeFile("执照.pdf", 100);
    Link(1, source);
    fs::rename(source, dir_ / "暂存.pdf");
    Save();
    EXPECT_EQ(LastMessage(),
              "保存未全部成功！以下报件的文件未能保存：\r\n  【营业执照】营业执照(副本)"
              "：源文件不存在（" +
                  source + "）\r\n请处理后重新保存。\r\n所有附件文件大小为:1M");
    platform::XmlDocument stored;
    ASSERT_TRUE(stored.load(fs::path(Default()) / "APLPKG.XML"));
    EXPECT_EQ(stored.documentElement().selectSingleNode(".//fileUrl").text(), "");

    fs::rename(dir_ / "暂存.pdf", source);
    Save();
    EXPECT_EQ(LastMessage(),
              SuccessText(1, Default()) +
                  CheckErrors({"【营业执照】营业执照(副本)（营业执照(副本).pdf）：" + kNotAPdf}));
    ASSERT_TRUE(stored.load(fs::path(Default()) / "APLPKG.XML"));
    EXPECT_EQ(stored.documentElement().selectSingleNode(".//fileUrl").text(),
              kLocal + "营业执照(副本).pdf");
}

TEST_F(SaveSubmissionTest, AFolderChosenWithSelectReceivesTheStoredFiles) {
    Open();
    Link(1, makeFile("执照.pdf", 100));
    Save();
    // The next window on this item opens the stored copy: links in the local form.
    window_ = std::make_unique<FrmFjgl>(app::ui::MaterialsWindowParts());
    window_->Form_Load();
    const std::string chosen = U8(dir_ / "光盘");
    prompter_->folderAnswers.push_back(chosen);
    window_->Command1_Click();
    Save();
    EXPECT_EQ(LastMessage(),
              SuccessText(1, chosen) +
                  CheckErrors({"【营业执照】营业执照(副本)（营业执照(副本).pdf）：" + kNotAPdf}));
    EXPECT_EQ(ReadBytes(fs::path(chosen) / "营业执照" / "营业执照(副本).pdf"),
              std::string(100, 'x'));
    EXPECT_TRUE(fs::exists(fs::path(Default()) / "营业执照" / "营业执照(副本).pdf"));
    EXPECT_EQ(StorageFolder, chosen);
    EXPECT_EQ(db_->Text("select 存储路径 from 资料模板 where 序号=1"), chosen);
}

TEST_F(SaveSubmissionTest, AFolderThatCannotBeWrittenIsReportedAndNotRemembered) {
    Open();
    Link(1, makeFile("执照.pdf", 100));
    WriteBytes(dir_ / "文件", "a file, not a folder");
    ShownFolder = U8(dir_ / "文件" / "包");
    Save();
    EXPECT_EQ(LastMessage(), "申报资料存储路径无法写入-" + ShownFolder);
    EXPECT_EQ(StorageFolder, "");
    EXPECT_EQ(ItemTable[0].存储路径, "");
    fs::remove(WorkManifestPath);
    ShownFolder = Default();
    Save();
    EXPECT_EQ(LastMessage(), "XML文件不存在-" + U8(fs::path(Default()) / "APLPKG.XML"));
}

// A folder that holds other things and no package: asked once; 否 saves nothing.
TEST_F(SaveSubmissionTest, AFolderOfOtherFilesIsSavedIntoOnlyWhenTheUserSaysSo) {
    Open();
    Link(1, makeFile("执照.pdf", 100));
    ShownFolder = U8(dir_ / "文档");
    WriteBytes(dir_ / "文档" / "营业执照" / "扫描.jpg", "the user's own");
    for (const platform::MsgAnswer answer : {platform::MsgAnswer::No, platform::MsgAnswer::Yes}) {
        prompter_->answers.push_back(answer);
        Save();
        ASSERT_FALSE(prompter_->messages.empty());
        EXPECT_NE(prompter_->messages[0].text.find("是否保存到该目录"), std::string::npos);
        EXPECT_EQ(fs::exists(dir_ / "文档" / "APLPKG.XML"), answer == platform::MsgAnswer::Yes);
        EXPECT_EQ(ReadBytes(dir_ / "文档" / "营业执照" / "扫描.jpg"), "the user's own");
    }
}

// While a save runs the window takes nothing: a second 保存, "选择..", the
// close box (here tried as the save removes an earlier copy, when it lets
// events through) all wait, and the shown folder is the one read at the start.
TEST_F(SaveSubmissionTest, NothingInTheWindowActsWhileASaveRuns) {
    FrmFjgl& w = Open();
    Link(1, makeFile("扫描/执照.doc", 100));
    Save();
    Link(1, makeFile("扫描/执照.pdf", 100)); // the .doc is removed by the next save
    w.show();
    QApplication::processEvents(); // its activation notice comes before the save
    int tried = 0;
    QTimer::singleShot(0, &w, [&] {
        ++tried;
        QTest::mouseClick(w.CmdSave(0).widget(), Qt::LeftButton);
        w.CmdSave_Click(0);
        prompter_->folderAnswers.push_back(U8(dir_ / "别处"));
        w.Command1_Click();
        w.close();
    });
    Save();
    EXPECT_EQ(tried, 1);
    EXPECT_TRUE(w.isVisible());
    ASSERT_EQ(prompter_->messages.size(), 1u) << prompter_->messages[0].text;
    EXPECT_EQ(ShownFolder, Default());
    EXPECT_EQ(StorageFolder, Default());
    EXPECT_FALSE(fs::exists(fs::path(Default()) / "营业执照" / "营业执照(副本).doc"));
    EXPECT_TRUE(fs::exists(fs::path(Default()) / "营业执照" / "营业执照(副本).pdf"));
}

// Closing asks before unsaved links are thrown away, and only then.
TEST_F(SaveSubmissionTest, ClosingAsksBeforeDiscardingUnsavedLinks) {
    const std::string question = "申报材料已经改变，退出将不保存。确认吗？";
    struct Step {
        bool link, save;
        bool touch; // the working copy's bytes change, but no link, title or entry
        std::optional<platform::MsgAnswer> answer; // none: not asked
        bool closed;
    } steps[] = {{true, false, false, platform::MsgAnswer::No, false},
                 {false, true, true, std::nullopt, true}};
    FrmFjgl& w = Open();
    w.show();
    QApplication::processEvents();
    for (const Step& step : steps) {
        if (step.link)
            Link(1, makeFile("执照.pdf", 100));
        if (step.save)
            Save();
        if (step.touch)
            std::ofstream(program_ / "TempXml.XML", std::ios::app) << "\n";
        prompter_->messages.clear();
        if (step.answer)
            prompter_->answers.push_back(*step.answer);
        w.CmdSave_Click(4);
        EXPECT_EQ(!prompter_->messages.empty() && prompter_->messages.back().text == question,
                  step.answer.has_value());
        EXPECT_EQ(!w.isVisible(), step.closed);
    }
}

// ---- the progress dialog ----

TEST(SaveProgressDialog, ShowsTheFileAndBytesAndCancelsBetweenFiles) {
    QWidget parent;
    {
        SaveProgress quick(&parent, 60000);
        quick.stage(materials::SaveStage::Begin, {});
        ASSERT_NE(QApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        quick.stage(materials::SaveStage::Copy, "a.pdf");
        quick.copied(100, 200);
        EXPECT_EQ(quick.dialog(), nullptr); // short saves show no dialog
        EXPECT_FALSE(quick.cancelRequested());
    }
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    SaveProgress slow(&parent, 0);
    slow.stage(materials::SaveStage::Begin, {});
    slow.stage(materials::SaveStage::Copy, "营业执照.pdf");
    slow.copied(512 * 1024, 2 * 1024 * 1024);
    QProgressDialog* dialog = slow.dialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(dialog->labelText(), "正在复制：营业执照.pdf\n已复制 0.5 / 2.0 MB");
    EXPECT_EQ(dialog->value(), 250);
    auto* cancel = dialog->findChild<QPushButton*>("SaveProgressCancel");
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(slow.cancelRequested());
    slow.stage(materials::SaveStage::Place, "营业执照.pdf");
    EXPECT_FALSE(cancel->isEnabled()); // past the copying, the save goes to its end
    dialog->close();                   // neither the close box nor Esc closes it now
    QTest::keyClick(dialog, Qt::Key_Escape);
    EXPECT_TRUE(dialog->isVisible());
    slow.stage(materials::SaveStage::End, {});
    EXPECT_EQ(slow.dialog(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace

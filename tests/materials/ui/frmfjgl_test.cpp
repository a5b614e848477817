#include "app/ui/program.h"
#include "materials/ui/FrmFjgl.h"

#include "materials/manifest.h"
#include "materials/manifest_fixture.h"
#include "platform/gbk.h"
#include "platform/xmldoc.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "support/fixture_db.h"
#include "support/keyboard.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

using materials::ui::FlexGrid;
using materials::ui::FrmFjgl;
using namespace materials_test;
using platform::MsgAnswer;
using platform::MsgIcon;

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

const char* const kOldLayoutTail = "】目录下报盘文件为老版本，强烈建议：删除后重新组织...";

// A manifest with one material per name; entries: name → list of (title, link).
struct Material {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
    std::string count = "0";
};

std::string Manifest(const std::string& mark, const std::vector<Material>& materials) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<offer bbh=\"1.0\" bpbs=\"" +
                      mark + "\"><attachments>";
    int key = 0;
    for (const Material& m : materials) {
        const std::string n = std::to_string(++key);
        xml += "<attachment fjid=\"" + n + "\"><fjxh>" + n + "</fjxh><fjmc>" + m.name +
               "</fjmc><dzjs>" + m.count + "</dzjs><fjms>" + m.name +
               "的要求\n第二行</fjms><fileList>";
        int xh = 0;
        for (const auto& [title, link] : m.entries)
            xml += "<file><fileXh>" + std::to_string(++xh) + "</fileXh><fileName>" + title +
                   "</fileName><fileTitle>" + title + "</fileTitle><fileUrl>" + link +
                   "</fileUrl><filems>" + title + "说明</filems></file>";
        xml += "</fileList></attachment>";
    }
    // Declared GB2312, so stored in GBK as the templates are.
    return platform::Utf8ToGbkLossless(xml + "</attachments></offer>\n");
}

const std::vector<Material> kNewLayout = {
    {"营业执照", {{"营业执照(副本)", ""}}},
    {"单位情况简表", {{"单位情况简表(盖章)", ""}, {"附表(二)", ""}}},
    {"其他材料", {}},
};

class FrmFjglTest : public TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        program_ = dir_ / "程序";
        fs::create_directories(program_);
        db_ = std::make_unique<testsupport::FixtureDb>(program_ / "系统模板.mdb");
        db_->AddParameters();
    }
    void TearDown() override {
        window_.reset();
        ResetGlobals();
        db_.reset();
        TempFolderTest::TearDown();
    }

    testsupport::ItemRow Item(const std::string& manifest) {
        testsupport::ItemRow row;
        row.xml = testsupport::ToBytes(manifest);
        return row;
    }

    FrmFjgl& Open(const testsupport::ItemRow& item, const std::string& subItem = "") {
        db_->AddItem(item);
        db_->Close();
        StartupHooks hooks;
        hooks.countPrinters = [] { return 1; };
        EXPECT_TRUE(Main(program_, hooks));
        SelectedItem = 0;
        SubItemName = subItem;
        ReloadPending = -1;
        window_ = std::make_unique<FrmFjgl>(app::ui::MaterialsWindowParts());
        window_->Form_Load();
        return *window_;
    }

    FlexGrid& Materials() { return window_->MedFlex1(); }
    FlexGrid& Files() { return window_->MedFlex2(); }
    std::string Cell(FlexGrid& grid, int row, int col) {
        return grid.textMatrix(row, col).toStdString();
    }
    std::string Work(const char* xpath, std::size_t index = 0) {
        platform::XmlDocument doc;
        if (!doc.load(WorkManifestPath))
            return "<unreadable>";
        const auto nodes = doc.documentElement().selectNodes(xpath);
        return index < nodes.size() ? nodes[index].text() : "<none>";
    }
    std::string Default() { return U8(program_ / "申请材料-测试"); }

    void SelectMaterial(int row) {
        Materials().setRow(row);
        Materials().setCol(0);
        window_->MedFlex1_Click();
    }
    void ClickFileCell(int row, int col) {
        FlexGrid& grid = Files();
        const QRect cell = grid.visualRect(grid.model()->index(row - 1, col));
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    }

    // The grid, the working copy and the total always tell the same story.
    void ExpectInStep() {
        const auto rows = materials::ReadMaterialsWithSizes(WorkManifestPath, StorageFolder);
        ASSERT_TRUE(rows);
        ASSERT_EQ(Materials().rows(), static_cast<int>(rows->size()) + 1);
        std::vector<std::string> kb;
        for (int r = 1; r < Materials().rows(); ++r) {
            const auto& row = (*rows)[static_cast<std::size_t>(r - 1)];
            EXPECT_EQ(Cell(Materials(), r, 2), row.fileCount) << "row " << r;
            EXPECT_EQ(Cell(Materials(), r, 3), row.kb) << "row " << r;
            kb.push_back(row.kb);
        }
        EXPECT_EQ(window_->Label3(0).text(), QString::number(materials::getTotalMb(kb)));
    }

    testsupport::ScopedFakePrompter prompter_;
    fs::path program_;
    std::unique_ptr<testsupport::FixtureDb> db_;
    std::unique_ptr<FrmFjgl> window_;
};

TEST_F(FrmFjglTest, OpensFromTheTemplateReplacingAStaleWorkingCopy) {
    WriteBytes(program_ / "TempXml.XML", "stale copy of a crashed instance");
    const std::string manifest = Manifest("TEST", kNewLayout);
    FrmFjgl& w = Open(Item(manifest));

    EXPECT_EQ(w.caption(), "申报资料管理－【测试事项】");
    EXPECT_EQ(WorkManifestPath, U8(program_ / "TempXml.XML"));
    EXPECT_EQ(ReadBytes(program_ / "TempXml.XML"), manifest);
    EXPECT_EQ(StorageFolder, "");
    EXPECT_EQ(ShownFolder, Default());
    EXPECT_EQ(w.Text2(0).text(), Q(Default()));
    EXPECT_FALSE(fs::exists(Default()));

    const std::vector<std::string> headers1 = {"序号", "材料名称", "报件数", "文件(KB)", "ID"};
    const std::vector<int> widths1 = {600, 4600 - 2250, 700, 900, 0};
    ASSERT_EQ(Materials().cols(), 5);
    for (int c = 0; c < 5; ++c) {
        EXPECT_EQ(Cell(Materials(), 0, c), headers1[c]);
        EXPECT_EQ(Materials().colWidth(c), widths1[c]);
    }
    const std::vector<std::string> headers2 = {"序号",   "报件名称", "报件名称", "报件路径",
                                               "选文件", "文件(KB)", ""};
    const std::vector<int> widths2 = {600, 0, 2100, 2700, 700, 900, 0};
    ASSERT_EQ(Files().cols(), 7);
    for (int c = 0; c < 7; ++c) {
        EXPECT_EQ(Cell(Files(), 0, c), headers2[c]);
        EXPECT_EQ(Files().colWidth(c), widths2[c]);
    }
    EXPECT_TRUE(Materials().isColumnHidden(4));
    EXPECT_EQ(Materials().rowHeight(0), 340);
    EXPECT_EQ(Materials().rowHeight(1), 300);

    ASSERT_EQ(Materials().rows(), 4);
    EXPECT_EQ(Cell(Materials(), 2, 1), "单位情况简表");
    EXPECT_EQ(Cell(Materials(), 3, 4), "3");
    EXPECT_EQ(Materials().row(), 1);
    EXPECT_EQ(Materials().col(), 0);
    EXPECT_EQ(Materials().colSel(), 4);
    ASSERT_EQ(Files().rows(), 2);
    EXPECT_EQ(Cell(Files(), 1, 2), "营业执照(副本)");
    EXPECT_EQ(Cell(Files(), 1, 4), ">>>");
    EXPECT_EQ(w.tips().text(), "营业执照的要求\r\n第二行");
    EXPECT_FALSE(w.Label2().visible());
    EXPECT_FALSE(w.addBut().enabled());
    EXPECT_EQ(w.Label3(1).text(), "200");
    EXPECT_EQ(w.Label3(0).text(), "0");
    EXPECT_FALSE(w.oldManifest());
    EXPECT_EQ(w.editRow(), -1);
    EXPECT_TRUE(prompter_->messages.empty());
    ExpectInStep();
}

TEST_F(FrmFjglTest, OpensTheStoredCopyOfTheSavedFolderWithSizesAndShading) {
    const fs::path storage = dir_ / "已保存的包";
    makeFile("已保存的包/单位情况简表/章程.doc", 1024);
    makeFile("已保存的包/营业执照/营业执照(副本).pdf", 2049);
    const std::string stored =
        Manifest("TEST", {{"营业执照", {{"营业执照(副本)", "Local:\\\\营业执照(副本).pdf"}}, "1"},
                          {"单位情况简表",
                           {{"章程", "Local:\\\\章程.doc"}, {"附表(二)", "Local:\\\\附表.pdf"}},
                           "2"},
                          {"其他材料", {}}});
    WriteBytes(storage / "APLPKG.XML", stored);
    auto item = Item(Manifest("TEST", kNewLayout));
    item.storagePath = U8(storage);
    item.sizeLimit = 50;
    FrmFjgl& w = Open(item);

    EXPECT_EQ(ReadBytes(program_ / "TempXml.XML"), stored);
    EXPECT_EQ(StorageFolder, U8(storage));
    EXPECT_EQ(ShownFolder, U8(storage));
    EXPECT_EQ(Cell(Materials(), 1, 3), "3");
    EXPECT_EQ(Cell(Materials(), 2, 2), "2");
    EXPECT_EQ(Cell(Materials(), 2, 3), "1"); // the vanished file adds nothing
    EXPECT_EQ(Cell(Materials(), 3, 3), "");
    EXPECT_EQ(Cell(Files(), 1, 5), "3");
    for (int c = 1; c <= 4; ++c) {
        EXPECT_EQ(Materials().cellBackColor(1, c), FrmFjgl::HasFilesColor);
        EXPECT_EQ(Materials().cellBackColor(2, c), FrmFjgl::HasFilesColor);
        EXPECT_FALSE(Materials().cellBackColor(3, c).isValid());
    }
    EXPECT_FALSE(Materials().cellBackColor(1, 0).isValid());
    EXPECT_EQ(w.Label3(1).text(), "50");
    EXPECT_EQ(w.Label3(0).text(), "1");
    ExpectInStep();
}

TEST_F(FrmFjglTest, FallsBackToTheDefaultFolderThenToTheTemplate) {
    const std::string inDefault = Manifest("TEST", kNewLayout) + "<!-- default -->\n";
    WriteBytes(program_ / "申请材料-测试" / "APLPKG.XML", inDefault);
    auto item = Item(Manifest("TEST", kNewLayout));
    item.storagePath = U8(dir_ / "已被删除");
    Open(item);
    EXPECT_EQ(ShownFolder, Default());
    EXPECT_EQ(StorageFolder, Default());
    EXPECT_EQ(ReadBytes(program_ / "TempXml.XML"), inDefault);
}

TEST_F(FrmFjglTest, PackageOfAnotherKindIsNotTaken) {
    const fs::path storage = dir_ / "别的包";
    WriteBytes(storage / "APLPKG.XML", Manifest("TEST-1X", kNewLayout));
    const std::string manifest = Manifest("TEST", kNewLayout);
    auto item = Item(manifest);
    item.storagePath = U8(storage);
    Open(item);
    EXPECT_EQ(StorageFolder, "");
    EXPECT_EQ(ShownFolder, Default());
    EXPECT_EQ(ReadBytes(program_ / "TempXml.XML"), manifest);
}

TEST_F(FrmFjglTest, MissingTemplateIsReportedAndTheWindowStaysUsable) {
    WriteBytes(program_ / "TempXml.XML", Manifest("TEST", kNewLayout)); // stale
    auto item = Item("");
    item.xml = nullptr;
    FrmFjgl& w = Open(item);
    ASSERT_EQ(prompter_->messages.size(), 1u);
    EXPECT_EQ(prompter_->messages[0].text, "XML文件不存在-" + WorkManifestPath);
    EXPECT_EQ(prompter_->messages[0].title, "提示");
    EXPECT_EQ(Materials().rows(), 1);
    EXPECT_EQ(Files().rows(), 1);
    w.CmdRemoveFJ_Click(); // says there is nothing to clear
    w.delBut_Click();      // disabled: not 其他材料
    ASSERT_EQ(prompter_->messages.size(), 2u);
    EXPECT_EQ(prompter_->messages[1].text, "电子报件列表中没有报件。");
}

TEST_F(FrmFjglTest, OpenButtonTakesAnAcceptedPackageOrRefusesAndCancels) {
    FrmFjgl& w = Open(Item(Manifest("TEST", {{"营业执照", {{"执照", ""}}}, {"单位情况简表", {}}})));
    const std::string shownBefore = ShownFolder;
    // Cancelled picker: nothing.
    prompter_->folderAnswers.push_back(std::nullopt);
    w.CmdSave_Click(1);
    EXPECT_EQ(ShownFolder, shownBefore);
    // A folder without a package.
    fs::create_directories(dir_ / "空目录");
    prompter_->folderAnswers.push_back(U8(dir_ / "空目录"));
    w.CmdSave_Click(1);
    ASSERT_EQ(prompter_->messages.size(), 1u);
    EXPECT_EQ(prompter_->messages[0].text, "指定目录非有效的申报资料存储路径...");
    EXPECT_EQ(prompter_->messages[0].icon, MsgIcon::Exclamation);
    EXPECT_EQ(ShownFolder, shownBefore);
    EXPECT_EQ(Materials().rows(), 3);
    // A valid package: grids, sizes and total come from the new working copy.
    const fs::path other = dir_ / "另一个包";
    makeFile("另一个包/单位情况简表/简表.pdf", 3 * 1024 * 1024);
    WriteBytes(other / "APLPKG.XML",
               Manifest("TEST", {{"营业执照", {{"执照", ""}}},
                                 {"单位情况简表", {{"简表", "Local:\\\\简表.pdf"}}, "1"}}));
    prompter_->folderAnswers.push_back(U8(other));
    w.CmdSave_Click(1);
    EXPECT_EQ(prompter_->messages.size(), 1u);
    EXPECT_EQ(StorageFolder, U8(other));
    EXPECT_EQ(ShownFolder, U8(other));
    EXPECT_EQ(w.Text2(0).text(), Q(U8(other)));
    ASSERT_EQ(Materials().rows(), 3);
    EXPECT_EQ(Cell(Materials(), 2, 3), "3072");
    EXPECT_EQ(w.Label3(0).text(), "3");
    EXPECT_EQ(Materials().row(), 1);
    EXPECT_EQ(Cell(Files(), 1, 2), "执照");
    EXPECT_EQ(prompter_->folderRequests.size(), 3u);
    ExpectInStep();
}

TEST_F(FrmFjglTest, OldLayoutWarnsOnEveryActivationUntilANewLayoutIsLoaded) {
    FrmFjgl& w = Open(Item(Manifest("TEST", {{"营业执照", {{"执照", ""}}}})), "新办");
    EXPECT_TRUE(w.oldManifest());
    w.show();
    QApplication::processEvents(); // the first activation
    w.Form_Activate();
    ASSERT_EQ(prompter_->messages.size(), 2u);
    for (const auto& m : prompter_->messages) {
        EXPECT_EQ(m.text, "【" + Default() + kOldLayoutTail);
        EXPECT_EQ(m.title, "提示");
        EXPECT_EQ(m.icon, MsgIcon::Critical);
    }
    const fs::path fresh = dir_ / "新版";
    WriteBytes(fresh / "APLPKG.XML", Manifest("TEST", kNewLayout));
    prompter_->folderAnswers.push_back(U8(fresh));
    w.CmdSave_Click(1); // activation after the picker: the new layout does not warn
    w.Form_Activate();
    EXPECT_FALSE(w.oldManifest());
    EXPECT_EQ(prompter_->messages.size(), 2u);
}

TEST_F(FrmFjglTest, ChangeSubItemWarnsForAFirstTitleWithoutAsciiParenthesis) {
    FrmFjgl& w = Open(Item(Manifest("TEST", {{"营业执照", {{"执照（副本）", ""}}},
                                             {"章程", {{"章程(盖章)", ""}}}})),
                      "变更");
    EXPECT_TRUE(w.oldManifest());
    EXPECT_EQ(ReloadPending, 0);
}

TEST_F(FrmFjglTest, ChangeSubItemChecksOnlyTheFirstEntryShownAfterOpening) {
    FrmFjgl& w =
        Open(Item(Manifest("TEST", {{"营业执照", {{"执照(副本)", ""}}}, {"章程", {{"章程", ""}}}})),
             "变更");
    EXPECT_FALSE(w.oldManifest());
    SelectMaterial(2); // later listings are not examined
    EXPECT_FALSE(w.oldManifest());
}

TEST_F(FrmFjglTest, LinkingAFileThroughTheChooseColumn) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    w.show();
    const std::string file = makeFile("扫描/执照 副本.pdf", 1024 * 1024 + 1);
    prompter_->openAnswers.push_back(std::nullopt);
    ClickFileCell(1, 4);
    EXPECT_EQ(Cell(Files(), 1, 3), "");
    EXPECT_EQ(Work("//fileUrl"), "");

    prompter_->openAnswers.push_back(file);
    ClickFileCell(1, 4);
    ASSERT_EQ(prompter_->openRequests.size(), 2u);
    EXPECT_EQ(
        prompter_->openRequests[1].filter,
        "申报材料(*.doc,*.xls,*.jpeg,*.pdf)|*.doc;*.xls;*.jpg;*.jpeg;*.pdf|所有文件(*.*)|*.*");
    EXPECT_EQ(Cell(Files(), 1, 3), file);
    EXPECT_EQ(Cell(Files(), 1, 5), ""); // refreshed only when listed again
    EXPECT_EQ(Cell(Materials(), 1, 2), "1");
    EXPECT_EQ(Cell(Materials(), 1, 3), "1025");
    EXPECT_EQ(w.Label3(0).text(), "2");
    for (int c = 1; c <= 4; ++c)
        EXPECT_EQ(Materials().cellBackColor(1, c), FrmFjgl::LinkedColor);
    EXPECT_EQ(Materials().col(), 1);
    EXPECT_EQ(Materials().colSel(), 4);
    EXPECT_EQ(Work("//fileUrl"), file);
    EXPECT_EQ(Work("//dzjs"), "1");
    EXPECT_EQ(Files().col(), 0);
    ExpectInStep();
    SelectMaterial(1);
    EXPECT_EQ(Cell(Files(), 1, 5), "1025");
}

TEST_F(FrmFjglTest, ClearingALinkAsksAndResetsTheShading) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    Files().setRow(1);
    w.CmdRemoveFJ_Click();
    ASSERT_EQ(prompter_->messages.size(), 1u);
    EXPECT_EQ(prompter_->messages[0].text, "[营业执照(副本)]尚未链接附件，请重新选择...");
    EXPECT_EQ(prompter_->messages[0].icon, MsgIcon::Information);

    prompter_->openAnswers.push_back(makeFile("a.pdf", 10));
    Files().setCol(4);
    w.MedFlex2_Click();
    prompter_->answers.push_back(MsgAnswer::No);
    w.CmdRemoveFJ_Click();
    EXPECT_EQ(prompter_->messages.back().text, "是否清除附件？");
    EXPECT_EQ(prompter_->messages.back().buttons, platform::MsgButtons::YesNo);
    EXPECT_EQ(Work("//fileUrl"), U8(dir_ / "a.pdf"));

    prompter_->answers.push_back(MsgAnswer::Yes);
    w.CmdRemoveFJ_Click();
    EXPECT_EQ(Cell(Files(), 1, 3), "");
    EXPECT_EQ(Work("//fileUrl"), "");
    EXPECT_EQ(Cell(Materials(), 1, 2), "0");
    for (int c = 1; c <= 3; ++c)
        EXPECT_FALSE(Materials().cellBackColor(1, c).isValid());
    EXPECT_TRUE(fs::exists(dir_ / "a.pdf")); // the file itself stays
    ExpectInStep();

    SelectMaterial(3); // 其他材料 has no entries: nothing to clear, and the user is told so
    const auto asked = prompter_->messages.size();
    w.CmdRemoveFJ_Click();
    ASSERT_EQ(prompter_->messages.size(), asked + 1);
    EXPECT_EQ(prompter_->messages.back().text, "电子报件列表中没有报件。");
    EXPECT_EQ(prompter_->messages.back().icon, MsgIcon::Information);
}

TEST_F(FrmFjglTest, AddingAndDeletingEntriesOfOtherMaterials) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    EXPECT_FALSE(w.delBut().enabled());
    SelectMaterial(3);
    ASSERT_TRUE(w.addBut().enabled());
    ASSERT_TRUE(w.delBut().enabled());
    w.delBut_Click(); // no entry yet: nothing asked but a notice, the header stays
    ASSERT_EQ(prompter_->messages.size(), 1u);
    EXPECT_EQ(prompter_->messages[0].text, "电子报件列表中没有报件。");
    prompter_->messages.clear();
    EXPECT_EQ(Files().rows(), 1);

    w.addBut_Click();
    w.addBut_Click();
    w.addBut_Click();
    ASSERT_EQ(Files().rows(), 4);
    EXPECT_EQ(Cell(Files(), 3, 0), "3");
    EXPECT_EQ(Cell(Files(), 3, 2), "其他新增材料3");
    EXPECT_EQ(Cell(Files(), 3, 6), "其他新增材料3");
    EXPECT_EQ(Cell(Materials(), 3, 2), "0");
    EXPECT_EQ(Work("//attachment[3]//fileName", 2), "其他新增材料3");

    prompter_->openAnswers.push_back(makeFile("b.pdf", 2048));
    Files().setRow(3);
    Files().setCol(4);
    w.MedFlex2_Click();
    EXPECT_EQ(Cell(Materials(), 3, 2), "1");

    Files().setRow(1);
    prompter_->answers.push_back(MsgAnswer::No);
    w.delBut_Click();
    EXPECT_EQ(prompter_->messages.back().text, "是否确定删除？删除后无法恢复！");
    EXPECT_EQ(Files().rows(), 4);
    ExpectInStep();

    prompter_->answers.push_back(MsgAnswer::Yes);
    w.delBut_Click();
    ASSERT_EQ(Files().rows(), 3);
    EXPECT_EQ(Cell(Files(), 2, 0), "2");
    EXPECT_EQ(Cell(Files(), 2, 2), "其他新增材料2");
    EXPECT_EQ(Cell(Files(), 2, 3), U8(dir_ / "b.pdf"));
    EXPECT_EQ(Work("//attachment[3]//fileXh", 1), "2");
    EXPECT_EQ(Work("//attachment[3]//fileUrl", 1), U8(dir_ / "b.pdf"));
    EXPECT_EQ(Cell(Materials(), 3, 2), "1");
    EXPECT_EQ(Cell(Materials(), 3, 3), "2");
    ExpectInStep();

    for (int i = 0; i < 2; ++i) {
        Files().setRow(1);
        prompter_->answers.push_back(MsgAnswer::Yes);
        w.delBut_Click();
    }
    EXPECT_EQ(Files().rows(), 1);
    EXPECT_EQ(Work("//attachment[3]//file"), "<none>");
    EXPECT_EQ(Cell(Materials(), 3, 2), "0");
    for (int c = 1; c <= 3; ++c)
        EXPECT_FALSE(Materials().cellBackColor(3, c).isValid());
    ExpectInStep();
}

TEST_F(FrmFjglTest, EditingTitlesInPlace) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    // Not 其他材料: no editing.
    Files().setRow(1);
    Files().setCol(2);
    w.MedFlex2_DblClick();
    EXPECT_FALSE(w.Text1().visible());

    SelectMaterial(3);
    w.addBut_Click();
    w.addBut_Click();
    Files().setRow(2);
    Files().setCol(2);
    QTest::keyClick(&Files(), Qt::Key_Return);
    ASSERT_TRUE(w.Text1().visible());
    EXPECT_EQ(w.editRow(), 2);
    EXPECT_EQ(Files().col(), 0);
    EXPECT_EQ(w.Text1().text(), "其他新增材料2");
    const auto& grid = w.control("MedFlex2");
    EXPECT_EQ(w.Text1().left(), grid.left() + Files().colPos(2) + 50);
    EXPECT_EQ(w.Text1().top(), grid.top() + Files().rowPos(2) + 60);
    EXPECT_EQ(w.Text1().width(), 2100 - 60);
    EXPECT_EQ(w.Text1().height(), 300 - 70);

    auto* editor = w.Text1().as<QLineEdit>();
    editor->setText(" 合同/协议:2024 ");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_FALSE(w.Text1().visible());
    EXPECT_EQ(w.editRow(), -1);
    EXPECT_EQ(Cell(Files(), 2, 2), "合同╱协议：2024");
    EXPECT_EQ(Work("//attachment[3]//fileTitle", 1), "合同╱协议：2024");
    EXPECT_EQ(Work("//attachment[3]//fileName", 1), "合同╱协议：2024");
    EXPECT_EQ(Work("//attachment[3]//filems", 1), "合同╱协议：2024");

    // Escape writes nothing, and the focus leaving the hidden editor commits nothing.
    Files().setRow(1);
    Files().setCol(2);
    w.MedFlex2_DblClick();
    editor->setText("不要");
    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_FALSE(w.Text1().visible());
    EXPECT_EQ(Cell(Files(), 1, 2), "其他新增材料1");
    EXPECT_EQ(Work("//attachment[3]//fileTitle", 0), "其他新增材料1");

    // The editor's own context menu (paste, select all) is no end of the edit.
    Files().setCol(2);
    w.MedFlex2_DblClick();
    editor->setText("菜单");
    QContextMenuEvent menuEvent(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                editor->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(editor, &menuEvent);
    QWidget* menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    QFocusEvent toMenu(QEvent::FocusOut, Qt::PopupFocusReason);
    QApplication::sendEvent(editor, &toMenu); // what Qt sends as the menu opens
    EXPECT_TRUE(w.Text1().visible());
    EXPECT_EQ(w.editRow(), 1);
    EXPECT_EQ(Work("//attachment[3]//fileTitle", 0), "其他新增材料1");
    menu->close();
    editor->setText("菜单之后");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(Work("//attachment[3]//fileTitle", 0), "菜单之后");

    // Losing the focus commits; a title of spaces only is dropped.
    Files().setCol(2);
    w.MedFlex2_DblClick();
    editor->setText("说明");
    w.tips().widget()->setFocus();
    w.Text1_LostFocus();
    EXPECT_EQ(Work("//attachment[3]//fileTitle", 0), "说明");
    Files().setCol(2);
    w.MedFlex2_DblClick();
    editor->setText("   ");
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(Cell(Files(), 1, 2), "说明");
    EXPECT_EQ(Work("//attachment[3]//fileTitle", 0), "说明");
}

TEST_F(FrmFjglTest, MovingThroughTheMaterialsWithTheKeyboardSelectsThem) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    QTest::keyClick(&Materials(), Qt::Key_Down);
    EXPECT_EQ(Materials().row(), 2);
    EXPECT_EQ(Files().rows(), 3);
    EXPECT_EQ(Cell(Files(), 2, 2), "附表(二)");
    // The 说明 box follows the entries moved through with the keys as well.
    QTest::keyClick(&Files(), Qt::Key_Down);
    EXPECT_EQ(Files().row(), 2);
    EXPECT_EQ(w.tips().text(), "附表(二)说明");
    QTest::keyClick(&Files(), Qt::Key_Up);
    EXPECT_EQ(w.tips().text(), "单位情况简表(盖章)说明");
    QTest::keyClick(&Materials(), Qt::Key_Down);
    EXPECT_EQ(Files().rows(), 1);
    EXPECT_TRUE(w.addBut().enabled());
}

TEST_F(FrmFjglTest, TipsOfEntriesAndTheTemplateLink) {
    FrmFjgl& w = Open(Item(Manifest(
        "TEST", {{"营业执照", {{"执照", "/x/y.pdf"}}}, {"单位情况简表", {{"简表(一)", ""}}}})));
    EXPECT_FALSE(w.Label2().visible());
    Files().setRow(1);
    Files().setCol(3);
    w.MedFlex2_Click();
    EXPECT_EQ(Files().toolTip(), "/x/y.pdf");
    EXPECT_EQ(w.tips().text(), "执照说明");
    Files().setCol(0);
    w.MedFlex2_Click();
    EXPECT_EQ(Files().toolTip(), "");
}

TEST_F(FrmFjglTest, TemplateLinkSavesTheDocumentTemplateUnderTheMaterialName) {
    auto item = Item(Manifest("TEST", {{"营业执照", {{"执照", ""}}}, {"单位情况简表", {}}}));
    item.doc = testsupport::ToBytes("{\\rtf1 模板}");
    FrmFjgl& w = Open(item);
    EXPECT_FALSE(w.Label2().visible());
    // A requirements text that offers the template shows the link.
    platform::XmlDocument doc;
    ASSERT_TRUE(doc.load(WorkManifestPath));
    doc.documentElement().selectNodes(".//fjms")[1].setText("请点击下载模板填写");
    ASSERT_TRUE(doc.save(WorkManifestPath));
    SelectMaterial(2);
    EXPECT_TRUE(w.Label2().visible());
    const fs::path target = dir_ / "下载" / "简表.doc";
    fs::create_directories(target.parent_path());
    prompter_->saveAnswers.push_back(U8(target));
    w.Label2_Click();
    ASSERT_EQ(prompter_->saveRequests.size(), 1u);
    EXPECT_EQ(prompter_->saveRequests[0].proposedName, "单位情况简表.doc");
    // A material name never steers the proposal out of the chosen folder.
    Materials().setTextMatrix(2, 1, "../../简表");
    prompter_->saveAnswers.push_back(std::nullopt);
    w.Label2_Click();
    EXPECT_EQ(prompter_->saveRequests.back().proposedName, "..╱..╱简表.doc");
    EXPECT_EQ(ReadBytes(target), "{\\rtf1 模板}");
    EXPECT_EQ(prompter_->messages.back().text, "下载DOC模板文件成功...");
    SelectMaterial(1);
    EXPECT_FALSE(w.Label2().visible());
}

TEST_F(FrmFjglTest, SizeHintPanelAndButtons) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    EXPECT_FALSE(w.MsgPic().visible());
    w.Label3_Click(6);
    EXPECT_TRUE(w.MsgPic().visible());
    w.Label3_Click(6);
    EXPECT_FALSE(w.MsgPic().visible());
    w.Label3_Click(6);
    w.Label3_Click(2);
    EXPECT_FALSE(w.MsgPic().visible());
    w.Label3_Click(6);
    prompter_->folderAnswers.push_back(std::nullopt);
    w.Command1_Click();
    EXPECT_FALSE(w.MsgPic().visible());

    for (int i = 0; i < 5; ++i)
        EXPECT_TRUE(w.CmdSave(i).enabled()) << i;
    EXPECT_TRUE(w.browseBut().enabled());
    EXPECT_EQ(w.CmdSave(4).text(), "退 出");
}

TEST_F(FrmFjglTest, ChoosingAStorageFolderChangesOnlyTheShownFolder) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    prompter_->folderAnswers.push_back(U8(dir_ / "新目录"));
    w.Command1_Click();
    EXPECT_EQ(ShownFolder, U8(dir_ / "新目录"));
    EXPECT_EQ(w.Text2(0).text(), Q(U8(dir_ / "新目录")));
    EXPECT_EQ(StorageFolder, "");
}

TEST_F(FrmFjglTest, ClosingDeletesTheWorkingCopy) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    ASSERT_TRUE(fs::exists(program_ / "TempXml.XML"));
    w.show();
    w.CmdSave_Click(4);
    EXPECT_FALSE(w.isVisible());
    EXPECT_FALSE(fs::exists(program_ / "TempXml.XML"));
}

} // namespace

namespace {

TEST_F(FrmFjglTest, ClosingWhileEditingATitleReportsNothing) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    SelectMaterial(3);
    w.addBut_Click();
    Files().setRow(1);
    Files().setCol(2);
    w.MedFlex2_DblClick();
    ASSERT_TRUE(w.Text1().visible());
    w.Text1().as<QLineEdit>()->setText("章程");
    w.close(); // the window's close box: the working copy goes, the edit with it
    // Only the question before the added entry is thrown away (answered 是).
    ASSERT_EQ(prompter_->messages.size(), 1u);
    EXPECT_EQ(prompter_->messages[0].text, "申报材料已经改变，退出将不保存。确认吗？");
    EXPECT_FALSE(fs::exists(program_ / "TempXml.XML"));
}

TEST_F(FrmFjglTest, WithoutMaterialsTheEntryButtonsAreDisabled) {
    auto item = Item("");
    item.xml = nullptr;
    FrmFjgl& w = Open(item);
    EXPECT_FALSE(w.addBut().enabled());
    EXPECT_FALSE(w.delBut().enabled());
}

TEST_F(FrmFjglTest, OpeningAPackageWithoutMaterialsLeavesNoActionOnTheOldOne) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    SelectMaterial(3);
    ASSERT_TRUE(w.addBut().enabled());
    const fs::path empty = dir_ / "空包";
    WriteBytes(empty / "APLPKG.XML", Manifest("TEST", {}));
    prompter_->folderAnswers.push_back(U8(empty));
    w.CmdSave_Click(1);
    ASSERT_EQ(Materials().rows(), 1);
    EXPECT_FALSE(w.addBut().enabled());
    EXPECT_FALSE(w.delBut().enabled());
    // Even when called, nothing reaches the header row or the manifest.
    const std::string before = ReadBytes(WorkManifestPath);
    const auto reported = prompter_->messages.size();
    w.addBut_Click();
    prompter_->openAnswers.push_back(makeFile("c.pdf", 10));
    Files().setRow(1);
    Files().setCol(4);
    w.MedFlex2_Click();
    w.delBut_Click();
    EXPECT_EQ(Files().rows(), 1);
    EXPECT_EQ(Cell(Materials(), 0, 2), "报件数");
    EXPECT_EQ(Cell(Materials(), 0, 3), "文件(KB)");
    EXPECT_EQ(ReadBytes(WorkManifestPath), before);
    EXPECT_EQ(prompter_->messages.size(), reported);
}

} // namespace

// ---- keyboard, links and small screens ----

namespace {

using testsupport::PressOnFocus;
using testsupport::ShowActive;
using testsupport::TabCycle;

TEST_F(FrmFjglTest, TabVisitsEveryReachableControlAndLeavesTheGrids) {
    auto item = Item(Manifest("TEST", kNewLayout));
    FrmFjgl& w = Open(item);
    ASSERT_TRUE(ShowActive(w));
    const QStringList common = {"CmdSave_0", "CmdSave_1", "CmdSave_2", "CmdSave_3", "CmdSave_4"};
    // 营业执照: the entry buttons of 其他材料 are disabled, no template link.
    QStringList expected =
        QStringList{"MedFlex1", "MedFlex2", "browseBut", "CmdRemoveFJ", "CmdScan",
                    "tips",     "Text2_0",  "Command1",  "Label3_6"} +
        common;
    EXPECT_EQ(TabCycle(&Materials()), expected);
    QStringList backwards = expected;
    std::reverse(backwards.begin() + 1, backwards.end());
    EXPECT_EQ(TabCycle(&Materials(), true), backwards);

    // In the file grid the arrow keys reach ">>>", where Space or Enter chooses a file.
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_Return}) {
        Files().setFocus(Qt::TabFocusReason);
        for (int i = 0; i < 3; ++i) // over the hidden name column
            PressOnFocus(Qt::Key_Right);
        ASSERT_EQ(Files().col(), 4);
        PressOnFocus(key);
    }
    EXPECT_EQ(prompter_->openRequests.size(), 2u);

    // 其他材料 with a requirements text that offers the template, and a
    // package that can go to a disc: every button, left to right, and the link.
    platform::XmlDocument doc;
    ASSERT_TRUE(doc.load(WorkManifestPath));
    doc.documentElement().selectNodes(".//fjms")[2].setText("点击下载模板");
    ASSERT_TRUE(doc.save(WorkManifestPath));
    SelectMaterial(3);
    w.control("CmdDisc").setEnabled(true);
    expected =
        QStringList{"MedFlex1",    "MedFlex2", "browseBut", "CmdDisc", "addBut",   "delBut",
                    "CmdRemoveFJ", "tips",     "Label2",    "Text2_0", "Command1", "Label3_6"} +
        common;
    EXPECT_EQ(TabCycle(&Materials()), expected);

    // Ctrl+Tab leaves a grid too; the arrow keys stay inside it.
    Files().setFocus();
    EXPECT_EQ(PressOnFocus(Qt::Key_Tab, Qt::ControlModifier)->objectName(), "browseBut");
    Materials().setFocus();
    EXPECT_EQ(PressOnFocus(Qt::Key_Up), &Materials());
    EXPECT_EQ(Materials().row(), 2);
}

// Right after a material is chosen its first entry is current, so that the
// entry buttons act on it; Enter presses a button, Enter or Space opens a link.
TEST_F(FrmFjglTest, EntryButtonsAndLinksFromTheKeyboard) {
    auto item = Item(Manifest("TEST", kNewLayout));
    item.doc = testsupport::ToBytes("{\\rtf1}");
    FrmFjgl& w = Open(item);
    ASSERT_TRUE(ShowActive(w));
    w.CmdRemoveFJ().widget()->setFocus();
    PressOnFocus(Qt::Key_Return);
    PressOnFocus(Qt::Key_Return, Qt::ShiftModifier); // not an Enter of its own
    Materials().setFocus();
    PressOnFocus(Qt::Key_Down);
    w.CmdRemoveFJ().widget()->setFocus();
    PressOnFocus(Qt::Key_Enter, Qt::KeypadModifier);
    ASSERT_EQ(prompter_->messages.size(), 2u);
    EXPECT_EQ(prompter_->messages[0].text, "[营业执照(副本)]尚未链接附件，请重新选择...");
    EXPECT_EQ(prompter_->messages[1].text, "[单位情况简表(盖章)]尚未链接附件，请重新选择...");

    platform::XmlDocument doc;
    ASSERT_TRUE(doc.load(WorkManifestPath));
    doc.documentElement().selectNodes(".//fjms")[0].setText("请点击下载模板");
    ASSERT_TRUE(doc.save(WorkManifestPath));
    SelectMaterial(1);
    w.Label2().widget()->setFocus(Qt::TabFocusReason);
    PressOnFocus(Qt::Key_Return);
    PressOnFocus(Qt::Key_Space);
    EXPECT_EQ(prompter_->saveRequests.size(), 2u);
}

TEST_F(FrmFjglTest, SizeHintsToggleWithRealClicksAndKeys) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    ASSERT_TRUE(ShowActive(w));
    QWidget* link = w.Label3(6).widget();
    // Mouse: the click that shows the panel leaves it shown; the next hides it.
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    EXPECT_TRUE(w.MsgPic().visible());
    EXPECT_TRUE(w.MsgPic().widget()->hasFocus());
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    EXPECT_FALSE(w.MsgPic().visible());
    // A click elsewhere puts it away: another size label, the panel itself, a grid.
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    QTest::mouseClick(w.Label3(2).widget(), Qt::LeftButton);
    EXPECT_FALSE(w.MsgPic().visible());
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    QTest::mouseClick(w.MsgPic().widget(), Qt::LeftButton);
    EXPECT_FALSE(w.MsgPic().visible());
    QTest::mouseClick(link, Qt::LeftButton, {}, link->rect().center());
    ClickFileCell(1, 2);
    EXPECT_FALSE(w.MsgPic().visible());

    // Keyboard: Enter or Space on the link shows it, Enter, Space or Esc puts it away.
    for (Qt::Key close : {Qt::Key_Return, Qt::Key_Space, Qt::Key_Escape}) {
        link->setFocus(Qt::TabFocusReason);
        PressOnFocus(close == Qt::Key_Space ? Qt::Key_Return : Qt::Key_Space);
        EXPECT_TRUE(w.MsgPic().visible());
        EXPECT_EQ(PressOnFocus(close), link);
        EXPECT_FALSE(w.MsgPic().visible());
    }
    EXPECT_TRUE(w.isVisible()); // Esc does not close the materials window
}

// Deleting renumbers the entries below; a title the applicant typed stays in
// the grid, in the working copy and after listing the material again.
TEST_F(FrmFjglTest, DeletingKeepsTheTitlesTheApplicantTyped) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    ASSERT_TRUE(ShowActive(w));
    SelectMaterial(3);
    for (int i = 0; i < 4; ++i)
        w.addBut_Click();
    EXPECT_EQ(Files().row(), 4); // an added entry is the current one
    for (const auto& [row, title] : {std::pair{2, "章程"}, std::pair{4, "合同"}}) {
        Files().setRow(row);
        Files().setCol(2);
        w.MedFlex2_DblClick();
        w.Text1().as<QLineEdit>()->setText(QString::fromUtf8(title));
        QTest::keyClick(w.Text1().widget(), Qt::Key_Return);
    }
    Files().setRow(1);
    prompter_->answers.push_back(MsgAnswer::Yes);
    w.delBut_Click();
    const auto titles = [&] {
        std::string shown;
        for (int r = 1; r < Files().rows(); ++r)
            shown += Cell(Files(), r, 0) + ":" + Cell(Files(), r, 2) + ";";
        return shown;
    };
    const std::string expected = "1:章程;2:其他新增材料2;3:合同;";
    EXPECT_EQ(titles(), expected);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(
            Work("//attachment[3]//fileTitle", i) + "|" + Work("//attachment[3]//fileName", i),
            std::vector<std::string>({"章程|章程", "其他新增材料2|其他新增材料2", "合同|合同"})[i]);
    SelectMaterial(3);
    EXPECT_EQ(titles(), expected);
}

TEST_F(FrmFjglTest, FileDialogOpensWhereTheLastLinkedFileLay) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    std::string memory;
    w.setLinkFolderMemory(&memory);
    const auto choose = [&](std::optional<std::string> answer) {
        prompter_->openAnswers.push_back(std::move(answer));
        Files().setRow(1);
        Files().setCol(4);
        window_->MedFlex2_Click();
        return prompter_->openRequests.back().initialDir;
    };
    EXPECT_EQ(choose(std::nullopt), U8(program_)); // nothing linked yet: the program folder
    EXPECT_EQ(choose(makeFile("扫描/一/a.pdf", 10)), U8(program_));
    EXPECT_EQ(choose(std::nullopt), U8(dir_ / "扫描" / "一"));
    EXPECT_EQ(choose(makeFile("b.pdf", 10)), U8(dir_ / "扫描" / "一"));
    EXPECT_EQ(memory, U8(dir_));

    // The next materials window of the same run starts there as well.
    window_ = std::make_unique<FrmFjgl>(app::ui::MaterialsWindowParts());
    window_->setLinkFolderMemory(&memory);
    window_->Form_Load();
    EXPECT_EQ(choose(std::nullopt), U8(dir_));
}

// On 1366 x 768 at 125 % (about 1093 x 600 free) the window scrolls and keeps
// its designed layout; whatever takes the focus is scrolled into view.
TEST_F(FrmFjglTest, ScrollsOnASmallScreenKeepingItsDesignedLayout) {
    FrmFjgl& w = Open(Item(Manifest("TEST", kNewLayout)));
    const QSize small(1093, 600);
    w.fitToArea(small);
    ASSERT_NE(w.fitScroll(), nullptr);
    EXPECT_LE(w.height() + FrmFjgl::FrameAllowance().height(), small.height());
    EXPECT_EQ(std::pair(w.scaleWidth(), w.scaleHeight()), std::pair(12720, 10020));
    w.fitToArea(QSize(1920, 1040)); // large enough: whole again
    EXPECT_EQ(w.fitScroll(), nullptr);

    ASSERT_TRUE(ShowActive(w));
    w.fitToArea(small);
    QScrollBar* bar = w.fitScroll()->verticalScrollBar();
    w.CmdSave(0).widget()->setFocus(Qt::TabFocusReason);
    bar->setValue(bar->maximum()); // the instructions at the bottom
    Materials().setFocus(Qt::TabFocusReason);
    EXPECT_GE(Materials().mapTo(w.fitScroll()->viewport(), QPoint(0, 0)).y(), 0);
}

} // namespace

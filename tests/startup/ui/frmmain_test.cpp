#include "startup/mainbas.h"
#include "startup/ui/frmmain.h"

#include "support/fake_prompter.h"
#include "support/keyboard.h"

#include <QAction>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

using startup::ui::FrmMain;

namespace {

ApplicationItem Item(int seq, int group, const std::string& subName = "") {
    ApplicationItem item;
    item.序号 = static_cast<std::int16_t>(seq);
    item.子项序号 = static_cast<std::int16_t>(group);
    item.子项名称 = subName;
    item.申请事项名称 = "事项" + std::to_string(seq);
    item.申请事项简称 = "简称" + std::to_string(seq);
    return item;
}

class FrmMainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetGlobals();
        CategoryTitle = "地质灾害危险性评估资质审批";
        CategoryShortName = "甲类";
    }
    void TearDown() override { ResetGlobals(); }

    // Items 0..count-1 of group 0 unless listed in `groups` (index → group).
    void Catalogue(int count, int subCount = 1,
                   const std::vector<std::pair<int, int>>& groups = {}) {
        ItemCount = static_cast<std::int16_t>(count);
        SubItemCount = static_cast<std::int16_t>(subCount);
        ItemTable.clear();
        for (int i = 0; i < count * subCount; ++i)
            ItemTable.push_back(Item(i + 1, 0, "子项" + std::to_string(i)));
        for (auto [index, group] : groups)
            ItemTable[static_cast<std::size_t>(index)].子项序号 = static_cast<std::int16_t>(group);
    }

    std::unique_ptr<FrmMain> Window() {
        auto window = std::make_unique<FrmMain>([this](QWidget*) {
            ++materialsOpened;
            shownItem = SelectedItem;
        });
        window->setMenuPopup([this](QMenu& menu, const QPoint& at) -> QAction* {
            menuAt = at;
            shownEntries.clear();
            for (QAction* entry : menu.actions())
                if (entry->isVisible())
                    shownEntries.push_back(entry->text().toStdString() + "|" +
                                           entry->data().toString().toStdString());
            return chooseEntry < 0 ? nullptr : menu.actions().at(chooseEntry);
        });
        return window;
    }

    int materialsOpened = 0;
    int shownItem = -1;
    int chooseEntry = -1;
    QPoint menuAt;
    std::vector<std::string> shownEntries;
};

TEST_F(FrmMainTest, FourItemsShowFourButtonsWithTheirShortNames) {
    Catalogue(4);
    auto window = Window();
    for (int i = 0; i < 9; ++i) {
        const auto& button = window->control("Command1", i);
        EXPECT_EQ(button.visible(), i < 4) << i;
        if (i < 4) {
            EXPECT_EQ(button.text().toStdString(), "简称" + std::to_string(i + 1));
            EXPECT_EQ(button.tag(), "0");
        }
    }
}

TEST_F(FrmMainTest, TwelveItemsShowTheFirstNine) {
    Catalogue(12);
    auto window = Window();
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(window->control("Command1", i).text().toStdString(),
                  "简称" + std::to_string(i + 1));
}

TEST_F(FrmMainTest, ButtonsFormAThreeByThreeGridInTwips) {
    Catalogue(9);
    auto window = Window();
    const auto& button = window->control("Command1", 5); // row 1, column 2
    EXPECT_EQ(button.left(), 4110);
    EXPECT_EQ(button.top(), 540);
    EXPECT_EQ(button.width(), 1605);
    EXPECT_EQ(button.height(), 405);
    EXPECT_EQ(button.container(), window->find("Picture1", 1));
    EXPECT_EQ(window->scaleWidth(), 6660);
    EXPECT_EQ(window->scaleHeight(), 4020);
    EXPECT_EQ(window->control("Command2").text(), "退  出");
}

TEST_F(FrmMainTest, TitleAndInstructionText) {
    Catalogue(1);
    auto window = Window();
    EXPECT_EQ(window->control("Label1", 0).text(), "地质灾害危险性评估资质审批");
    EXPECT_EQ(window->control("Label1", 1).text(), "地质灾害危险性评估资质审批");
    EXPECT_EQ(window->control("Label1", 1).font().name, "楷体_GB2312");
    EXPECT_EQ(window->control("Label1", 1).font().size, 14);
    EXPECT_TRUE(window->control("Label1", 1).font().bold);
    EXPECT_EQ(window->control("Label1", 1).foreColor(), QColor(128, 0, 0));
    const QString text = window->control("Label2", 1).text();
    EXPECT_TRUE(text.startsWith("本工具软件用于申报【甲类】电子资料。\n    步骤1："))
        << text.toStdString();
    EXPECT_FALSE(text.contains("【名称】"));
}

TEST_F(FrmMainTest, ShortNameThatIsTheMarkerItselfEndsAndIsInsertedOnce) {
    CategoryShortName = "名称";
    Catalogue(1);
    auto window = Window();
    EXPECT_TRUE(
        window->control("Label2", 1).text().startsWith("本工具软件用于申报【名称】电子资料。"));
}

TEST_F(FrmMainTest, AButtonWithoutSubItemsOpensTheMaterialsWindow) {
    Catalogue(3);
    SubItemName = "旧的";
    auto window = Window();
    window->show();
    QTest::mouseClick(window->control("Command1", 2).widget(), Qt::LeftButton);
    EXPECT_EQ(materialsOpened, 1);
    EXPECT_EQ(SelectedItem, 2);
    EXPECT_EQ(shownItem, 2);
    EXPECT_EQ(SubItemName, "");
    EXPECT_EQ(ReloadPending, -1);
}

TEST_F(FrmMainTest, ASubItemGroupPopsUpItsRowsInOrder) {
    Catalogue(4, 2, {{1, 2}, {5, 2}, {7, 2}});
    auto window = Window();
    chooseEntry = 1;
    window->Command1_Click(1);
    EXPECT_EQ(shownEntries, (std::vector<std::string>{"子项1|1", "子项5|5", "子项7|7"}));
    for (int k = 3; k < 8; ++k)
        EXPECT_FALSE(window->MENU_SUB(k).isVisible()) << k;
    EXPECT_EQ(SelectedItem, 5);
    EXPECT_EQ(SubItemName, "子项5");
    EXPECT_EQ(ReloadPending, -1);
    EXPECT_EQ(materialsOpened, 1);
    EXPECT_EQ(shownItem, 5);
}

TEST_F(FrmMainTest, DismissingTheMenuKeepsTheButtonIndex) {
    Catalogue(4, 2, {{1, 2}, {5, 2}});
    auto window = Window();
    window->Command1_Click(1);
    EXPECT_EQ(SelectedItem, 1);
    EXPECT_EQ(materialsOpened, 0);
    EXPECT_EQ(ReloadPending, 0);
}

TEST_F(FrmMainTest, ASmallerGroupHidesTheEntriesOfALargerOne) {
    Catalogue(4, 2, {{0, 1}, {1, 1}, {2, 1}, {4, 1}, {5, 1}, {6, 1}, {3, 3}, {7, 3}});
    auto window = Window();
    window->Command1_Click(0);
    EXPECT_EQ(shownEntries.size(), 6u);
    window->Command1_Click(3);
    EXPECT_EQ(shownEntries, (std::vector<std::string>{"子项3|3", "子项7|7"}));
    for (int k = 2; k < 8; ++k)
        EXPECT_FALSE(window->MENU_SUB(k).isVisible()) << k;
}

TEST_F(FrmMainTest, AGroupOfMoreThanEightRowsShowsTheFirstEight) {
    Catalogue(2, 6);
    for (auto& item : ItemTable)
        item.子项序号 = 4;
    auto window = Window();
    chooseEntry = 7;
    window->Command1_Click(0);
    ASSERT_EQ(shownEntries.size(), 8u);
    EXPECT_EQ(shownEntries.back(), "子项7|7");
    EXPECT_EQ(SelectedItem, 7);
}

TEST_F(FrmMainTest, HelpLinkOpensOneHelpWindow) {
    Catalogue(1);
    auto window = Window();
    window->show();
    QTest::mouseClick(window->control("Label4").widget(), Qt::LeftButton);
    ASSERT_NE(window->helpWindow(), nullptr);
    auto* first = window->helpWindow();
    EXPECT_TRUE(first->isVisible());
    window->Label4_Click();
    EXPECT_EQ(window->helpWindow(), first);
    // A window of its own (an owned dialog would stay on top of the main
    // window), yet it goes with the main window.
    EXPECT_EQ(first->parentWidget(), nullptr);
    EXPECT_TRUE(first->isWindow());
    QPointer<QWidget> help = first;
    window.reset();
    EXPECT_TRUE(help.isNull());
}

TEST_F(FrmMainTest, ControlsStandWhereTheLayoutPutsThem) {
    Catalogue(9);
    auto window = Window();
    auto rectOf = [&](const char* name, int index = -1) {
        const auto& c = window->control(name, index);
        return std::vector<int>{c.left(), c.top(), c.width(), c.height()};
    };
    EXPECT_EQ(rectOf("Picture1", 0), (std::vector<int>{-60, 0, 8625, 585}));
    EXPECT_EQ(rectOf("Picture1", 1), (std::vector<int>{270, 1590, 6030, 1485}));
    EXPECT_EQ(rectOf("Label2", 1), (std::vector<int>{300, 750, 5895, 585}));
    EXPECT_EQ(rectOf("Command2"), (std::vector<int>{5430, 3480, 915, 315}));
    EXPECT_EQ(rectOf("Command1", 0), (std::vector<int>{270, 60, 1605, 405}));
    EXPECT_EQ(rectOf("Command1", 7), (std::vector<int>{2190, 1020, 1605, 405}));

    const auto& title = window->control("Label1", 1);
    const auto& shadow = window->control("Label1", 0);
    EXPECT_EQ(std::make_pair(title.left(), title.top()), std::make_pair(300, 120));
    EXPECT_EQ(std::make_pair(shadow.left(), shadow.top()), std::make_pair(330, 150));
    EXPECT_EQ(shadow.foreColor(), QColor(235, 235, 235));
    EXPECT_EQ(shadow.font().name, "楷体_GB2312");
    EXPECT_TRUE(shadow.font().bold);
    EXPECT_EQ(title.container(), window->find("Picture1", 0));
    // The red title lies over its grey shadow.
    const auto inBanner = window->controlsOf(window->find("Picture1", 0));
    EXPECT_LT(std::find(inBanner.begin(), inBanner.end(), &shadow),
              std::find(inBanner.begin(), inBanner.end(), &title));

    const auto& link = window->control("Label4");
    EXPECT_EQ(link.text(), "使用说明");
    EXPECT_EQ(std::make_pair(link.left(), link.top()), std::make_pair(5670, 780));
    EXPECT_EQ(link.foreColor(), QColor(255, 0, 0));
    EXPECT_EQ(link.font().name, "宋体");
    EXPECT_EQ(link.font().size, 9);
    EXPECT_EQ(window->SUB_MENU().title(), "子项菜单");
}

TEST_F(FrmMainTest, ExitDeletesTheWorkingManifestAndClosesTheConnection) {
    Catalogue(1);
    QTemporaryDir temp;
    const std::string manifest = temp.filePath("TempXml.XML").toStdString();
    std::ofstream(manifest) << "<x/>";
    WorkManifestPath = manifest;
    TemplateConnection = std::make_unique<platform::db::Connection>();
    auto window = Window();
    window->show();
    QTest::mouseClick(window->control("Label4").widget(), Qt::LeftButton);
    QPointer<QWidget> help = window->helpWindow();
    QSignalSpy unloaded(window.get(), &FrmMain::unloaded);
    QTest::mouseClick(window->control("Command2").widget(), Qt::LeftButton);
    EXPECT_EQ(unloaded.count(), 1);
    EXPECT_FALSE(std::filesystem::exists(manifest));
    EXPECT_EQ(TemplateConnection, nullptr);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(help.isNull() || !help->isVisible());
}

TEST_F(FrmMainTest, ClosingWithoutAManifestStillClosesTheConnection) {
    Catalogue(1);
    TemplateConnection = std::make_unique<platform::db::Connection>();
    auto window = Window();
    window->close();
    EXPECT_EQ(TemplateConnection, nullptr);
}

TEST_F(FrmMainTest, GradientsRunFromTheirStartToTheirEndColours) {
    Catalogue(1);
    auto window = Window();
    const QImage image = window->grab().toImage();
    EXPECT_EQ(image.pixelColor(443, 220), QColor(220, 220, 255)); // right edge of the form
    EXPECT_EQ(image.pixelColor(1, 220), QColor(250, 250, 250));
    // The button grid, top to bottom in 20-twip bands: its last pixel row
    // (1470 twips) lies in band 74, 74/79 of the way to (200, 200, 240).
    QWidget* grid = window->control("Picture1", 1).widget();
    const QImage gridImage = grid->grab().toImage();
    EXPECT_EQ(gridImage.pixelColor(2, gridImage.height() - 1), QColor(203, 203, 241));
    EXPECT_EQ(gridImage.pixelColor(2, 0), QColor(249, 249, 250));
}

TEST_F(FrmMainTest, WorksFromTheKeyboard) {
    Catalogue(4, 2, {{1, 2}, {5, 2}});
    auto window = Window();
    ASSERT_TRUE(testsupport::ShowActive(*window));
    // The keyboard starts on the first item; Tab reaches every visible button and the link.
    QWidget* first = window->control("Command1", 0).widget();
    EXPECT_EQ(QApplication::focusWidget(), first);
    EXPECT_EQ(testsupport::TabCycle(first), (QStringList{"Command1_0", "Command1_1", "Command1_2",
                                                         "Command1_3", "Command2", "Label4"}));

    // Enter on an item button chooses it.
    first->setFocus(Qt::TabFocusReason);
    testsupport::PressOnFocus(Qt::Key_Return);
    EXPECT_EQ(materialsOpened, 1);
    EXPECT_EQ(shownItem, 0);
    // With the pointer elsewhere, the sub-item menu opens under the button.
    QWidget* grouped = window->control("Command1", 1).widget();
    QCursor::setPos(window->mapToGlobal(QPoint(window->width() - 2, window->height() - 2)));
    grouped->setFocus(Qt::TabFocusReason);
    testsupport::PressOnFocus(Qt::Key_Return);
    EXPECT_EQ(shownEntries.size(), 2u);
    EXPECT_EQ(menuAt, grouped->mapToGlobal(QPoint(0, grouped->height())));

    // The help link opens with Enter and with Space; Esc leaves the main window open.
    window->control("Label4").widget()->setFocus(Qt::TabFocusReason);
    testsupport::PressOnFocus(Qt::Key_Space);
    ASSERT_NE(window->helpWindow(), nullptr);
    window->helpWindow()->close();
    QApplication::setActiveWindow(window.get());
    window->control("Label4").widget()->setFocus(Qt::TabFocusReason);
    testsupport::PressOnFocus(Qt::Key_Escape);
    EXPECT_TRUE(window->isVisible());
    testsupport::PressOnFocus(Qt::Key_Return);
    EXPECT_TRUE(window->helpWindow()->isVisible());
}

} // namespace

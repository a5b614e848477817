// The materials list window: its layout in twips, the header and rows it
// loads, the pages of a long list, the printer set-up through the prompter
// and printing every page on the window's one printer.

#include "printing/print_action.h"
#include "printing/ui/Fj_List.h"

#include "platform/gbk.h"
#include "platform/utf8.h"
#include "printing/materials_list.h"
#include "printing/recording_printer.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "support/fixture_db.h"
#include "support/keyboard.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <gtest/gtest.h>

using printing::RecordingPrinter;
using printing::ui::Fj_List;
using twip::ui::TwipRect;

namespace {

std::string Entry(int number, const std::string& title, const std::string& link) {
    return "<file><fileXh>" + std::to_string(number) + "</fileXh><fileName>" + title +
           "</fileName><fileTitle>" + title + "</fileTitle><fileUrl>" + link +
           "</fileUrl><filems/></file>";
}

// One material holding `linked` linked entries "报件1".. with an unlinked one
// after the first, and one material counted 0 whose link must not show.
std::string Manifest(int linked) {
    std::string entries;
    for (int i = 1; i <= linked; ++i) {
        entries += Entry(i, "报件" + std::to_string(i), "C:\\材料\\" + std::to_string(i) + ".pdf");
        if (i == 1)
            entries += Entry(99, "未选文件", "");
    }
    const std::string xml =
        "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<offer bbh=\"1\" bpbs=\"TEST\"><attachments>"
        "<attachment fjid=\"1\"><fjmc>其他材料</fjmc><dzjs>" +
        std::to_string(linked) + "</dzjs><fileList>" + entries +
        "</fileList></attachment><attachment fjid=\"2\"><fjmc>旧材料</fjmc><dzjs>0</dzjs>"
        "<fileList>" +
        Entry(1, "不列出", "C:\\x.doc") + "</fileList></attachment></attachments></offer>\n";
    return platform::Utf8ToGbkLossless(xml);
}

bool Same(const TwipRect& a, const TwipRect& b) {
    return a.left == b.left && a.top == b.top && a.width == b.width && a.height == b.height;
}

class FjListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db = std::make_unique<testsupport::FixtureDb>(dir.File("系统模板.mdb"));
        db->AddParameters();
        db->AddItem({.name = "地质灾害危险性评估资质申请",
                     .extra = {{"行政审批项目名称", "某某项目"},
                               {"单位个人", 1},
                               {"单位名称", "某某勘查院"},
                               {"个人姓名", "李四"}}});
        db->AddField({.order = 1, .name = "资料填报时间", .kind = 2, .value = "2008-5-1"});
        db->Close();
        StartupHooks hooks;
        hooks.countPrinters = [] { return 1; };
        ASSERT_TRUE(Main(dir.path(), hooks));
        SelectedItem = 0;
        WorkManifestPath = platform::PathToUtf8(dir.File("TempXml.XML"));
    }
    void TearDown() override {
        window.reset();
        ResetGlobals();
    }

    Fj_List& Open(int linked) {
        testsupport::WriteFile(dir.File("TempXml.XML"), Manifest(linked));
        window = std::make_unique<Fj_List>();
        auto owned = std::make_unique<RecordingPrinter>();
        printer = owned.get();
        window->usePrinter(std::move(owned));
        window->Form_Load();
        return *window;
    }
    std::vector<std::string> Rows() const {
        std::vector<std::string> rows;
        for (int i = 0; i < printing::kListRowsPerPage; ++i)
            if (!window->XHLab(i).text().isEmpty() || !window->FJLab(i).text().isEmpty())
                rows.push_back(window->XHLab(i).text().toStdString() + " " +
                               window->FJLab(i).text().toStdString());
        return rows;
    }
    // Texts printed on one page of the job.
    std::vector<std::string> Printed(int page) const {
        std::vector<std::string> texts;
        for (const auto& t : printer->visibleTexts())
            if (t.page == page)
                texts.push_back(t.text);
        return texts;
    }
    static bool Has(const std::vector<std::string>& texts, const std::string& text) {
        return std::find(texts.begin(), texts.end(), text) != texts.end();
    }

    testsupport::ScopedFakePrompter prompter;
    testsupport::TempDir dir;
    std::unique_ptr<testsupport::FixtureDb> db;
    std::unique_ptr<Fj_List> window;
    RecordingPrinter* printer = nullptr;
};

} // namespace

TEST_F(FjListTest, ControlsStandWhereTheLayoutPutsThem) {
    Fj_List& list = Open(0);
    EXPECT_EQ(list.caption(), "申请材料清单");
    EXPECT_EQ(list.scaleWidth(), 8265);
    EXPECT_EQ(list.scaleHeight(), 10650);
    struct Place {
        const char* name;
        int index;
        TwipRect rect;
        bool inPicture = true;
    };
    const Place places[] = {
        {"Label2", -1, {60, 60, 8085, 375}},
        {"Label1", 3, {210, 660, 1515, 195}},
        {"T1LAB", 0, {1770, 630, 6135, 270}},
        {"Label1", 7, {210, 990, 1515, 195}},
        {"T1LAB", 1, {1770, 960, 6135, 270}},
        {"Label1", 9, {210, 1320, 1515, 195}},
        {"T1LAB", 2, {1770, 1290, 6135, 270}},
        {"Label1", 33, {210, 1650, 1485, 195}},
        {"T1LAB", 3, {1770, 1620, 6135, 270}},
        {"Label1", 28, {210, 2040, 1035, 195}},
        {"Label1", 27, {1200, 2040, 6435, 195}},
        {"XHLab", 0, {210, 2370, 1005, 210}},
        {"FJLab", 0, {1290, 2370, 6615, 210}},
        {"XHLab", 19, {210, 7500, 1005, 210}},
        {"XHLab", 20, {210, 7740, 1005, 210}},
        {"FJLab", 27, {1290, 9630, 6615, 210}},
        {"Shape1", 0, {210, 1950, 7770, 7905}},
        {"Pic2", 1, {30, 30, 8205, 10035}, false},
        {"Command1", 2, {150, 10200, 1035, 315}, false},
        {"Command1", 0, {5340, 10200, 1050, 315}, false},
        {"Command1", 1, {6840, 10200, 990, 315}, false},
    };
    for (const Place& p : places) {
        const auto& c = list.control(p.name, p.index);
        EXPECT_TRUE(Same(c.rect(), p.rect))
            << p.name << "(" << p.index << ") at " << c.left() << "," << c.top() << " " << c.width()
            << "x" << c.height();
        EXPECT_EQ(c.container() == &list.Pic2(), p.inPicture) << p.name << "(" << p.index << ")";
    }
    EXPECT_EQ(list.control("Line2", 13).line().x1, 1230);
    EXPECT_EQ(list.control("Line2", 13).line().y2, 9840);
    EXPECT_EQ(list.control("Line1", 3).line().y1, 1860);
    EXPECT_EQ(list.control("Line3", 0).line().y1, 2310);
    EXPECT_EQ(list.control("Line3", 20).line().y1, 7710); // under row 19
    EXPECT_EQ(list.control("Line3", 21).line().y1, 7950); // under row 20
    EXPECT_EQ(list.control("Line3", 27).line().y1, 9570);
    EXPECT_EQ(list.control("Line3", 27).line().x2, 7980);
    EXPECT_EQ(list.arrayIndexes("XHLab").size(), 28u);
    EXPECT_EQ(list.T1LAB(3).tag(), "D");
    EXPECT_EQ(list.Command1(2).text(), "设 置...");
    EXPECT_EQ(list.Command1(0).text(), "打 印");
    EXPECT_EQ(list.Command1(1).text(), "退 出");
}

TEST_F(FjListTest, LoadsTheHeaderAndNumbersOnlyLinkedFiles) {
    Fj_List& list = Open(3);
    EXPECT_EQ(list.T1LAB(0).text(), "某某项目");
    EXPECT_EQ(list.T1LAB(1).text(), "某某勘查院");
    EXPECT_EQ(list.T1LAB(2).text(), "地质灾害危险性评估资质申请");
    EXPECT_EQ(list.T1LAB(3).text(), "2008-5-1"); // shown as stored
    EXPECT_EQ(Rows(), (std::vector<std::string>{"1 报件1", "2 报件2", "3 报件3"}));
    EXPECT_EQ(list.pageCount(), 1);
    EXPECT_FALSE(list.PageBut(0).visible());
    EXPECT_FALSE(list.PageBut(1).visible());
    EXPECT_TRUE(list.PageLab().text().isEmpty());
    EXPECT_TRUE(prompter->messages.empty());
}

TEST_F(FjListTest, MissingWorkingCopyIsReportedAndTheTableStaysEmpty) {
    window = std::make_unique<Fj_List>();
    window->Form_Load();
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "XML文件不存在-" + WorkManifestPath);
    EXPECT_EQ(prompter->messages[0].title, "提示");
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(window->T1LAB(1).text(), "某某勘查院");
}

TEST_F(FjListTest, ALongListRunsOverPagesWithNumberingContinued) {
    struct Case {
        int linked;
        int pages;
        std::vector<std::string> lastPage;
    };
    const Case cases[] = {
        {28, 1, {}},
        {30, 2, {"29 报件29", "30 报件30"}},
        {57, 3, {"57 报件57"}},
    };
    for (const Case& c : cases) {
        Fj_List& list = Open(c.linked);
        ASSERT_EQ(list.pageCount(), c.pages) << c.linked;
        EXPECT_EQ(Rows().size(), 28u);
        EXPECT_EQ(Rows().back(), "28 报件28");
        if (c.pages == 1) {
            EXPECT_FALSE(list.PageBut(1).visible());
            continue;
        }
        EXPECT_TRUE(list.PageBut(1).visible());
        EXPECT_FALSE(list.PageBut(0).enabled());
        EXPECT_EQ(list.PageLab().text(), QString("第 1 页，共 %1 页").arg(c.pages));
        for (int page = 1; page < c.pages; ++page)
            list.PageBut_Click(1);
        EXPECT_EQ(list.shownPage(), c.pages - 1);
        EXPECT_EQ(Rows(), c.lastPage);
        EXPECT_FALSE(list.PageBut(1).enabled());
        EXPECT_TRUE(list.PageBut(0).enabled());
        EXPECT_EQ(list.T1LAB(0).text(), "某某项目"); // the same header on every page
        list.PageBut_Click(1);                       // past the end: stays
        EXPECT_EQ(list.shownPage(), c.pages - 1);
        QKeyEvent pageUp(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
        QApplication::sendEvent(&list, &pageUp);
        EXPECT_EQ(list.shownPage(), c.pages - 2);
    }
}

TEST_F(FjListTest, PrintingPutsEveryPageIntoOneJobWithTheHeaderRepeated) {
    Fj_List& list = Open(30);
    list.PageBut_Click(1);
    list.Command1_Click(0);
    EXPECT_TRUE(prompter->messages.empty());
    EXPECT_EQ(printer->jobsEnded, 1);
    EXPECT_EQ(printer->pagesStarted, 0); // reset by the end of the job
    const auto first = Printed(0), second = Printed(1);
    for (const auto* page : {&first, &second}) {
        EXPECT_TRUE(Has(*page, "某某项目"));
        EXPECT_TRUE(Has(*page, "2008年5月1日"));
        EXPECT_TRUE(Has(*page, "申报材料名称(标题)"));
    }
    EXPECT_TRUE(Has(first, "28") && Has(first, "报件28"));
    EXPECT_FALSE(Has(first, "29"));
    EXPECT_TRUE(Has(second, "29") && Has(second, "报件30"));
    EXPECT_FALSE(Has(second, "报件1"));
    EXPECT_TRUE(Printed(2).empty());
    // Row 29 stands where row 1 stands, at the list's vertical scale of 1.45.
    EXPECT_NEAR(printer->find("29").y, printer->find("1").y, 1e-9);
    EXPECT_NEAR(printer->find("报件1").x, 1.2 * 1290 + 1000 + 20, 1);
    int rulesPerPage[2] = {0, 0};
    for (const auto& line : printer->lines)
        ++rulesPerPage[line.page];
    EXPECT_EQ(rulesPerPage[0], rulesPerPage[1]);
    EXPECT_EQ(rulesPerPage[0], 4 + 4 + 1 + 28); // underlines, frame, divider, separators
    // The window shows the page it showed before printing.
    EXPECT_EQ(list.shownPage(), 1);
    EXPECT_EQ(Rows().front(), "29 报件29");
}

TEST_F(FjListTest, SetUpGoesThroughThePrompterAndPrintingUsesWhatWasSetUp) {
    Fj_List& list = Open(2);
    twip::Printer* asked = nullptr;
    prompter->printerSetupChoice = [&](twip::Printer& chosen) {
        asked = &chosen;
        // The user picks landscape on a printer that then keeps it.
        auto& recording = dynamic_cast<RecordingPrinter&>(chosen);
        recording.forcePage(twip::PaperA4, twip::OrientationLandscape);
        recording.locked = true;
    };
    list.Command1_Click(2); // cancelled: nothing said, nothing changed
    EXPECT_EQ(prompter->printerSetupRequests, 1);
    EXPECT_TRUE(prompter->messages.empty());
    EXPECT_EQ(printer->orientation(), twip::OrientationPortrait);

    prompter->printerSetupAnswers.push_back(true);
    list.Command1_Click(2);
    EXPECT_EQ(asked, printer);
    EXPECT_EQ(&list.printer(), printer);
    list.Command1_Click(0);
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "打印机页面设置不正确(应设置为A4[纵向]大小)...");
    EXPECT_TRUE(printer->visibleTexts().empty());
}

TEST_F(FjListTest, NoPrinterInstalledPrintsNothing) {
    Fj_List& list = Open(2);
    PrinterCount = 0;
    list.Command1_Click(0);
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, printing::kNoPrinterText);
    EXPECT_EQ(printer->jobsEnded, 0);
}

TEST_F(FjListTest, ExitClosesTheWindow) {
    Fj_List& list = Open(1);
    list.show();
    ASSERT_TRUE(list.isVisible());
    list.Command1_Click(1);
    EXPECT_FALSE(list.isVisible());
}

TEST_F(FjListTest, ShowMaterialsListShowsTheLoadedWindowOrReportsWhyNot) {
    testsupport::WriteFile(dir.File("TempXml.XML"), Manifest(2));
    QString shownCaption;
    QString shownApplicant;
    const auto closeModal = [&] {
        if (auto* modal = qobject_cast<Fj_List*>(QApplication::activeModalWidget())) {
            shownCaption = modal->caption();
            shownApplicant = modal->T1LAB(1).text();
            modal->close();
        }
    };
    QTimer::singleShot(0, closeModal);
    printing::ui::ShowMaterialsList(nullptr);
    EXPECT_EQ(shownCaption, "申请材料清单");
    EXPECT_EQ(shownApplicant, "某某勘查院");
    EXPECT_TRUE(prompter->messages.empty());

    // A template database without the applicant's column: reported, not shown.
    db->DropColumn("资料模板", "单位名称");
    shownCaption.clear();
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, closeModal);
    timer.start(0);
    printing::ui::ShowMaterialsList(nullptr);
    QApplication::processEvents();
    EXPECT_TRUE(shownCaption.isEmpty());
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].title, "错误");
    EXPECT_EQ(prompter->messages[0].text.rfind("打开申请材料清单未能完成。", 0), 0u)
        << prompter->messages[0].text;
}

TEST_F(FjListTest, ButtonsInOrderFromTheKeyboard) {
    Fj_List& list = Open(30);
    ASSERT_TRUE(testsupport::ShowActive(list));
    // On the first page "上一页" is disabled and skipped.
    EXPECT_EQ(testsupport::TabCycle(list.Command1(2).widget()),
              (QStringList{"Command1_2", "PageBut_1", "Command1_3", "Command1_0", "Command1_1"}));
    list.PageBut(1).widget()->setFocus(Qt::TabFocusReason);
    testsupport::PressOnFocus(Qt::Key_Return);
    EXPECT_EQ(list.shownPage(), 1);
    EXPECT_EQ(testsupport::TabCycle(list.Command1(2).widget()),
              (QStringList{"Command1_2", "PageBut_0", "Command1_3", "Command1_0", "Command1_1"}));
    list.Command1(1).widget()->setFocus(Qt::TabFocusReason);
    testsupport::PressOnFocus(Qt::Key_Escape); // not a way out here
    EXPECT_TRUE(list.isVisible());
    testsupport::PressOnFocus(Qt::Key_Return);
    EXPECT_FALSE(list.isVisible());
}

#include "app/ui/program.h"
#include "fieldforms/ui/XZJBTab.h"

#include "materials/ui/FrmFjgl.h"
#include "printing/recording_printer.h"
#include "printing/ui/twip_print_controls.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "support/fixture_db.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <gtest/gtest.h>

using fieldforms::ui::XZJBTab;
using platform::MsgAnswer;
using platform::MsgIcon;
using testsupport::FieldRow;
using twip::ui::Control;

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// An item whose application form is complete, so that the materials window
// opens this form.
testsupport::ItemRow CompleteItem() {
    return {.extra = {{"行政审批项目名称", "测试审批"},
                      {"行政区域", 101},
                      {"单位个人", 1},
                      {"单位名称", "某某公司"},
                      {"法人代表", "张三"},
                      {"单位地址", "某地"},
                      {"联系电话", "123"}}};
}

class XZJBTabTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db = std::make_unique<testsupport::FixtureDb>(dir.File("系统模板.mdb"));
        db->AddParameters();
        db->AddItem(CompleteItem());
    }
    void TearDown() override {
        window.reset();
        ResetGlobals();
    }

    void Start(const std::string& subItem = "") {
        db->Close();
        StartupHooks hooks;
        hooks.countPrinters = [] { return 1; };
        ASSERT_TRUE(Main(dir.path(), hooks));
        SelectedItem = 0;
        SubItemName = subItem;
    }

    XZJBTab& Open() {
        window = std::make_unique<XZJBTab>();
        window->Form_Load();
        window->show();
        return *window;
    }

    // A code list whose codes are text, so that leading zeros survive.
    void TextCodeList(const std::vector<std::pair<std::string, std::string>>& words) {
        db->Exec("drop table 综合词表");
        db->Exec("create table 综合词表 (类别 INTEGER, 代码 TEXT, 名称 TEXT)");
        for (const auto& [code, name] : words)
            db->Exec("insert into 综合词表 values (1, '" + code + "', '" + name + "')");
    }

    std::string Stored(const std::string& field, const char* column = "字段值") {
        return db->Text(std::string("select ") + column + " from 项目基本信息 where 字段名称='" +
                        field + "'");
    }

    std::string ToolTip(const Control& input) { return XZJBTab::ToolTipOf(input); }

    testsupport::ScopedFakePrompter prompter;
    testsupport::TempDir dir;
    std::unique_ptr<testsupport::FixtureDb> db;
    std::unique_ptr<XZJBTab> window;
};

TEST_F(XZJBTabTest, BuildsTheWorkedExample) {
    db->AddField({.order = 1, .name = "", .label = "一、基本情况", .labelWidth = "10", .align = 2});
    db->AddField({.order = 2, .name = "项目名称", .label = "项目名称", .required = 1});
    db->AddField({.order = 3, .name = "等级", .label = "等级", .kind = 4, .dictionary = 7});
    db->AddWord(7, 1, "甲级");
    db->AddWord(7, 2, "乙级");
    Start();
    XZJBTab& w = Open();

    EXPECT_EQ(w.caption(), "项目基本信息表");
    EXPECT_EQ(w.Label2(0).rect().left, 150);
    EXPECT_EQ(w.Label2(0).rect().top, 860);
    EXPECT_EQ(w.Label2(0).rect().width, 7500);
    EXPECT_EQ(w.Label2(0).alignment(), twip::ui::TextAlign::Center);
    EXPECT_EQ(w.Label1(0).left(), 150);
    EXPECT_EQ(w.Label1(0).top(), 1220);
    EXPECT_EQ(w.Label1(1).left(), 3900);
    EXPECT_EQ(w.LineV(2).line().x1, 1650);
    EXPECT_EQ(w.LineV(3).line().x1, 3900);
    EXPECT_EQ(w.LineV(4).line().x1, 5400);
    EXPECT_EQ(w.LineV(4).line().y2, 1470);
    EXPECT_EQ(w.LineH(0).line().y1, 1110);
    EXPECT_EQ(w.LineH(0).line().x2, 7650);
    const twip::ui::TwipRect text = w.Text1(0).rect();
    EXPECT_EQ(text.left, 1680);
    EXPECT_EQ(text.top, 1170);
    EXPECT_EQ(text.width, 2190);
    EXPECT_EQ(text.height, 270);
    EXPECT_EQ(w.Combo1(0).left(), 5430);
    EXPECT_EQ(w.Combo1(0).top(), 1140);
    EXPECT_EQ(w.Combo1(0).width(), 2190);
    EXPECT_EQ(w.Shape1().height(), 720);
    EXPECT_EQ(w.Pic2().height(), 1970);
    EXPECT_NEAR(w.scaleHeight(), 3040 - fieldforms::kTitleAndBorders, 15);
    EXPECT_EQ(w.scrollArea(), nullptr);

    // Tags count the elements in use; all of them are shown.
    const std::pair<const char*, int> counts[] = {{"Label1", 2}, {"Label2", 1}, {"Text1", 1},
                                                  {"Combo1", 1}, {"LineV", 5},  {"LineH", 1}};
    for (const auto& [array, count] : counts) {
        EXPECT_EQ(w.control(array, 0).tag(), QString::number(count)) << array;
        EXPECT_EQ(w.arrayIndexes(array).size(), static_cast<std::size_t>(count)) << array;
        for (int i = 0; i < count; ++i)
            EXPECT_TRUE(w.control(array, i).visible()) << array << i;
    }
    EXPECT_EQ(ToolTip(w.Text1(0)), "项目名称*");
    EXPECT_EQ(ToolTip(w.Combo1(0)), "等级");
    EXPECT_EQ(w.Label1(0).foreColor(), QColor(255, 0, 0)); // required: red
    EXPECT_NE(w.Label1(1).foreColor(), QColor(255, 0, 0));
    EXPECT_EQ(w.Text1(0).backColor(), QColor(0xE0, 0xE0, 0xE0));
    EXPECT_EQ(w.Combo1(0).listCount(), 2);
    EXPECT_EQ(w.Combo1(0).listIndex(), -1); // nothing stored, nothing chosen
    EXPECT_FALSE(w.dataChanged());
    // 对齐方式 0 and 1 align a caption left and right.
    using twip::ui::TextAlign;
    for (const auto& [align, expected] :
         {std::pair{0, TextAlign::Left}, std::pair{1, TextAlign::Right}}) {
        db->Exec("update 项目基本信息 set 对齐方式=" + std::to_string(align) + " where 排序号=1");
        XZJBTab again;
        again.Form_Load();
        EXPECT_EQ(again.Label2(0).alignment(), expected) << align;
    }
}

TEST_F(XZJBTabTest, NoRowsShowTheDesignedWindow) {
    Start();
    XZJBTab& w = Open();
    for (const char* array : {"Label1", "Label2", "Text1", "Combo1", "LineV", "LineH"}) {
        EXPECT_EQ(w.control(array, 0).tag(), "0") << array;
        EXPECT_FALSE(w.control(array, 0).visible()) << array;
        EXPECT_EQ(w.arrayIndexes(array).size(), 1u) << array;
    }
    EXPECT_EQ(w.Shape1().height(), fieldforms::kDesignedFrameHeight);
    EXPECT_EQ(w.Pic2().height(), fieldforms::kDesignedPictureHeight);
    EXPECT_TRUE(w.Label5().visible());
    EXPECT_EQ(w.Label5().text(), "项目基本信息表");
    EXPECT_FALSE(w.dataChanged());
}

TEST_F(XZJBTabTest, ShowsStoredInheritedAndLongValues) {
    const std::string sub = "变'更";
    const auto row = [&](FieldRow r) {
        r.subName = sub;
        db->AddField(r);
    };
    // A long text first: element 0, designed for one line, is made anew.
    row({.order = 1,
         .name = "概况",
         .label = "甲\r乙\r\n丙",
         .kind = 3,
         .value = "忽略",
         .memo = "第一行\r\n第二行",
         .length = 10,
         .height = "30"});
    row({.order = 2, .name = "单位", .inheritFrom = "单位名称"});
    row({.order = 3, .name = "自有", .value = "自己的", .inheritFrom = "单位名称", .editable = 0});
    row({.order = 4, .name = "法人", .inheritFrom = "法人代表", .editable = 1});
    row({.order = 5, .name = "缺列", .inheritFrom = "没有这一列"});
    row({.order = 6, .name = "无词表", .kind = 4, .dictionary = 99});
    row({.order = 7, .name = "O'Brien", .value = "x", .length = 0});
    row({.order = 8, .name = "其他子项"}); // another sub-item's row
    // A stored long text already over its limit of 8: 9 characters as stored.
    row({.order = 9, .name = "超长", .kind = 3, .memo = "一二三\r\n四五六七", .length = 8});
    db->Exec("update 项目基本信息 set 子项='别的' where 排序号=8");
    Start(sub);
    XZJBTab& w = Open();

    ASSERT_EQ(w.elementCount("Text1"), 7);
    // Long text: 备注值 in a box of several lines, under a three-line label.
    ASSERT_NE(w.Text1(0).as<QPlainTextEdit>(), nullptr);
    EXPECT_EQ(w.Text1(0).widget()->objectName(), "Text1_0");
    EXPECT_TRUE(w.Text1(0).visible());
    EXPECT_EQ(w.Text1(0).text(), "第一行\r\n第二行");
    EXPECT_EQ(w.Text1(0).height(), 810);
    EXPECT_EQ(w.Label1(0).height(), 600);
    EXPECT_EQ(w.Label1(0).as<QLabel>()->text(), "甲\n乙\n丙");
    EXPECT_FALSE(w.dataChanged());
    // At its limit of 10 (a line break counts two, as stored) the excess is
    // refused where it is put in; the caret stays there and undo still works.
    auto* memo = w.Text1(0).as<QPlainTextEdit>();
    QTextCursor caret = memo->textCursor();
    caret.setPosition(1);
    memo->setTextCursor(caret);
    QTest::keyClicks(memo, "XYZ");
    EXPECT_EQ(w.Text1(0).text(), "第XY一行\r\n第二行");
    EXPECT_EQ(memo->textCursor().position(), 3);
    memo->undo();
    EXPECT_EQ(w.Text1(0).text(), "第一行\r\n第二行");
    EXPECT_TRUE(w.dataChanged());
    // A paste beyond the limit is cut where it goes, and says how much of it
    // was left out.
    QGuiApplication::clipboard()->setText(QStringLiteral("甲乙丙丁戊"));
    caret.setPosition(0);
    memo->setTextCursor(caret);
    memo->paste();
    EXPECT_EQ(w.Text1(0).text(), "甲乙第一行\r\n第二行");
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_NE(prompter->messages[0].text.find("末尾有3个字未粘贴"), std::string::npos);
    prompter->messages.clear();
    // Read-only inherited fields: greyed and disabled, own value first.
    EXPECT_EQ(w.Text1(1).text(), "某某公司");
    EXPECT_FALSE(w.Text1(1).enabled());
    EXPECT_EQ(w.Text1(1).backColor(), QColor(0xF0, 0xF0, 0xF0));
    EXPECT_EQ(w.Text1(2).text(), "自己的");
    EXPECT_FALSE(w.Text1(2).enabled());
    EXPECT_EQ(w.Text1(3).text(), "张三");
    EXPECT_TRUE(w.Text1(3).enabled());
    EXPECT_EQ(w.Text1(4).text(), "");
    EXPECT_EQ(w.Text1(5).text(), "x");
    EXPECT_EQ(w.Text1(5).as<QLineEdit>()->maxLength(), 32767); // 0: no limit
    EXPECT_EQ(w.Combo1(0).listCount(), 0);
    // Over its limit, the stored length is the limit: a character taken out
    // makes room for one.
    auto* over = w.Text1(6).as<QPlainTextEdit>();
    ASSERT_NE(over, nullptr);
    EXPECT_EQ(w.Text1(6).text(), "一二三\r\n四五六七");
    over->moveCursor(QTextCursor::End);
    QTest::keyClick(over, Qt::Key_Backspace);
    QTest::keyClicks(over, "XY");
    EXPECT_EQ(w.Text1(6).text(), "一二三\r\n四五六X");
    // Each opening starts again: a second window builds the same form.
    XZJBTab again;
    again.Form_Load();
    EXPECT_EQ(again.elementCount("Text1"), 7);
}

TEST_F(XZJBTabTest, ChecksThenSavesEveryKindWithTheInheritedField) {
    TextCodeList({{"0101", "某某区"}, {"1010", "乙地"}});
    db->AddField({.order = 1, .name = "名称", .length = 10, .required = 1});
    db->AddField({.order = 2, .name = "日期", .kind = 2});
    db->AddField({.order = 3, .name = "金额", .kind = 1});
    db->AddField({.order = 4, .name = "概况", .kind = 3});
    db->AddField({.order = 5,
                  .name = "行政区域",
                  .kind = 4,
                  .required = 1,
                  .dictionary = 1,
                  .inheritFrom = "行政区域",
                  .editable = 0});
    Start();
    XZJBTab& w = Open();
    // The inherited region 101, stored by the application form as a number,
    // selects 0101 and not 1010.
    EXPECT_EQ(w.Combo1(0).text(), "0101 某某区");
    EXPECT_FALSE(w.Combo1(0).enabled());

    w.Text1(0).setText("六个汉字超长");
    w.Text1(1).setText("2008-13-1");
    w.Text1(2).setText("12,5a");
    w.Command1_Click(0);
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].title, "错误提示");
    EXPECT_EQ(prompter->messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(prompter->messages[0].text, "【名称】填写超长.\r\n"
                                          "【日期】必须填写日期型数据(yyyy-mm-dd).\r\n"
                                          "【金额】必须填写数值型数据.\r\n");
    EXPECT_EQ(Stored("名称"), "");
    EXPECT_TRUE(w.dataChanged());

    w.Text1(0).setText("某某");
    w.Text1(1).setText("2008-05-01");
    w.Text1(2).setText(" 12.5 ");
    w.Text1(3).setText("一\r\n二");
    w.Command1_Click(0);
    ASSERT_EQ(prompter->messages.size(), 2u);
    EXPECT_EQ(prompter->messages[1].text, "保存成功...");
    EXPECT_EQ(prompter->messages[1].title, "提示");
    EXPECT_EQ(prompter->messages[1].icon, MsgIcon::Information);
    EXPECT_FALSE(w.dataChanged());
    EXPECT_EQ(w.Text1(1).text(), "2008-5-1");
    EXPECT_EQ(Stored("名称"), "某某");
    EXPECT_EQ(Stored("日期"), "2008-5-1");
    EXPECT_EQ(Stored("金额"), " 12.5 ");
    EXPECT_EQ(Stored("概况", "备注值"), "一\r\n二");
    EXPECT_EQ(Stored("行政区域"), "0101"); // the read-only field stores what it showed

    // Closing after a save asks nothing; the window stays open after saving.
    w.Command1_Click(1);
    EXPECT_EQ(prompter->messages.size(), 2u);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(XZJBTabTest, LeadingZeroCodesRoundTrip) {
    // In code order "101 丙地" follows "0101 某某区", which contains 101.
    TextCodeList({{"0101", "某某区"}, {"101", "丙地"}, {"1010", "乙地"}});
    db->AddField({.order = 1, .name = "行政区域", .kind = 4, .dictionary = 1});
    Start();
    for (const char* choice : {"0101 某某区", "101 丙地", "1010 乙地"}) {
        SCOPED_TRACE(choice);
        XZJBTab& w = Open();
        const int index = w.Combo1(0).as<QComboBox>()->findText(Q(choice));
        w.Combo1(0).setListIndex(index);
        EXPECT_TRUE(w.dataChanged());
        EXPECT_TRUE(w.SaveFields());
        EXPECT_EQ(Stored("行政区域"), std::string(choice).substr(0, std::string(choice).find(' ')));
        XZJBTab& reopened = Open();
        EXPECT_EQ(reopened.Combo1(0).listIndex(), index);
    }
}

TEST_F(XZJBTabTest, AFailedSaveWritesNothingAndKeepsTheChanges) {
    db->AddField({.order = 1, .name = "名称"});
    db->AddField({.order = 2, .name = "编号"});
    db->AddField({.order = 3, .name = "等级", .kind = 4, .dictionary = 7});
    db->AddWord(7, 1, "甲级");
    Start();
    // Made after start-up, which refuses a database holding a trigger.
    db->Exec("create trigger refuse before update on 项目基本信息 when new.字段名称='编号' "
             "begin select raise(abort, 'refused'); end");
    XZJBTab& w = Open();
    w.Text1(0).setText("新名称");
    w.Text1(1).setText("新编号");
    w.Combo1(0).setListIndex(0);
    w.Command1_Click(0);
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text.rfind("保存失败...\r\n【编号】\r\n", 0), 0u)
        << prompter->messages[0].text;
    EXPECT_EQ(prompter->messages[0].title, "提示");
    EXPECT_TRUE(w.dataChanged());
    EXPECT_EQ(Stored("名称"), "");
    EXPECT_EQ(Stored("等级"), "");
}

TEST_F(XZJBTabTest, ADatabaseErrorWhileCheckingIsReportedAndNothingSaved) {
    db->AddField({.order = 1, .name = "名称"});
    Start();
    XZJBTab& w = Open();
    w.Text1(0).setText("新名称");
    db->DropColumn("项目基本信息", "字段长度");
    w.Command1_Click(0);
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].title, "错误");
    EXPECT_EQ(prompter->messages[0].text,
              "保存项目基本信息未能完成。\r\n模板数据库错误：no such column: 字段长度");
    EXPECT_EQ(Stored("名称"), "");
    EXPECT_TRUE(w.dataChanged());
}

TEST_F(XZJBTabTest, ClosingAfterAnEditAsksAndDestroysTheCreatedElements) {
    for (int i = 1; i <= 3; ++i)
        db->AddField({.order = i, .name = "字段" + std::to_string(i)});
    Start();
    XZJBTab& w = Open();
    // An edit undone by hand still counts.
    QTest::keyClick(w.Text1(1).widget(), Qt::Key_A);
    QTest::keyClick(w.Text1(1).widget(), Qt::Key_Backspace);
    EXPECT_TRUE(w.dataChanged());

    prompter->answers.push_back(MsgAnswer::No);
    w.Command1_Click(1);
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "内容已经改变，退出将不保存。确认吗？");
    EXPECT_EQ(prompter->messages[0].icon, MsgIcon::Question);
    EXPECT_EQ(prompter->messages[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(w.arrayIndexes("Text1").size(), 3u);

    prompter->answers.push_back(MsgAnswer::Yes);
    w.close(); // the title bar's close button takes the same way
    EXPECT_EQ(prompter->messages.size(), 2u);
    EXPECT_FALSE(w.isVisible());
    for (const char* array : {"Label1", "Text1", "LineV", "LineH"}) {
        EXPECT_EQ(w.arrayIndexes(array), std::vector<int>{0}) << array;
        EXPECT_EQ(w.control(array, 0).tag(), "0") << array;
    }
}

TEST_F(XZJBTabTest, UpDownAndEnterMoveTheFocusInRowOrder) {
    db->AddField({.order = 1, .name = "甲"});
    db->AddField({.order = 2, .name = "乙", .kind = 4, .dictionary = 7});
    db->AddField({.order = 3, .name = "丙"});
    db->AddField({.order = 4, .name = "丁", .inheritFrom = "单位名称"}); // disabled: skipped
    db->AddField({.order = 5, .name = "戊", .kind = 3, .height = "20"});
    Start();
    XZJBTab& w = Open();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    QWidget* a = w.Text1(0).widget();
    QWidget* b = w.Combo1(0).widget();
    QWidget* c = w.Text1(1).widget();
    QWidget* e = w.Text1(3).widget();
    a->setFocus();
    QTest::keyClick(a, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), b);
    c->setFocus();
    QTest::keyClick(c, Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), b);
    c->setFocus();
    QTest::keyClick(c, Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), e);
    QTest::keyClick(e, Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), c);
    // Lists move nothing themselves.
    b->setFocus();
    QTest::keyClick(b, Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), b);
    // Tab ends with the buttons ("戊" is a long text: Tab leaves it too); Esc
    // leaves the window open, Enter on "退 出" closes it (nothing was changed).
    e->setFocus();
    QTest::keyClick(e, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), w.Command1(0).widget());
    QTest::keyClick(w.Command1(0).widget(), Qt::Key_Tab);
    QTest::keyClick(w.Command1(1).widget(), Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    QTest::keyClick(w.Command1(1).widget(), Qt::Key_Return);
    EXPECT_FALSE(w.isVisible());
}

TEST_F(XZJBTabTest, AFormTallerThanTheScreenScrollsAndStillPrintsWhole) {
    const int rows = 120;
    for (int i = 1; i <= rows; ++i)
        db->AddField({.order = i,
                      .name = "字段" + std::to_string(i),
                      .label = "第" + std::to_string(i) + "行",
                      .fieldWidth = "5",
                      .labelWidth = "5"});
    Start();
    XZJBTab& w = Open();
    const int frame = rows * 360;
    EXPECT_EQ(w.Shape1().height(), frame); // beyond 16-bit twips
    EXPECT_EQ(w.Pic2().height(), 750 + frame + 500);
    ASSERT_NE(w.scrollArea(), nullptr);
    const QRect screen = w.screen()->availableGeometry();
    EXPECT_LE(w.height(), screen.height());
    EXPECT_EQ(w.Pic2().widget()->height(), twip::ui::TwipsToPixels(w.Pic2().height()));

    // Moving into a field below the visible part brings it into view.
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    Control& last = w.Text1(rows - 1);
    last.widget()->setFocus();
    const QPoint shown = last.widget()->mapTo(w.scrollArea()->viewport(), QPoint(0, 0));
    EXPECT_GE(shown.y(), 0);
    EXPECT_LT(shown.y(), w.scrollArea()->viewport()->height());

    printing::RecordingPrinter printer;
    ASSERT_TRUE(printing::ui::PrintTwipForm(w, 0, 1.0f, printer));
    EXPECT_NO_THROW(printer.find("第" + std::to_string(rows) + "行"));
}

// The materials window's button "项目基本信息" opens this form behind the
// completeness check and the error barrier.
class MaterialsButtonTest : public XZJBTabTest {
  protected:
    // Clicks the button; returns the caption of the modal window it showed,
    // after closing it, or "" when none was shown.
    QString ClickBasicInformation() {
        materials::ui::FrmFjgl materials(app::ui::MaterialsWindowParts());
        materials.Form_Load();
        QString shown;
        QTimer closer;
        closer.setInterval(0);
        QObject::connect(&closer, &QTimer::timeout, [&] {
            if (auto* modal = qobject_cast<XZJBTab*>(QApplication::activeModalWidget())) {
                shown = modal->caption() + QString::number(modal->elementCount("Text1"));
                modal->Command1_Click(1);
            }
        });
        closer.start();
        QTest::mouseClick(materials.CmdSave(2).widget(), Qt::LeftButton);
        closer.stop();
        return shown;
    }
};

TEST_F(MaterialsButtonTest, OpensTheFormWhenTheApplicationFormIsComplete) {
    db->AddField({.order = 1, .name = "名称"});
    Start();
    EXPECT_EQ(ClickBasicInformation(), "项目基本信息表1");
    EXPECT_TRUE(prompter->messages.empty());
}

TEST_F(MaterialsButtonTest, ReportsAFormThatCannotBeBuiltAndShowsNothing) {
    db->AddField({.order = 1, .name = "名称"});
    db->DropColumn("项目基本信息", "显示名称");
    Start();
    EXPECT_EQ(ClickBasicInformation(), "");
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].title, "错误");
    EXPECT_EQ(prompter->messages[0].text,
              "打开项目基本信息表未能完成。\r\n模板数据库错误：no such column: 显示名称");
}

TEST_F(MaterialsButtonTest, AnIncompleteApplicationFormKeepsTheFormClosed) {
    db->AddField({.order = 1, .name = "名称"});
    db->Exec("update 资料模板 set 法人代表=''");
    Start();
    EXPECT_EQ(ClickBasicInformation(), "");
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "行政审批申请书填写不完整：【法人代表】...");
}

} // namespace

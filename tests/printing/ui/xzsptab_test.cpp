// The application form window on small template databases, headless.

#include "app/ui/program.h"
#include "printing/ui/XZSPTab.h"

#include "materials/ui/FrmFjgl.h"
#include "printing/application_form.h"
#include "printing/print_table.h"
#include "printing/recording_printer.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "support/fixture_db.h"
#include "support/keyboard.h"
#include "twip/ui/twipform.h"

#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

using platform::MsgAnswer;
using platform::MsgIcon;
using printing::ui::XZSPTab;
using twip::ui::Control;

namespace {

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// Types text as the keyboard (or an input method) delivers it, one character a key.
void Type(Control& input, const QString& text) {
    QWidget* widget = input.widget();
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

// Text as an input method commits it, in one piece.
void Commit(Control& input, const QString& text) {
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(input.widget(), &event);
}

void Replace(Control& input, const QString& text) {
    input.as<QLineEdit>()->selectAll();
    QTest::keyClick(input.widget(), Qt::Key_Delete);
    Type(input, text);
}

// Looks at the application form once it shows modally, then closes it; the
// timer goes with the object, so nothing fires into a later test.
class FormCloser {
  public:
    explicit FormCloser(std::function<void(XZSPTab&)> look) : look_(std::move(look)) {
        QObject::connect(&timer_, &QTimer::timeout, [this] { tick(); });
        timer_.start(10);
    }

  private:
    void tick() {
        if (auto* form = qobject_cast<XZSPTab*>(QApplication::activeModalWidget())) {
            timer_.stop();
            look_(*form);
            form->Command1_Click(2);
        }
    }
    std::function<void(XZSPTab&)> look_;
    QTimer timer_;
};

const char* const kUnitName = "某某地质勘查院";

// Item 1 a unit whose row still holds an earlier individual's values, item 2
// an individual whose row still holds a unit's; regions in list 1; field
// definitions that inherit application-form columns.
class XZSPTabTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db = std::make_unique<testsupport::FixtureDb>(dir.File("系统模板.mdb"));
        db->AddParameters({.count = "2"});
        db->AddItem({.seq = 1,
                     .name = "甲级资质新申请",
                     .shortName = "甲级",
                     .nameFlag = 1,
                     .extra = {{"行政审批项目名称", "已存项目名称"},
                               {"行政区域", 510300},
                               {"单位个人", 1},
                               {"单位名称", kUnitName},
                               {"法人代表", "王五"},
                               {"单位地址", "成都市一环路1号"},
                               {"联系电话", "028-88888888"},
                               {"邮编", "610000"},
                               {"电子邮箱", "dz@kc.cn"},
                               {"个人姓名", "李四"},
                               {"个人身份证号", "330106198001010011"},
                               {"审批结果接收方式", "10100"}}});
        db->AddItem({.seq = 2,
                     .name = "乙级资质新申请",
                     .shortName = "乙级",
                     .extra = {{"行政审批项目名称", "个人项目"},
                               {"行政区域", 510100},
                               {"单位个人", 2},
                               {"单位名称", "旧单位"},
                               {"个人姓名", "李四"},
                               {"个人身份证号", "330106198001010011"},
                               {"个人住址", "成都市"},
                               {"个人联系电话", "13800000000"},
                               {"审批结果接收方式", "00001"}}});
        db->AddWord(1, 510100, "成都市");
        db->AddWord(1, 510300, "自贡市");
        db->AddField(
            {.order = 1, .name = "项目名称", .inheritFrom = "行政审批项目名称", .editable = 0});
        db->AddField({.order = 2, .name = "申请单位", .inheritFrom = "单位名称", .editable = 0});
        db->Close();
        StartupHooks hooks;
        hooks.countPrinters = [] { return 1; };
        ASSERT_TRUE(Main(dir.path(), hooks));
    }
    void TearDown() override {
        window.reset();
        ResetGlobals();
    }

    XZSPTab& Open(int item) {
        window.reset();
        SelectedItem = static_cast<std::int16_t>(item);
        window = std::make_unique<XZSPTab>();
        window->Form_Load();
        return *window;
    }
    std::string Stored(const std::string& column, int seq = 1) {
        return db->Text("select " + column + " from 资料模板 where 序号=" + std::to_string(seq));
    }
    std::string Messages() {
        std::string all;
        for (const auto& m : prompter->messages)
            all += m.text + "|";
        return all;
    }

    testsupport::TempDir dir;
    std::unique_ptr<testsupport::FixtureDb> db;
    testsupport::ScopedFakePrompter prompter;
    std::unique_ptr<XZSPTab> window;
};

TEST_F(XZSPTabTest, ControlsStandWhereTheFormWasDesigned) {
    XZSPTab& w = Open(0);
    EXPECT_EQ(w.caption(), "行政审批申请书");
    EXPECT_EQ(w.scaleWidth(), 8205);
    EXPECT_EQ(w.scaleHeight(), 8820);
    struct Case {
        const char* name;
        int index;
        twip::ui::TwipRect rect;
        const char* toolTip;
        int typedLimit; // characters kept of 300 typed; -1: not a text box
    };
    const Case cases[] = {
        {"Label4", -1, {210, 210, 4785, 195}, "", -1},
        {"Command1", 0, {4650, 120, 910, 375}, "", -1},
        {"Command1", 2, {7080, 120, 910, 375}, "", -1},
        {"Pic2", 0, {0, 600, 8205, 8220}, "", -1},
        {"Label5", -1, {0, 240, 8145, 465}, "", -1},
        {"Option1", 0, {330, 930, 1200, 240}, "", -1},
        {"Option1", 1, {1800, 930, 1200, 240}, "", -1},
        {"Text1", 0, {1860, 1260, 1425, 270}, "个人姓名", 20},
        {"Text1", 1, {4950, 1260, 2985, 270}, "个人身份证号", 20},
        {"Text1", 4, {6810, 1980, 1125, 270}, "个人邮编", 6},
        {"Text2", 0, {1860, 2700, 3855, 270}, "单位名称", 200},
        {"Text2", 1, {6810, 2700, 1125, 270}, "法人代表", 300},
        {"Text2", 3, {1860, 3420, 3855, 270}, "联系电话", 100},
        {"Text2", 7, {4950, 4140, 2985, 270}, "代理人身份证号", 20},
        {"Text2", 11, {1860, 5220, 6075, 270}, "代理人电子邮箱", 100},
        {"Text3", -1, {2310, 5580, 5625, 270}, "行政审批项目名称", 200},
        {"Combo1", -1, {2310, 6270, 3465, 330}, "行政区域", -1},
        {"Check1", 2, {5280, 6720, 1305, 225}, "", -1},
        {"Check1", 4, {3810, 7020, 1305, 225}, "", -1},
        {"Label1", 1, {3330, 1290, 1575, 195}, "", -1},
        {"Label1", 4, {5760, 2010, 1005, 195}, "", -1},
        {"Label2", 1, {5760, 2730, 1005, 195}, "", -1},
        {"Label2", 10, {5820, 4890, 1005, 195}, "", -1},
        {"Label1", 7, {240, 1500, 225, 855}, "", -1},
        {"Label1", 9, {150, 5610, 2100, 195}, "", -1},
        {"Label1", 11, {510, 6750, 1290, 435}, "", -1},
        {"Label1", 13, {3750, 7530, 2400, 225}, "", -1},
        {"Label3", -1, {2310, 5940, 5535, 255}, "", -1},
        {"Shape1", -1, {150, 1200, 7875, 6795}, "", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + "(" + std::to_string(c.index) + ")");
        Control& control = w.control(c.name, c.index);
        EXPECT_EQ(control.left(), c.rect.left);
        EXPECT_EQ(control.top(), c.rect.top);
        EXPECT_EQ(control.width(), c.rect.width);
        EXPECT_EQ(control.height(), c.rect.height);
        EXPECT_EQ(control.widget()->toolTip(), QString::fromUtf8(c.toolTip));
        if (c.typedLimit < 0)
            continue;
        control.setEnabled(true); // keys reach enabled boxes only
        control.setText(QString());
        Type(control, QString(300, QLatin1Char('1')));
        EXPECT_EQ(control.text().size(), c.typedLimit);
    }
    EXPECT_EQ(w.control("Label5").font().name, "楷体_GB2312");
    EXPECT_EQ(w.control("Label5").font().size, 21.75);
    EXPECT_TRUE(w.control("Label5").font().bold);
    EXPECT_EQ(w.Label1(7).font().name, "宋体");
    EXPECT_TRUE(w.Label1(7).font().bold);
    EXPECT_EQ(w.Label1(12).font().name, "仿宋_GB2312");
    EXPECT_EQ(w.Text2(0).font().size, 10.5);
    EXPECT_EQ(w.control("Label4").foreColor(), QColor(128, 0, 0));
    EXPECT_EQ(w.Combo1().tag(), "Y");
    EXPECT_EQ(w.control("Pic2", 0).backColor(), QColor(Qt::white));
    EXPECT_EQ(w.arrayIndexes("Line1").size(), 15u);
    EXPECT_EQ(w.arrayIndexes("Line2").size(), 16u);
    EXPECT_EQ(w.control("Line2", 10).line().x1, 150);
    EXPECT_EQ(w.control("Line2", 10).line().y1, 2640);

    // Tab order: the inputs, the choices, then the buttons.
    std::vector<QWidget*> chain;
    for (int i = 0; i < 6; ++i)
        chain.push_back(w.Text1(i).widget());
    for (int i = 0; i < 12; ++i)
        chain.push_back(w.Text2(i).widget());
    for (QWidget* next :
         {w.Text3().widget(), w.Combo1().widget(), w.Option1(0).widget(), w.Option1(1).widget()})
        chain.push_back(next);
    for (int k = 0; k < 5; ++k)
        chain.push_back(w.Check1(k).widget());
    for (int i = 0; i < 3; ++i)
        chain.push_back(w.Command1(i).widget());
    std::vector<QWidget*> walked; // the controls in the order the focus chain meets them
    QWidget* widget = chain.front();
    do {
        if (std::find(chain.begin(), chain.end(), widget) != chain.end())
            walked.push_back(widget);
        widget = widget->nextInFocusChain();
    } while (widget != chain.front() && walked.size() <= chain.size());
    EXPECT_EQ(walked, chain);
}

TEST_F(XZSPTabTest, AUnitLoadsOnlyItsOwnGroup) {
    XZSPTab& w = Open(0);
    EXPECT_TRUE(w.Option1(0).checked());
    EXPECT_EQ(w.Text2(0).text(), QString::fromUtf8(kUnitName));
    EXPECT_EQ(w.Text2(4).text(), "610000");
    EXPECT_TRUE(w.Text2(0).enabled());
    EXPECT_EQ(w.Text2(0).backColor(), XZSPTab::EditableColor);
    // The earlier individual's name is neither shown nor printed.
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(w.Text1(i).text(), "") << i;
        EXPECT_FALSE(w.Text1(i).enabled());
        EXPECT_EQ(w.Text1(i).backColor(), XZSPTab::DisabledColor);
        EXPECT_NE(w.Label1(i).foreColor(), XZSPTab::RequiredColor);
    }
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(w.Label2(i).foreColor() == XZSPTab::RequiredColor, i < 4) << i;
    EXPECT_EQ(w.Text3().text(), "已存项目名称");
    EXPECT_FALSE(w.Text3().enabled()); // 项目名称标识 1
    EXPECT_EQ(w.Combo1().text(), "510300 自贡市");
    for (int k = 0; k < 5; ++k)
        EXPECT_EQ(w.Check1(k).checked(), k == 0 || k == 2) << k;
    EXPECT_EQ(w.Label3().text(), "甲级资质新申请");
    EXPECT_FALSE(w.hasUnsavedChanges());
    EXPECT_EQ(Stored("个人姓名"), "李四"); // still stored
}

TEST_F(XZSPTabTest, AnIndividualLoadsOnlyItsOwnGroup) {
    XZSPTab& w = Open(1);
    EXPECT_TRUE(w.Option1(1).checked());
    EXPECT_EQ(w.Text1(0).text(), "李四");
    EXPECT_EQ(w.Text1(3).text(), "13800000000");
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(w.Label1(i).foreColor() == XZSPTab::RequiredColor, i < 4) << i;
    EXPECT_EQ(w.Text2(0).text(), "");
    EXPECT_FALSE(w.Text2(0).enabled());
    EXPECT_TRUE(w.Text3().enabled());
    EXPECT_EQ(w.Text3().text(), "个人项目");
    EXPECT_EQ(w.Combo1().text(), "510100 成都市");
    EXPECT_TRUE(w.Check1(4).checked());
    EXPECT_FALSE(w.hasUnsavedChanges());
}

TEST_F(XZSPTabTest, OddStoredValuesLoadWithoutHarm) {
    struct Case {
        const char* update;
        int option; // -1: none selected
        const char* region;
        const char* receipt; // ticked boxes as 0/1
    };
    const Case cases[] = {
        {"单位个人=NULL, 行政区域=NULL, 审批结果接收方式=NULL", 0, "", "00000"},
        {"单位个人='x', 行政区域='abc', 审批结果接收方式='1'", 0, "", "10000"},
        {"单位个人='2', 行政区域=999, 审批结果接收方式='1x1y1z'", 1, "", "10101"},
        {"单位个人=3, 行政区域='510100', 审批结果接收方式='１111111'", 0, "510100 成都市", "01111"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.update);
        db->Exec(std::string("update 资料模板 set ") + c.update + " where 序号=1");
        XZSPTab& w = Open(0);
        EXPECT_TRUE(w.Option1(c.option).checked());
        EXPECT_EQ(w.Combo1().text(), c.region);
        std::string ticked;
        for (int k = 0; k < 5; ++k)
            ticked += w.Check1(k).checked() ? '1' : '0';
        EXPECT_EQ(ticked, c.receipt);
    }
    // The row is gone: nothing is chosen, the item's name still shows.
    ItemTable[0].序号 = 42;
    XZSPTab& w = Open(0);
    EXPECT_FALSE(w.Option1(0).checked());
    EXPECT_FALSE(w.Option1(1).checked());
    EXPECT_EQ(w.Combo1().listIndex(), -1);
    EXPECT_EQ(w.Text2(0).text(), "");
    EXPECT_EQ(w.Label3().text(), "甲级资质新申请");
}

TEST_F(XZSPTabTest, TheProjectNameFollowsTheUnitName) {
    db->Exec("update 资料模板 set 行政审批项目名称=NULL where 序号=1");
    ItemTable[0].子项名称 = "变更";
    XZSPTab& w = Open(0);
    EXPECT_EQ(w.Text3().text(), "甲级申请"); // nothing stored: short name + 申请
    EXPECT_FALSE(w.Text3().enabled());
    Replace(w.Text2(0), "新单位");
    EXPECT_EQ(w.Text3().text(), "新单位甲级变更申请");
    w.Option1(1).setChecked(true); // the unit name is cleared
    EXPECT_EQ(w.Text3().text(), "甲级变更申请");
    // Without the flag the name is the user's own.
    Open(1);
    window->Option1(0).setChecked(true);
    Type(window->Text2(0), "别的单位");
    EXPECT_EQ(window->Text3().text(), "个人项目");
    EXPECT_TRUE(window->Text3().enabled());
}

TEST_F(XZSPTabTest, SavingRoundTripsBothApplicantTypes) {
    XZSPTab& w = Open(0);
    Replace(w.Text2(1), "赵六");
    Replace(w.Text2(6), "代理人甲");
    Replace(w.Text2(7), "110101199001011234");
    w.Combo1().setListIndex(1);
    w.Check1(0).setChecked(false);
    w.Check1(1).setChecked(true);
    EXPECT_TRUE(w.hasUnsavedChanges());
    // A long-text row inheriting the project name gets it in 备注值.
    db->Exec("update 项目基本信息 set 字段类型=3 where 字段名称='项目名称'");
    db->Close();
    w.Command1_Click(0);
    EXPECT_EQ(Messages(), "保存成功...|");
    EXPECT_EQ(db->Text("select 备注值 from 项目基本信息 where 字段名称='项目名称'"),
              "已存项目名称");
    EXPECT_FALSE(w.hasUnsavedChanges());
    EXPECT_EQ(Stored("单位个人"), "1");
    EXPECT_EQ(Stored("法人代表"), "赵六");
    EXPECT_EQ(Stored("代理人身份证号"), "110101199001011234");
    EXPECT_EQ(Stored("行政区域"), "510300");
    EXPECT_EQ(Stored("审批结果接收方式"), "01100");
    EXPECT_EQ(Stored("个人姓名"), "李四");
    EXPECT_EQ(db->Text("select 字段值 from 项目基本信息 where 字段名称='申请单位'"), kUnitName);
    XZSPTab& again = Open(0);
    EXPECT_EQ(again.Text2(6).text(), "代理人甲");
    EXPECT_TRUE(again.Check1(1).checked());

    // Switching to an individual shows the individual's stored values; the
    // unit's columns stay as they were.
    again.Option1(1).setChecked(true);
    EXPECT_EQ(again.Text2(1).text(), "");
    EXPECT_EQ(again.Text1(0).text(), "李四");
    Replace(again.Text1(0), "孙七");
    Replace(again.Text1(1), "11010119900101123X");
    Type(again.Text1(2), "某地");
    Type(again.Text1(3), "123");
    prompter->messages.clear();
    again.Command1_Click(0);
    EXPECT_EQ(Messages(), "保存成功...|");
    EXPECT_EQ(Stored("单位个人"), "2");
    EXPECT_EQ(Stored("个人姓名"), "孙七");
    EXPECT_EQ(Stored("法人代表"), "赵六");
    XZSPTab& third = Open(0);
    EXPECT_TRUE(third.Option1(1).checked());
    EXPECT_EQ(third.Text1(1).text(), "11010119900101123X");
    EXPECT_EQ(third.Text2(1).text(), "");
    // And back to the unit: its stored postcode and agent are shown and saved again.
    third.Option1(0).setChecked(true);
    third.Command1_Click(0);
    EXPECT_EQ(Stored("邮编") + Stored("委托代理人"), "610000代理人甲");
}

TEST_F(XZSPTabTest, OneBoxListsEveryFaultAndNothingIsWritten) {
    XZSPTab& w = Open(0);
    Replace(w.Text2(0), "");
    Replace(w.Text2(2), "");
    Replace(w.Text2(4), "61000");
    Replace(w.Text2(5), "a@b.c");
    Replace(w.Text2(10), "6100a0");
    w.Combo1().setListIndex(-1);
    w.Command1_Click(0);
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "【单位名称】必须填写.\r\n"
                                          "【单位地址】必须填写.\r\n"
                                          "【行政区域】必须填写.\r\n"
                                          "【邮编】填写错误.\r\n"
                                          "【电子邮箱】填写错误.\r\n"
                                          "【代理人邮编】填写错误.\r\n");
    EXPECT_EQ(prompter->messages[0].title, "错误提示");
    EXPECT_EQ(prompter->messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(Stored("单位名称"), kUnitName);
    EXPECT_TRUE(w.hasUnsavedChanges());
    // The unit name cleared took the followed project name along with it.
    EXPECT_EQ(w.Text3().text(), "甲级申请");
}

TEST_F(XZSPTabTest, OverlongStoredValuesAreKeptAndTypingStopsAtTheLimit) {
    const std::string longAgent(25, 'A');
    db->Exec("update 资料模板 set 委托代理人='" + longAgent + "' where 序号=1");
    XZSPTab& w = Open(0);
    EXPECT_EQ(w.Text2(6).text(), Q(longAgent));
    w.Text2(6).as<QLineEdit>()->end(false);
    Type(w.Text2(6), "B");
    EXPECT_EQ(w.Text2(6).text(), Q(longAgent));
    QTest::keyClick(w.Text2(6).widget(), Qt::Key_Backspace);
    EXPECT_EQ(w.Text2(6).text().size(), 24);
    Type(w.Text2(6), "CD"); // still over the limit: nothing is added
    EXPECT_EQ(w.Text2(6).text(), Q(std::string(24, 'A')));
    Replace(w.Text2(4), "6100009");
    EXPECT_EQ(w.Text2(4).text(), "610000");
    w.Command1_Click(0);
    EXPECT_EQ(Stored("委托代理人"), std::string(24, 'A'));
    // The limit counts characters: twenty Chinese ones fit (40 bytes in GBK),
    // and a character beyond the basic plane is one, never split in half.
    Replace(w.Text2(6), "");
    Commit(w.Text2(6), QString(19, QChar(0x5F20)) + QString::fromUtf8("𠀀𠀀"));
    EXPECT_EQ(w.Text2(6).text(), QString(19, QChar(0x5F20)) + QString::fromUtf8("𠀀"));
    w.Command1_Click(0);
    std::string expected;
    for (int i = 0; i < 19; ++i)
        expected += "张";
    EXPECT_EQ(Stored("委托代理人"), expected + "𠀀");
}

TEST_F(XZSPTabTest, AFailedSaveKeepsTheEditsAndClosingAsks) {
    XZSPTab& w = Open(0);
    w.show();
    Replace(w.Text2(1), "赵六");
    db->Exec("create trigger refuse before update on 资料模板 begin "
             "select raise(abort, 'refused'); end");
    db->Close();
    w.Command1_Click(0);
    EXPECT_EQ(Messages(), "保存失败...|");
    EXPECT_EQ(db->Text("select 字段值 from 项目基本信息 where 字段名称='项目名称'"), "");
    EXPECT_TRUE(w.hasUnsavedChanges());

    prompter->messages.clear();
    prompter->answers = {MsgAnswer::No};
    w.Command1_Click(2);
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "内容已经改变，退出将不保存。确认吗？");
    EXPECT_EQ(prompter->messages[0].title, "提示");
    EXPECT_EQ(prompter->messages[0].icon, MsgIcon::Question);
    EXPECT_EQ(prompter->messages[0].buttons, platform::MsgButtons::YesNo);
    EXPECT_TRUE(w.isVisible());

    db->Exec("drop trigger refuse");
    db->Close();
    prompter->messages.clear();
    w.Command1_Click(0);
    EXPECT_EQ(Messages(), "保存成功...|");
    w.Command1_Click(2); // saved: nothing to ask
    EXPECT_EQ(Messages(), "保存成功...|");
    EXPECT_FALSE(w.isVisible());

    XZSPTab& edited = Open(0);
    edited.show();
    edited.Check1(3).setChecked(true);
    prompter->answers = {MsgAnswer::Yes};
    edited.Command1_Click(2);
    EXPECT_FALSE(edited.isVisible());
    EXPECT_EQ(Stored("审批结果接收方式"), "10100");
}

TEST_F(XZSPTabTest, ClickingTheOtherApplicantTypeIsAnEdit) {
    XZSPTab& w = Open(0);
    w.show();
    QTest::mouseClick(w.Option1(1).widget(), Qt::LeftButton);
    EXPECT_TRUE(w.Option1(1).checked());
    EXPECT_TRUE(w.hasUnsavedChanges());
}

TEST_F(XZSPTabTest, UpDownAndEnterMoveThroughTheInputs) {
    XZSPTab& w = Open(0);
    w.show();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.Text2(0).widget()->setFocus();
    const auto key = [&](Qt::Key k) { QTest::keyClick(QApplication::focusWidget(), k); };
    key(Qt::Key_Down);
    EXPECT_EQ(QApplication::focusWidget(), w.Text2(1).widget());
    key(Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), w.Text2(2).widget());
    key(Qt::Key_Up);
    EXPECT_EQ(QApplication::focusWidget(), w.Text2(1).widget());
    EXPECT_EQ(w.Text2(1).text(), "王五"); // the keys edit nothing
    w.Text2(11).widget()->setFocus();
    key(Qt::Key_Enter);
    // Text3 is read-only for this item: the focus goes on to the region.
    EXPECT_EQ(QApplication::focusWidget(), w.Combo1().widget());
}

TEST_F(XZSPTabTest, PrintsWhatTheWindowShowsWithTheOtherGroupEmpty) {
    XZSPTab& w = Open(0);
    printing::RecordingPrinter printer;
    w.usePrinter(&printer);
    Replace(w.Text2(1), "未保存的名字");
    w.Command1_Click(1);
    EXPECT_EQ(printer.jobsEnded, 1);
    const auto printed = [&](const std::string& text) {
        for (const auto& t : printer.texts)
            if (t.text == text)
                return true;
        return false;
    };
    for (const char* text : {kUnitName, "未保存的名字", "自贡市", "(√)单位申请", "(  )个人申请",
                             "[√]短信通知", "[  ]电话通知", "甲级资质新申请", "已存项目名称"})
        EXPECT_TRUE(printed(text)) << text;
    EXPECT_FALSE(printed("李四"));
    EXPECT_FALSE(printed("510300 自贡市"));
    EXPECT_FALSE(printed("保 存"));
    EXPECT_EQ(printer.lines.size(), 16u + 15u + 4u);
    EXPECT_EQ(printing::PageScaleY, 1.65f);
    const auto& option = printer.find("(√)单位申请");
    EXPECT_EQ(option.x, printing::PageX(330) + 100);
    EXPECT_EQ(option.y, printing::PageY(930));
    EXPECT_TRUE(prompter->messages.empty());
}

TEST_F(XZSPTabTest, OpeningShowsTheFormModallyOrReportsWhyItCannot) {
    bool shown = false;
    FormCloser closer([&](XZSPTab& form) { shown = form.Label3().text() == "甲级资质新申请"; });
    SelectedItem = 0;
    printing::ui::ShowApplicationForm(nullptr);
    EXPECT_TRUE(shown);
    EXPECT_TRUE(prompter->messages.empty());

    db->DropColumn("资料模板", "个人邮编");
    db->Close();
    printing::ui::ShowApplicationForm(nullptr); // would block if it were shown
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].title, "错误");
    EXPECT_EQ(prompter->messages[0].text.rfind("打开行政审批申请书未能完成", 0), 0u);
}

TEST_F(XZSPTabTest, TheMaterialsWindowOpensTheFormAndGuardsTheBasicInformation) {
    SelectedItem = 0;
    materials::ui::FrmFjgl materials(app::ui::MaterialsWindowParts());
    materials.Form_Load();
    bool shown = false;
    FormCloser closer([&](XZSPTab& form) { shown = form.parentWidget() == &materials; });
    materials.CmdSave_Click(3); // "行政审批申请书"
    EXPECT_TRUE(shown);
    // "项目基本信息" waits for a complete application form.
    db->Exec("update 资料模板 set 法人代表=NULL where 序号=1");
    db->Close();
    materials.CmdSave_Click(2);
    EXPECT_EQ(Messages(), "行政审批申请书填写不完整：【法人代表】...|");
    // A failure while opening names what was being done.
    db->DropColumn("资料模板", "单位地址");
    db->Close();
    materials.CmdSave_Click(2);
    EXPECT_EQ(prompter->messages.back().text.rfind("打开项目基本信息表未能完成。", 0), 0u);
}

} // namespace

namespace {

// What a print of the form records: every text with its place.
std::vector<std::string> PrintedPage(XZSPTab& w) {
    printing::RecordingPrinter printer;
    w.usePrinter(&printer);
    w.Command1_Click(1);
    std::vector<std::string> page;
    for (const auto& t : printer.texts)
        page.push_back(t.text + "@" + std::to_string(t.x) + "," + std::to_string(t.y));
    return page;
}

TEST_F(XZSPTabTest, TabEndsWithTheButtonsAndEnterPressesThem) {
    XZSPTab& w = Open(0);
    ASSERT_TRUE(testsupport::ShowActive(w));
    const QStringList cycle = testsupport::TabCycle(w.Text2(0).widget());
    ASSERT_GE(cycle.size(), 6);
    EXPECT_EQ(cycle.mid(cycle.size() - 6), (QStringList{"Check1_3", "Check1_4", "Command1_3",
                                                        "Command1_0", "Command1_1", "Command1_2"}));
    // Esc does not close the form; Enter on "退 出" does (nothing was changed).
    w.Command1(2).widget()->setFocus(Qt::TabFocusReason);
    testsupport::PressOnFocus(Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    testsupport::PressOnFocus(Qt::Key_Return);
    EXPECT_FALSE(w.isVisible());
    EXPECT_TRUE(prompter->messages.empty());
}

TEST_F(XZSPTabTest, ScrollsOnASmallScreenAndPrintsAsDesigned) {
    XZSPTab& w = Open(0);
    const std::vector<std::string> designed = PrintedPage(w);
    ASSERT_FALSE(designed.empty());
    w.fitToArea(QSize(1093, 600));
    ASSERT_NE(w.fitScroll(), nullptr);
    EXPECT_LE(w.height() + XZSPTab::FrameAllowance().height(), 600);
    EXPECT_EQ(w.scaleWidth(), 8205);
    EXPECT_EQ(w.scaleHeight(), 8820);
    EXPECT_EQ(PrintedPage(w), designed);
}

} // namespace

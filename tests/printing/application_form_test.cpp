#include "printing/application_form.h"

#include "platform/db.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "support/fixture_db.h"

#include <gtest/gtest.h>

using namespace printing;
using testsupport::FixtureDb;
using testsupport::TempDir;

namespace {

TEST(IsValidFieldValueTest, TestsPostcodesIdentityNumbersAndMailByColumn) {
    struct Case {
        const char* column;
        const char* value;
        bool valid;
    };
    const Case cases[] = {
        {"邮编", "310000", true},
        {"个人邮编", "31000", false},
        {"代理人邮编", "31000a", false},
        {"邮编", "3100.5", true},        // a six-character decimal is a number
        {"邮编", "３１００００", false}, // full-width digits: 12 bytes
        {"邮编", "3100000", false},
        {"邮编", "邮编12", false}, // six bytes, not a number
        {"个人身份证号", "330106198001010011", true},
        {"个人身份证号", "330106198001010019", true},    // the check digit is not examined
        {"代理人身份证号", "330106198002300011", false}, // 30 February
        {"个人身份证号", "330106800229001", true},       // 1980 is a leap year
        {"个人身份证号", "330106810229001", false},      // 1981 is not
        {"个人身份证号", "3301061980010100", false},     // 16 characters
        {"个人身份证号", "33010619800101A011", false},
        {"电子邮箱", "a@b.cn", true},
        {"个人电子邮箱", "a@b.c", false}, // five bytes
        {"电子邮箱", "ab.c@d", true},     // either order
        {"电子邮箱", "abcdef.cn", false},
        {"电子邮箱", "张@三.c", true}, // seven bytes in GBK
        {"单位名称", "x", true},
        {"行政审批项目名称", "'; drop table 资料模板; --", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IsValidFieldValue(c.column, c.value), c.valid) << c.column << " " << c.value;
}

TEST(ApplicationFaultsTest, ListsEveryFaultInItsOrder) {
    const std::vector<FormInput> group = {
        {"单位名称", "", true},         {"法人代表", "张三", true}, {"单位地址", "", true},
        {"联系电话", "x", true},        {"邮编", "31000", false},   {"电子邮箱", "", false},
        {"代理人身份证号", "1", false}, {"代理人邮编", "", false},
    };
    EXPECT_EQ(ApplicationFaults(group, "", false), "【单位名称】必须填写.\r\n"
                                                   "【单位地址】必须填写.\r\n"
                                                   "【行政审批项目名称】必须填写.\r\n"
                                                   "【行政区域】必须填写.\r\n"
                                                   "【邮编】填写错误.\r\n"
                                                   "【代理人身份证号】填写错误.\r\n");
    // An empty optional input is neither required nor format-tested.
    EXPECT_EQ(ApplicationFaults({{"个人邮编", "", false}}, "名称", true), "");
    EXPECT_EQ(ApplicationFaults({{"个人邮编", "123456", false}}, "名称", true), "");
}

TEST(ApplicationValuesTest, ApplicantTypeReceiptAndRegion) {
    EXPECT_EQ(ApplicantTypeOf("2"), ApplicantType::Individual);
    for (const char* unit : {"1", "", "2 ", "x", "02", "2.0"})
        EXPECT_EQ(ApplicantTypeOf(unit), ApplicantType::Unit) << unit;

    using Ways = std::array<bool, kReceiptWays>;
    EXPECT_EQ(ReceiptWays("10100"), (Ways{true, false, true, false, false}));
    EXPECT_EQ(ReceiptWays(""), Ways{});
    EXPECT_EQ(ReceiptWays("1"), (Ways{true, false, false, false, false}));
    EXPECT_EQ(ReceiptWays("1111111"), (Ways{true, true, true, true, true}));
    EXPECT_EQ(ReceiptWays("１邮1"), (Ways{false, false, true, false, false}));
    EXPECT_EQ(ReceiptText(Ways{}), "00000");
    EXPECT_EQ(ReceiptText(ReceiptWays("01001")), "01001");

    const std::vector<std::string> entries = {"110 甲", "11 乙", "510100 成都市"};
    EXPECT_EQ(RegionEntryIndex(entries, "11"), 1); // the code, not a part of it
    EXPECT_EQ(RegionEntryIndex(entries, "510100"), 2);
    EXPECT_EQ(RegionEntryIndex(entries, "510100.0"), 2);
    for (const char* none : {"", "abc", "999", "11x"})
        EXPECT_EQ(RegionEntryIndex(entries, none), -1) << none;
    EXPECT_EQ(RegionCode("510100 成都市"), 510100);
    EXPECT_EQ(RegionCode(""), 0);
}

TEST(ProjectNameTest, FollowsTheItemWhenItsFlagIsOne) {
    ApplicationItem item;
    item.申请事项简称 = "甲级资质申请";
    item.子项名称 = "变更";
    item.项目名称标识 = 1;
    EXPECT_TRUE(ProjectNameFollowsItem(item));
    EXPECT_EQ(InitialProjectName("", item), "甲级资质申请申请");
    EXPECT_EQ(InitialProjectName("已存名称", item), "已存名称");
    EXPECT_EQ(ProjectNameForUnit("某公司", item), "某公司甲级资质申请变更申请");
    item.子项名称.clear();
    EXPECT_EQ(ProjectNameForUnit("", item), "甲级资质申请申请");
    item.项目名称标识 = 0;
    EXPECT_FALSE(ProjectNameFollowsItem(item));
    EXPECT_EQ(InitialProjectName("", item), "");
}

// Item 1 stored as a unit, with an earlier individual's values still in its
// row; field definitions inherit four of its columns.
class StoreApplicationTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db = std::make_unique<FixtureDb>(dir.File("系统模板.mdb"));
        db->AddParameters();
        db->AddItem({.seq = 1,
                     .extra = {{"行政审批项目名称", "旧名称"},
                               {"行政区域", 510100},
                               {"单位个人", 1},
                               {"单位名称", "旧单位"},
                               {"个人姓名", "李四"},
                               {"个人身份证号", "330106198001010011"},
                               {"审批结果接收方式", "10000"}}});
        db->AddWord(1, 510100, "成都市");
        db->AddWord(1, 510300, "自贡市");
        db->AddField(
            {.order = 1, .name = "项目名称", .inheritFrom = "行政审批项目名称", .editable = 0});
        db->AddField(
            {.order = 2, .name = "所在地区", .kind = 4, .inheritFrom = "行政区域", .editable = 0});
        db->AddField(
            {.order = 3, .name = "申请单位", .kind = 3, .inheritFrom = "单位名称", .editable = 0});
        db->AddField({.order = 4, .name = "法人", .inheritFrom = "法人代表", .editable = 1});
        db->AddField({.order = 5, .name = "申请人", .inheritFrom = "个人姓名", .editable = 0});
        db->Close();
        ASSERT_TRUE(testsupport::StartProgram(dir.path()));
        SelectedItem = 0;
    }
    void TearDown() override { ResetGlobals(); }

    static ApplicationValues Unit() {
        ApplicationValues values;
        values.type = ApplicantType::Unit;
        values.projectName = "新名称";
        values.regionEntry = "510300 自贡市";
        values.receipt = {false, true, false, false, true};
        for (std::size_t i = 0; i < kUnitColumns.size(); ++i)
            values.group.emplace_back(kUnitColumns[i], "值" + std::to_string(i));
        return values;
    }
    std::string Item(const std::string& column) {
        return db->Text("select " + column + " from 资料模板 where 序号=1");
    }
    std::string Field(const std::string& name, const char* column = "字段值") {
        return db->Text(std::string("select ") + column + " from 项目基本信息 where 字段名称='" +
                        name + "'");
    }
    using Rows = std::vector<std::vector<testsupport::Cell>>;
    std::pair<Rows, Rows> Snapshot() {
        return {db->Rows("select * from 资料模板"), db->Rows("select * from 项目基本信息")};
    }

    TempDir dir;
    std::unique_ptr<FixtureDb> db;
    testsupport::ScopedFakePrompter prompter;
};

TEST_F(StoreApplicationTest, ReadsTheStoredRow) {
    const auto stored = ReadApplication();
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->applicantType, "1");
    EXPECT_EQ(stored->unit[0], "旧单位");
    EXPECT_EQ(stored->individual[0], "李四");
    EXPECT_EQ(stored->unit[1], ""); // null
    EXPECT_EQ(stored->region, "510100");
    EXPECT_EQ(stored->receipt, "10000");
    ItemTable[0].序号 = 99;
    EXPECT_FALSE(ReadApplication());
    ItemTable[0].序号 = 1;
    db->DropColumn("资料模板", "代理人电子邮箱");
    EXPECT_THROW(ReadApplication(), platform::db::DbError);
}

TEST_F(StoreApplicationTest, UnitSaveWritesItsGroupAndTheInheritingRows) {
    ASSERT_TRUE(SaveApplication(Unit()));
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "保存成功...");
    EXPECT_EQ(prompter->messages[0].title, "提示");
    EXPECT_EQ(Item("单位个人"), "1");
    EXPECT_EQ(Item("行政审批项目名称"), "新名称");
    EXPECT_EQ(Item("行政区域"), "510300");
    EXPECT_EQ(Item("审批结果接收方式"), "01001");
    EXPECT_EQ(Item("单位名称"), "值0");
    EXPECT_EQ(Item("代理人电子邮箱"), "值11");
    EXPECT_EQ(Item("个人姓名"), "李四"); // the other group keeps its columns
    EXPECT_EQ(Field("项目名称"), "新名称");
    EXPECT_EQ(Field("所在地区"), "510300");
    EXPECT_EQ(Field("申请单位", "备注值"), "值0"); // long text goes to 备注值
    EXPECT_EQ(Field("申请单位"), "");
    EXPECT_EQ(Field("法人"), ""); // editable rows are the basic form's own
    EXPECT_EQ(Field("申请人"), "");
}

TEST_F(StoreApplicationTest, IndividualSaveLeavesTheUnitColumns) {
    ApplicationValues values = Unit();
    values.type = ApplicantType::Individual;
    values.group.clear();
    for (const char* column : kIndividualColumns)
        values.group.emplace_back(column, std::string("个") + column);
    ASSERT_TRUE(SaveApplication(values));
    EXPECT_EQ(Item("单位个人"), "2");
    EXPECT_EQ(Item("个人姓名"), "个个人姓名");
    EXPECT_EQ(Item("单位名称"), "旧单位");
    EXPECT_EQ(Field("申请人"), "个个人姓名");
    EXPECT_EQ(Field("申请单位", "备注值"), "");
}

TEST_F(StoreApplicationTest, SubItemAndApostrophesReachOnlyTheirRows) {
    db->AddField({.subName = "变'更",
                  .order = 1,
                  .name = "子项名称",
                  .inheritFrom = "单位名称",
                  .editable = 0});
    SubItemName = "变'更";
    ApplicationValues values = Unit();
    values.group[0].second = "O'Brien 公司";
    ASSERT_TRUE(SaveApplication(values));
    EXPECT_EQ(Field("子项名称"), "O'Brien 公司");
    EXPECT_EQ(Field("申请单位", "备注值"), ""); // not selected for the sub-item
}

TEST_F(StoreApplicationTest, AFailingSaveWritesNothing) {
    const auto before = Snapshot();
    // The row itself is refused after the inheriting rows were updated.
    db->Exec("create trigger refuse before update on 资料模板 begin "
             "select raise(abort, 'refused'); end");
    db->Close();
    EXPECT_FALSE(SaveApplication(Unit()));
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "保存失败...");
    EXPECT_EQ(prompter->messages[0].icon, platform::MsgIcon::Information);
    EXPECT_EQ(Snapshot(), before);
    EXPECT_THROW(StoreApplication(Unit()), platform::db::DbError);
    EXPECT_EQ(Snapshot(), before);
    // A missing column fails the same way.
    db->Exec("drop trigger refuse");
    db->DropColumn("资料模板", "代理人电子邮箱");
    const auto withoutColumn = Snapshot();
    EXPECT_FALSE(SaveApplication(Unit()));
    EXPECT_EQ(Snapshot(), withoutColumn);
}

TEST_F(StoreApplicationTest, AVanishedRowIsNamedAndNothingIsWritten) {
    const auto before = Snapshot();
    ItemTable[0].序号 = 7;
    ItemTable[0].申请事项名称 = "消失的事项";
    EXPECT_EQ(StoreApplication(Unit()), StoreResult::ItemMissing);
    EXPECT_FALSE(SaveApplication(Unit()));
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_NE(prompter->messages[0].text.find("【消失的事项】"), std::string::npos);
    EXPECT_EQ(prompter->messages[0].text.find("保存成功"), std::string::npos);
    EXPECT_EQ(Snapshot(), before);
}

} // namespace

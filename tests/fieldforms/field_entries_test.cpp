#include "fieldforms/field_entries.h"

#include "platform/db.h"
#include "startup/mainbas.h"
#include "support/fixture_db.h"

#include <gtest/gtest.h>

using fieldforms::FieldEntry;

namespace {

TEST(FieldEntries, ListsStoreCodesAsWrittenAndNamesWhole) {
    struct Case {
        const char* entry;
        bool codes;
        const char* stored;
    };
    const Case cases[] = {
        {"0101 某某区", true, "0101"},
        {"510100 成都市", true, "510100"},
        {"一 级", false, "一 级"},
        {"3 级资质", false, "3 级资质"},
        {"", true, ""},
        {"", false, ""},
        {" 无代码", true, " 无代码"},
        {"甲级", true, "甲级"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fieldforms::ListStoredValue(c.entry, c.codes), c.stored) << c.entry;
}

TEST(FieldEntries, AStoredValueSelectsItsOwnEntryFirst) {
    const std::vector<std::string> codes = {"1010 乙地", "0101 某某", "101 丙地"};
    const std::vector<std::string> earlier = {"1010 乙地", "0101 某某"};
    const std::vector<std::string> names = {"甲级", "乙级", "二 级"};
    struct Case {
        const std::vector<std::string>* entries;
        const char* value;
        bool codes;
        int selected;
    };
    const Case cases[] =
        {
            {&codes, "0101", true, 1},
            {&codes, "101", true, 2}, // the exact code wins over 0101
            {&codes, "1010", true, 0},
            {&earlier, "101", true, 1}, // stored by an earlier version: 0101 as 101
            {&earlier, "0101 某某", true, 1},
            {&earlier, "10", true, 0}, // no entry's code: the first entry containing it
            {&names, "乙级", false, 1},
            {&names, "级", false, 0},
            {&names, "乙", false, 1}, // a preset for a renamed entry
            {&names, "丙级", false, -1},
            {&names, "二 级", false, 2},
            {&names, "", false, -1},
            {&codes, "", true, -1},
        };
    for (const Case& c : cases)
        EXPECT_EQ(fieldforms::FindListEntry(*c.entries, c.value, c.codes), c.selected) << c.value;
}

TEST(FieldEntries, NumbersAndDatesAsTheFormAcceptsThem) {
    for (const char* number : {"12.5", " 12.5 ", "-3", "+3", "1,234.5", "1e3", ".5", "7."})
        EXPECT_TRUE(fieldforms::IsNumberText(number)) << number;
    for (const char* text : {"12,5a", "abc", "", "  ", ",12", "12,", "1,,2", ".", "1e", "一"})
        EXPECT_FALSE(fieldforms::IsNumberText(text)) << text;

    struct Case {
        const char* text;
        const char* stored; // the text itself when it is no date
    };
    const Case dates[] = {
        {"2008-05-01", "2008-5-1"},   {"2008/5/1", "2008-5-1"},     {"2008.12.31", "2008-12-31"},
        {"2008年5月1日", "2008-5-1"}, {"2008年05月01", "2008-5-1"}, {" 2000-2-29 ", "2000-2-29"},
        {"1900-2-29", "1900-2-29"},   {"2008-13-1", "2008-13-1"},   {"08-5-1", "08-5-1"},
        {"2008-5/1", "2008-5/1"},     {"2008-5-1x", "2008-5-1x"},   {"", ""},
    };
    for (const Case& c : dates) {
        EXPECT_EQ(fieldforms::StoredDateText(c.text), c.stored) << c.text;
        EXPECT_EQ(fieldforms::ParseDate(c.text).has_value(), std::string(c.text) != c.stored)
            << c.text;
    }
    EXPECT_FALSE(fieldforms::ParseDate("1900-2-29")); // no leap year
}

class FieldEntriesDbTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db = std::make_unique<testsupport::FixtureDb>(dir.File("系统模板.mdb"));
        db->AddParameters();
        db->AddItem();
        db->AddField({.order = 1, .name = "名称", .length = 10, .required = 1});
        db->AddField({.order = 2, .name = "金额", .kind = 1, .required = 1});
        db->AddField({.order = 3, .name = "日期", .kind = 2});
        db->AddField({.order = 4, .name = "概况", .kind = 3, .value = "旧值", .length = 2});
        db->AddField({.order = 5, .name = "无长度", .length = nullptr});
        db->AddField({.order = 6, .name = "行政区域", .kind = 4});
        db->AddField({.order = 7, .name = "等级", .kind = 4, .required = 1});
        db->AddField({.order = 8, .name = "O'Brien", .value = "x"});
        db->AddField({.order = 9, .name = "申请单位", .length = 20, .inheritFrom = "单位名称"});
        db->Close();
        ASSERT_TRUE(testsupport::StartProgram(dir.path()));
        SelectedItem = 0;
    }
    void TearDown() override { ResetGlobals(); }

    std::string Stored(const std::string& column, int order) {
        return db->Text("select " + column +
                        " from 项目基本信息 where 排序号=" + std::to_string(order));
    }

    testsupport::TempDir dir;
    std::unique_ptr<testsupport::FixtureDb> db;
};

TEST_F(FieldEntriesDbTest, ChecksReportEveryFailureInTheFormsOrder) {
    const std::vector<FieldEntry> boxes = {
        {"名称*", "六个汉字超长"}, // 12 bytes over a limit of 10
        {"金额*", ""},
        {"日期", "2008/13/1"},
        {"概况", "长文本不受长度限制"},
        {"无长度", "a"},      // no length: any text is too long
        {"没有定义行*", "x"}, // no row: required only
        {"O'Brien", "1234567890"},
        {"申请单位", "某某某某某某某某某某公司"}, // read-only here: 24 bytes over 20
    };
    const std::vector<FieldEntry> lists = {{"行政区域", ""}, {"等级*", ""}};
    EXPECT_EQ(fieldforms::CheckFieldEntries(boxes, lists),
              "【金额】必须填写.\r\n"
              "【等级】必须填写.\r\n"
              "【名称】填写超长.\r\n"
              "【日期】必须填写日期型数据(yyyy-mm-dd).\r\n"
              "【无长度】填写超长.\r\n"
              "【申请单位】填写超长.（最多20字节，一个汉字计2字节；此项取自行政审批申请书，"
              "请在【行政审批申请书】中修改）\r\n");

    const std::vector<FieldEntry> passing = {
        {"名称*", "abcdefghij"}, {"金额*", " 12.5 "}, {"日期", "2008/5/1"}, {"无长度", "   "}};
    EXPECT_EQ(fieldforms::CheckFieldEntries(passing, {{"等级*", "甲级"}}), "");
    // Blanks fill a required text box and are checked no further.
    EXPECT_EQ(fieldforms::CheckFieldEntries({{"金额*", "  "}}, {}), "");
    EXPECT_EQ(fieldforms::CheckFieldEntries({{"金额*", "12,5a"}}, {}),
              "【金额】必须填写数值型数据.\r\n");
}

TEST_F(FieldEntriesDbTest, SavesEveryKindIntoItsColumn) {
    const std::vector<FieldEntry> boxes = {{"名称*", "某某"},      {"金额*", "12.5"},
                                           {"日期", "2008-05-01"}, {"概况", "第一行\r\n第二行"},
                                           {"没有定义行", "跳过"}, {"O'Brien", "y"}};
    const std::vector<FieldEntry> lists = {{"行政区域", "0101 某某区"}, {"等级*", "二 级"}};
    const fieldforms::SaveResult result = fieldforms::SaveFieldEntries(boxes, lists);
    ASSERT_TRUE(result.saved) << result.error;
    EXPECT_EQ(result.shownTexts, (std::vector<std::string>{"某某", "12.5", "2008-5-1",
                                                           "第一行\r\n第二行", "跳过", "y"}));
    EXPECT_EQ(Stored("字段值", 1), "某某");
    EXPECT_EQ(Stored("字段值", 2), "12.5");
    EXPECT_EQ(Stored("字段值", 3), "2008-5-1");
    EXPECT_EQ(Stored("备注值", 4), "第一行\r\n第二行");
    EXPECT_EQ(Stored("字段值", 4), "旧值"); // long text leaves 字段值 alone
    EXPECT_EQ(Stored("字段值", 6), "0101");
    EXPECT_EQ(Stored("字段值", 7), "二 级");
    EXPECT_EQ(Stored("字段值", 8), "y");

    // Nothing chosen stores an empty value.
    ASSERT_TRUE(fieldforms::SaveFieldEntries({}, {{"等级*", ""}}).saved);
    EXPECT_EQ(Stored("字段值", 7), "");
}

TEST_F(FieldEntriesDbTest, AFailingRowLeavesEveryRowAsItWas) {
    db->Exec("create trigger refuse before update on 项目基本信息 when new.字段名称='日期' "
             "begin select raise(abort, 'refused'); end");
    const fieldforms::SaveResult result = fieldforms::SaveFieldEntries(
        {{"名称*", "新名称"}, {"金额*", "1"}, {"日期", "2008-5-1"}}, {{"等级*", "甲级"}});
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.failedField, "日期");
    EXPECT_NE(result.error.find("refused"), std::string::npos);
    EXPECT_EQ(Stored("字段值", 1), "");
    EXPECT_EQ(Stored("字段值", 2), "");
    EXPECT_EQ(fieldforms::SaveFailureMessage(result).rfind("保存失败...\r\n【日期】\r\n", 0), 0u);

    // The failed save left no transaction open behind it.
    db->Exec("drop trigger refuse");
    EXPECT_TRUE(fieldforms::SaveFieldEntries({{"名称*", "新名称"}}, {}).saved);
    EXPECT_EQ(Stored("字段值", 1), "新名称");
}

TEST_F(FieldEntriesDbTest, AMissingColumnFailsTheCheckAndTheSaveAsAWhole) {
    db->DropColumn("项目基本信息", "字段长度");
    EXPECT_THROW(fieldforms::CheckFieldEntries({{"名称*", "x"}}, {}), platform::db::DbError);
    db->DropColumn("项目基本信息", "备注值");
    const fieldforms::SaveResult result =
        fieldforms::SaveFieldEntries({{"名称*", "新"}, {"概况", "长文本"}}, {});
    EXPECT_FALSE(result.saved);
    EXPECT_EQ(result.failedField, "概况");
    EXPECT_EQ(Stored("字段值", 1), "");
}

} // namespace

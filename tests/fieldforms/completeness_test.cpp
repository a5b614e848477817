#include "fieldforms/completeness.h"

#include "platform/db.h"
#include "platform/gbk.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "support/fixture_db.h"

#include <gtest/gtest.h>

#include <cstdlib>

using testsupport::Cell;
using testsupport::FixtureDb;
using testsupport::TempDir;

namespace {

std::string Expected(const std::string& name) {
    const char* data = std::getenv("QUILLOR_TEST_DATA");
    return testsupport::ReadFile(std::filesystem::path(data ? data : "tests/data") / "fieldforms" /
                                 name);
}

// Item 1 a unit, item 2 an individual; shared fields plus one of item 2's own.
class CompletenessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        db = std::make_unique<FixtureDb>(dir.File("系统模板.mdb"));
        db->AddParameters({.count = "2"});
        db->AddItem({.seq = 1,
                     .extra = {{"行政审批项目名称", "某某公司测试申请"},
                               {"行政区域", 3301},
                               {"审批结果接收方式", "10100"},
                               {"单位个人", 1},
                               {"单位名称", "某某公司"},
                               {"法人代表", "张三"},
                               {"单位地址", "杭州市西湖路1号"},
                               {"联系电话", "0571-88888888"},
                               {"邮编", "310000"},
                               {"电子邮箱", "a@b.cn"},
                               {"个人姓名", "不应出现"}}});
        db->AddItem({.seq = 2,
                     .extra = {{"单位个人", 2},
                               {"单位名称", "不应出现"},
                               {"个人姓名", "李四"},
                               {"个人身份证号", "330106198001010011"},
                               {"个人联系电话", "13800000000"}}});
        db->AddField({.order = 1, .name = "", .label = "一、基本情况"});
        db->AddField({.order = 2, .name = "项目名称", .value = "镕钢项目", .required = 1});
        db->AddField({.order = 3,
                      .name = "项目概况",
                      .kind = 3,
                      .value = "ignored",
                      .memo = "第一行\r\n第二行",
                      .required = 1});
        db->AddField({.order = 4, .name = "资料填报时间", .kind = 2, .value = "2008-5-1"});
        db->AddField({.seq = 2, .order = 5, .name = "个人事项编号", .kind = 1, .value = "7"});
        db->Close();
        ASSERT_TRUE(testsupport::StartProgram(dir.path()));
        SelectedItem = 0;
    }
    void TearDown() override { ResetGlobals(); }

    void Restore() {
        db->Exec("update 资料模板 set 法人代表='张三', 行政区域=3301 where 序号=1");
        db->Exec("update 项目基本信息 set 字段值='镕钢项目' where 排序号=2");
        db->Exec("update 项目基本信息 set 字段值='ignored', 备注值='第一行' where 排序号=3");
    }

    std::string Summary(int mode) {
        fieldforms::TextLines lines;
        fieldforms::WriteApplicationSummary(mode, lines);
        return lines.text();
    }

    TempDir dir;
    std::unique_ptr<FixtureDb> db;
};

TEST_F(CompletenessTest, SummariesMatchTheExpectedGbkFiles) {
    const auto gbk = [this](int item) {
        SelectedItem = static_cast<std::int16_t>(item);
        return platform::Utf8ToGbkLossless(Summary(1) + Summary(2));
    };
    EXPECT_EQ(gbk(0), Expected("summary_unit.txt"));
    db->Exec("update 项目基本信息 set 字段值=NULL, 备注值=NULL where 序号=0");
    EXPECT_EQ(gbk(1), Expected("summary_individual.txt"));
    // Mode 0 is both parts in order; other modes select nothing.
    EXPECT_EQ(Summary(0), Summary(1) + Summary(2));
    EXPECT_EQ(Summary(3), "");
    EXPECT_EQ(Summary(-1), "");
}

TEST_F(CompletenessTest, AnEmptyApplicantTypeIsAUnitAndAMissingRowWritesNothing) {
    db->Exec("update 资料模板 set 单位个人=NULL where 序号=1");
    const std::string unit = Summary(1);
    EXPECT_NE(unit.find("单位个人=1\r\n单位名称=某某公司\r\n"), std::string::npos);
    EXPECT_EQ(std::count(unit.begin(), unit.end(), '\n'), 16);
    ItemTable[0].序号 = 99; // the row vanished: nothing of the form, and no shared fields lost
    EXPECT_EQ(Summary(1), "");
    EXPECT_TRUE(fieldforms::CheckCompleteness(1));
}

TEST_F(CompletenessTest, ChecksEachModeAndReportsTheFirstIncompleteForm) {
    struct Case {
        const char* update; // makes one form incomplete, or nothing
        int mode;
        bool result;
        const char* message;
    };
    const char* const noForm = "update 资料模板 set 法人代表='' where 序号=1";
    const char* const noneComplete = "update 资料模板 set 法人代表='' where 序号=1; "
                                     "update 项目基本信息 set 字段值='' where 排序号=2";
    const char* const noRegion = "update 资料模板 set 行政区域=NULL where 序号=1";
    const char* const twoMissing = "update 资料模板 set 行政区域=NULL, 法人代表='' where 序号=1";
    const char* const noBasic = "update 项目基本信息 set 字段值='' where 字段名称='项目名称'";
    // A long-text field is complete by its 备注值, whatever 字段值 holds.
    const char* const noMemo = "update 项目基本信息 set 备注值='', 字段值='x' where 排序号=3";
    const char* const memoOnly = "update 项目基本信息 set 字段值=NULL where 排序号=3";
    // 字段类型 3.5 is read as everywhere else: a text box, complete by 字段值.
    const char* const fraction = "update 项目基本信息 set 字段类型='3.5', 备注值='' where 排序号=3";
    const Case cases[] = {
        {"", 0, true, nullptr},
        {memoOnly, 0, true, nullptr},
        {noneComplete, 0, false, "行政审批申请书填写不完整：【法人代表】..."},
        {noRegion, 1, false, "行政审批申请书填写不完整：【行政区域】..."},
        {twoMissing, 1, false, "行政审批申请书填写不完整：【行政区域】【法人代表】..."},
        {noForm, 2, true, nullptr},
        {noBasic, 1, true, nullptr},
        {noBasic, 0, false, "项目基本信息填写不完整：【项目名称】..."},
        {noMemo, 2, false, "项目基本信息填写不完整：【项目概况】..."},
        {fraction, 2, true, nullptr},
        {"", 7, true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.update) + " mode " + std::to_string(c.mode));
        if (*c.update)
            db->Exec(c.update);
        testsupport::ScopedFakePrompter prompter;
        EXPECT_EQ(fieldforms::CheckCompleteness(c.mode), c.result);
        if (c.message) {
            ASSERT_EQ(prompter->messages.size(), 1u);
            EXPECT_EQ(prompter->messages[0].text, c.message);
            EXPECT_EQ(prompter->messages[0].title, "错误提示");
            EXPECT_EQ(prompter->messages[0].icon, platform::MsgIcon::Critical);
        } else {
            EXPECT_TRUE(prompter->messages.empty());
        }
        Restore();
    }
}

TEST_F(CompletenessTest, EachApplicantNeedsItsOwnFourValues) {
    db->Exec("update 资料模板 set 行政审批项目名称='x', 行政区域=1, 个人住址='某地' where 序号=2");
    testsupport::ScopedFakePrompter prompter;
    const std::pair<int, std::vector<std::string>> applicants[] = {
        {1, {"个人姓名", "个人身份证号", "个人住址", "个人联系电话"}},
        {0, {"单位名称", "法人代表", "单位地址", "联系电话"}}};
    for (const auto& [item, columns] : applicants) {
        SelectedItem = static_cast<std::int16_t>(item);
        const std::string where = " where 序号=" + std::to_string(item + 1);
        EXPECT_TRUE(fieldforms::CheckCompleteness(1));
        for (const std::string& column : columns) {
            const std::string kept = db->Text("select " + column + " from 资料模板" + where);
            db->Exec("update 资料模板 set " + column + "=''" + where);
            EXPECT_FALSE(fieldforms::CheckCompleteness(1)) << column;
            EXPECT_EQ(prompter->messages.back().text,
                      "行政审批申请书填写不完整：【" + column + "】...");
            db->Exec("update 资料模板 set " + column + "='" + kept + "'" + where);
        }
    }
}

TEST_F(CompletenessTest, SubItemAndQuotedNamesSelectOnlyTheirRows) {
    db->AddField({.subName = "变'更", .order = 1, .name = "子项字段", .value = "v", .required = 1});
    SubItemName = "变'更";
    EXPECT_EQ(Summary(2), "子项字段=v\r\n");
    testsupport::ScopedFakePrompter prompter;
    EXPECT_TRUE(fieldforms::CheckCompleteness(2));
    db->DropColumn("项目基本信息", "字段类型");
    EXPECT_EQ(db->Text("select count(*) from 项目基本信息 where 子项='变''更'"), "1");
    EXPECT_THROW(Summary(2), platform::db::DbError);
}

} // namespace

// The materials list's content: the header from the template database and
// the rows in pages of 28, numbered across the pages.

#include "printing/materials_list.h"

#include "startup/mainbas.h"
#include "support/fixture_db.h"

#include <gtest/gtest.h>

using printing::ListHeader;
using testsupport::Cell;
using testsupport::FixtureDb;
using testsupport::TempDir;

namespace {

class ListHeaderTest : public ::testing::Test {
  protected:
    void SetUp() override { db = std::make_unique<FixtureDb>(dir.File("系统模板.mdb")); }
    void TearDown() override { ResetGlobals(); }

    void Start(int items, std::int16_t selected, const std::string& subItem = "") {
        db->AddParameters({.count = std::to_string(items)});
        db->Close();
        ASSERT_TRUE(testsupport::StartProgram(dir.path()));
        SelectedItem = selected;
        SubItemName = subItem;
    }
    testsupport::ItemRow Item(int seq, Cell unitOrPerson) {
        return {.seq = seq,
                .name = "事项" + std::to_string(seq),
                .extra = {{"行政审批项目名称", "项目" + std::to_string(seq)},
                          {"单位个人", unitOrPerson},
                          {"单位名称", "某某单位"},
                          {"个人姓名", "李四"}}};
    }

    TempDir dir;
    std::unique_ptr<FixtureDb> db;
};

} // namespace

TEST_F(ListHeaderTest, ApplicantIsThePersonOnlyWhen单位个人IsTwo) {
    const std::vector<std::pair<Cell, std::string>> cases = {
        {2, "李四"},     {"2", "李四"},        {"2.0", "李四"},
        {1, "某某单位"}, {Cell(), "某某单位"}, {"", "某某单位"},
        {3, "某某单位"}, {"x2", "某某单位"},   {"0", "某某单位"},
    };
    for (std::size_t i = 0; i < cases.size(); ++i)
        db->AddItem(Item(static_cast<int>(i + 1), cases[i].first));
    Start(static_cast<int>(cases.size()), 0);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SelectedItem = static_cast<std::int16_t>(i);
        const ListHeader header = printing::LoadListHeader();
        EXPECT_EQ(header.applicant, cases[i].second) << "单位个人 " << cases[i].first.Text();
        EXPECT_EQ(header.projectName, "项目" + std::to_string(i + 1));
        EXPECT_EQ(header.itemName, "事项" + std::to_string(i + 1));
    }
}

TEST_F(ListHeaderTest, FillingDateIsTheCurrentItemsAsStored) {
    db->AddItem(Item(1, 1));
    db->AddItem(Item(2, 1));
    db->AddItem(Item(3, 1));
    // A shared date (序号 0), one of item 2's own, a shared one of the sub-item
    // 变更, and one of another category.
    db->AddField({.seq = 0, .order = 1, .name = "资料填报时间", .kind = 2, .value = "2008-5-1"});
    db->AddField({.seq = 2, .order = 2, .name = "资料填报时间", .kind = 2, .value = "2009-6-2"});
    db->AddField({.subName = "变更",
                  .seq = 0,
                  .order = 3,
                  .name = "资料填报时间",
                  .kind = 2,
                  .value = "2010-7-3"});
    db->AddField(
        {.category = 4, .seq = 3, .order = 4, .name = "资料填报时间", .value = "1999-1-1"});
    db->AddField({.seq = 3, .order = 5, .name = "其他日期", .kind = 2, .value = "2011-1-1"});
    Start(3, 0);
    EXPECT_EQ(printing::LoadListHeader().fillingDate, "2008-5-1");
    SelectedItem = 2; // item 3 has only the shared row (and another category's)
    EXPECT_EQ(printing::LoadListHeader().fillingDate, "2008-5-1");
    SubItemName = "变更"; // only that sub-item's rows count
    SelectedItem = 0;
    EXPECT_EQ(printing::LoadListHeader().fillingDate, "2010-7-3");
    SubItemName = "延续"; // a sub-item without a date row
    EXPECT_EQ(printing::LoadListHeader().fillingDate, "");
    SubItemName = "它's"; // quoted into the query, not run as SQL
    EXPECT_EQ(printing::LoadListHeader().fillingDate, "");
    // Without the shared row, an item's own row counts, and other items' do not.
    db->Exec("delete from 项目基本信息 where 排序号=1");
    SubItemName.clear();
    SelectedItem = 1;
    EXPECT_EQ(printing::LoadListHeader().fillingDate, "2009-6-2");
    SubItemName = "变更";
    EXPECT_EQ(printing::LoadListHeader().fillingDate, "2010-7-3");
    SelectedItem = 2;
    SubItemName = "延续";
    EXPECT_EQ(printing::LoadListHeader().fillingDate, "");
}

TEST_F(ListHeaderTest, WithoutTheItemsRowTheWholeHeaderStaysEmpty) {
    db->AddItem(Item(1, 2));
    db->AddField({.order = 1, .name = "资料填报时间", .kind = 2, .value = "2008-5-1"});
    Start(1, 0);
    db->Exec("update 资料模板 set 序号=9 where 序号=1");
    const ListHeader header = printing::LoadListHeader();
    EXPECT_EQ(header.projectName + header.applicant + header.itemName + header.fillingDate, "");
}

TEST(ListPagesTest, RowsAreNumberedAcrossPagesOf28) {
    std::vector<std::string> titles;
    for (int i = 1; i <= 57; ++i)
        titles.push_back("文件" + std::to_string(i));
    struct Case {
        std::size_t rows;
        int pages;
    };
    for (const Case c :
         {Case{0, 1}, Case{1, 1}, Case{28, 1}, Case{29, 2}, Case{56, 2}, Case{57, 3}})
        EXPECT_EQ(printing::ListPageCount(c.rows), c.pages) << c.rows << " rows";

    const auto first = printing::ListPage(titles, 0);
    const auto second = printing::ListPage(titles, 1);
    const auto third = printing::ListPage(titles, 2);
    ASSERT_EQ(first.size(), 28u);
    ASSERT_EQ(second.size(), 28u);
    ASSERT_EQ(third.size(), 1u);
    EXPECT_EQ(first.front().number + first.front().title, "1文件1");
    EXPECT_EQ(first.back().number + first.back().title, "28文件28");
    EXPECT_EQ(second.front().number + second.front().title, "29文件29");
    EXPECT_EQ(third.front().number + third.front().title, "57文件57");
    EXPECT_TRUE(printing::ListPage(titles, 3).empty());
    EXPECT_TRUE(printing::ListPage(titles, -1).empty());
    EXPECT_TRUE(printing::ListPage({}, 0).empty());
}

#include "util/frmutil.h"

#include "support/fixture_db.h"
#include <gtest/gtest.h>

#include <vector>

using namespace platform::db;

namespace {

class ListRecorder : public util::ListControl {
  public:
    void Clear() override { items.clear(); }
    void AddItem(const std::string& text) override { items.push_back(text); }
    std::vector<std::string> items{"stale"};
};

class DatabaseUtilities : public ::testing::Test {
  protected:
    testsupport::TempDir dir;
    Connection connection;

    void SetUp() override {
        testsupport::FixtureDb db(dir.File("t.mdb"));
        db.AddWord(1, 0, "全省");
        db.AddWord(1, 2, "宁波市");
        db.AddWord(1, 1, "杭州市");
        db.AddWord(2, 1, "其他");
        db.Insert("综合词表", {{"类别", 1}, {"代码", 3}, {"名称", nullptr}});
        db.Close();
        connection.ConnectionString = "Dbq=t.mdb;DefaultDir=" + dir.path().string() + ";";
        connection.Open();
    }
};

} // namespace

TEST_F(DatabaseUtilities, FillFromDictionarySkipsCodeZeroAndOrdersByCode) {
    ListRecorder list;
    util::FillFromDictionary(1, list, 2, connection);
    EXPECT_EQ(list.items, (std::vector<std::string>{"1 杭州市", "2 宁波市", "3 "}));
    util::FillFromDictionary(1, list, 1, connection);
    EXPECT_EQ(list.items, (std::vector<std::string>{"杭州市", "宁波市", ""}));
    util::FillFromDictionary(9, list, 1, connection);
    EXPECT_TRUE(list.items.empty());
}

TEST_F(DatabaseUtilities, RecordCountFieldLookupAndFieldText) {
    Recordset rs;
    rs.Open("select * from 综合词表 where 类别=1", connection);
    EXPECT_EQ(util::GetRecordCount(rs), 4);
    EXPECT_EQ(util::FieldText(rs.Fields("代码")), "0"); // position unchanged by the count
    EXPECT_TRUE(util::HasField("名称", rs));
    EXPECT_FALSE(util::HasField("文件大小", rs));
    rs.MoveLast();
    EXPECT_EQ(util::FieldText(rs.Fields("名称")), "");

    Recordset items;
    items.Open("select * from 资料模板", connection);
    EXPECT_TRUE(util::HasField("xml模板", items)); // ASCII letters compare upper-cased
    EXPECT_TRUE(util::HasField("文件大小", items));

    Recordset empty;
    empty.Open("select * from 综合词表 where 类别=7", connection);
    EXPECT_EQ(util::GetRecordCount(empty), 0);
    empty.Close();
    EXPECT_EQ(util::GetRecordCount(empty), -1);
}

#include "platform/db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>
#include <vector>

using namespace platform::db;
namespace fs = std::filesystem;

namespace {

class DbLayer : public ::testing::Test {
  protected:
    fs::path dir = fs::temp_directory_path() / "quillor_db_test";
    fs::path file = dir / "系统模板.mdb";

    void SetUp() override {
        fs::remove_all(dir);
        fs::create_directories(dir);
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
        const char* sql = R"(
            CREATE TABLE 综合词表 (类别 INTEGER, 代码 INTEGER, 名称 TEXT);
            INSERT INTO 综合词表 VALUES (1, 2, '乙'), (1, 0, '无'), (1, 1, '甲'), (2, 5, NULL);
            CREATE TABLE 资料模板 (类别 INTEGER, 序号 INTEGER, 数量 TEXT, 比例 REAL, XML模板 BLOB);
            INSERT INTO 资料模板 VALUES (3, 12, '2.5', 1.5, x'00FF3C41');
            INSERT INTO 资料模板 VALUES (3, 13, NULL, NULL, NULL);)";
        ASSERT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK);
        sqlite3_close(db);
    }
    void TearDown() override { fs::remove_all(dir); }

    Connection& open() {
        connection.ConnectionString = "Driver={Microsoft Access Driver (*.mdb)};Dbq=系统模板.mdb;"
                                      "DefaultDir=" +
                                      dir.string() + ";Uid=Admin;Pwd=;";
        connection.Open("", "");
        return connection;
    }
    Connection connection;
};

std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
}

} // namespace

TEST_F(DbLayer, RunsTheQuotedQueriesAndReadsTypedValues) {
    Recordset rs;
    rs.Open("select * from 综合词表 where 类别=1 and 代码<>0 order by 代码", open());
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Fields("名称").GetValue().toText(), "甲");
    EXPECT_EQ(rs.Fields("代码").GetValue().type(), Value::Type::Integer);
    rs.MoveNext();
    EXPECT_EQ(rs.Fields(2).GetValue().toText(), "乙");
    EXPECT_EQ(rs.Fields(2).Name(), "名称");
    rs.MoveNext();
    EXPECT_TRUE(rs.Eof());

    Recordset upper;
    upper.Open("SELECT * FROM 资料模板 WHERE 类别=3 AND 序号=13", connection);
    EXPECT_TRUE(upper.Fields("数量").GetValue().isNull());
    EXPECT_TRUE(upper.Fields("XML模板").GetValue().isNull());
    EXPECT_EQ(upper.Fields("数量").GetValue().toText(), "");

    Recordset item;
    item.Open("select * from 资料模板 where 类别=3 and 序号=12", connection,
              CursorType::ForwardOnly, LockType::ReadOnly);
    EXPECT_EQ(item.Fields("数量").GetValue().type(), Value::Type::Text);
    EXPECT_EQ(item.Fields("数量").GetValue().toText(), "2.5");
    EXPECT_EQ(item.Fields("比例").GetValue().toText(), "1.5");
    EXPECT_EQ(item.Fields("xml模板").GetValue().blob()->size(), 4u); // ASCII part folds case
    EXPECT_THROW(item.Fields("缺少的列"), DbError);
}

TEST_F(DbLayer, EmptyResultIsEofAndCountsThroughAClone) {
    Recordset rs;
    rs.Open("select * from 综合词表 where 类别=9", open());
    EXPECT_TRUE(rs.Eof());
    EXPECT_EQ(rs.RecordCount(), 0);
    rs.Open("select * from 综合词表 where 类别=1", connection);
    Recordset clone = rs.Clone();
    clone.MoveLast();
    EXPECT_EQ(clone.RecordCount(), 3);
    EXPECT_EQ(rs.Fields("代码").GetValue().toText(), "2"); // original stays on its row
}

TEST_F(DbLayer, UpdateWritesTheAssignedValuesAtOnce) {
    Recordset rs;
    rs.Open("select * from 资料模板 where 类别=3 and 序号=13", open());
    rs.Fields("数量").SetValue("O'Brien 名称");
    rs.Fields("比例").SetValue(2.0);
    rs.Update();
    rs.Close();

    Recordset again;
    again.Open("select * from 资料模板 where 类别=3 and 数量='O''Brien 名称'", connection);
    ASSERT_FALSE(again.Eof());
    EXPECT_EQ(again.Fields("序号").GetValue().toText(), "13");
    EXPECT_EQ(again.Fields("比例").GetValue().toText(), "2");
    EXPECT_EQ(SqlQuote("O'Brien"), "'O''Brien'");

    Recordset readOnly;
    readOnly.Open("select * from 资料模板", connection, CursorType::ForwardOnly,
                  LockType::ReadOnly);
    EXPECT_THROW(readOnly.Fields("数量").SetValue("x"), DbError);
}

TEST_F(DbLayer, TransactionKeepsAllWritesOrNone) {
    const auto write = [this](const char* value, bool commit) {
        Transaction transaction(open());
        Recordset rs;
        rs.Open("select * from 资料模板 where 序号=13", connection);
        rs.Fields("数量").SetValue(value);
        rs.Update();
        EXPECT_THROW(Transaction nested(connection), DbError);
        if (commit)
            transaction.Commit();
    };
    const auto stored = [this] {
        Recordset rs;
        rs.Open("select * from 资料模板 where 序号=13", connection);
        return rs.Fields("数量").GetValue().toText();
    };
    write("kept", true);
    EXPECT_EQ(stored(), "kept");
    write("dropped", false); // leaves scope without Commit, as an exception would
    EXPECT_EQ(stored(), "kept");
    Connection closed;
    EXPECT_THROW(Transaction none(closed), DbError);
}

TEST_F(DbLayer, UpdateKeepsEmptyBinaryAndLargeIntegersExact) {
    Recordset rs;
    rs.Open("select * from 资料模板 where 类别=3 and 序号=13", open());
    rs.Fields("XML模板").SetValue(Blob{});
    rs.Fields("数量").SetValue(std::int64_t{9007199254740993});
    rs.Update();

    Recordset again;
    again.Open("select * from 资料模板 where 类别=3 and 序号=13", connection);
    const Value& xml = again.Fields("XML模板").GetValue();
    ASSERT_EQ(xml.type(), Value::Type::Binary);
    EXPECT_TRUE(xml.blob()->empty());
    EXPECT_EQ(again.Fields("数量").GetValue().toText(), "9007199254740993");
}

TEST_F(DbLayer, FieldFormQueriesRunWithQuotedNames) {
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.string().c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, R"(
        CREATE TABLE 项目基本信息 (类别 INTEGER, 子项 TEXT, 序号 INTEGER, 排序号 INTEGER,
                                  字段名称 TEXT, 字段值 TEXT);
        INSERT INTO 项目基本信息 VALUES (3, 'O''Neil 变更', 0, 2, '单位''名称', 'a'),
                                       (3, 'O''Neil 变更', 12, 1, '资料填报时间', 'b'),
                                       (3, '其他', 12, 3, '资料填报时间', 'c'),
                                       (3, 'O''Neil 变更', 13, 4, '资料填报时间', 'd');)",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(raw);

    const std::string prefix =
        "select * from 项目基本信息 where 类别=3 and 子项=" + SqlQuote("O'Neil 变更");
    Recordset rs;
    rs.Open(prefix + " and (序号=0 or 序号=12) order by 排序号", open());
    std::vector<std::string> values;
    for (; !rs.Eof(); rs.MoveNext())
        values.push_back(rs.Fields("字段值").GetValue().toText());
    EXPECT_EQ(values, (std::vector<std::string>{"b", "a"}));

    rs.Open(prefix + " and (序号=12 or 序号=0) and 字段名称=" + SqlQuote("单位'名称"), connection);
    ASSERT_FALSE(rs.Eof());
    rs.Fields("字段值").SetValue("改");
    rs.Update();
    rs.Open("SELECT * FROM 项目基本信息 WHERE 字段值='改' AND 序号<>12 ORDER BY 排序号",
            connection);
    EXPECT_EQ(rs.Fields("字段名称").GetValue().toText(), "单位'名称");
}

TEST_F(DbLayer, MisuseIsAnErrorNotACrash) {
    Recordset rs;
    rs.Open("select * from 综合词表", open());
    Field name = rs.Fields(0);
    rs.Close();
    EXPECT_THROW(name.Name(), DbError);
    EXPECT_THROW(name.GetValue(), DbError);
    EXPECT_FALSE(Value("+-3").toNumber().has_value());
    EXPECT_EQ(Value(" +3 ").toNumber(), 3.0);
}

TEST_F(DbLayer, FolderNamesMayHoldSemicolons) {
    const fs::path odd = dir / "a;b;";
    fs::create_directories(odd);
    fs::copy_file(file, odd / "系统模板.mdb");
    Connection c;
    c.ConnectionString =
        "Driver={Microsoft Access Driver (*.mdb)};Dbq=系统模板.mdb;DefaultDir=" + odd.string() +
        ";Uid=Admin;Pwd=;";
    ASSERT_NO_THROW(c.Open());
    EXPECT_EQ(c.DatabasePath(), odd / "系统模板.mdb");
}

TEST_F(DbLayer, QueryErrorsAreReportedAsErrors) {
    Recordset rs;
    EXPECT_THROW(rs.Open("select * from 不存在的表", open()), DbError);
    EXPECT_THROW(rs.Open("select * from 资料模板 where 不存在的列=1", connection), DbError);
    EXPECT_FALSE(rs.IsOpen());
    EXPECT_THROW(rs.Eof(), DbError);
}

TEST_F(DbLayer, BinaryStreamSavesLongBinaryByteForByte) {
    Recordset rs;
    rs.Open("select * from 资料模板 where 类别=3 and 序号=12", open());
    BinaryStream stream;
    stream.Open();
    stream.Write(rs.Fields("XML模板").GetValue());
    const fs::path out = dir / "模板.xml";
    stream.SaveToFile(out);
    stream.SaveToFile(out); // overwriting is allowed
    EXPECT_EQ(ReadBytes(out), std::string("\x00\xFF\x3C\x41", 4));
    EXPECT_THROW(stream.SaveToFile(out, false), DbError);
    stream.Close();
}

TEST_F(DbLayer, RefusesFilesThatAreNotTemplateDatabasesWithoutTouchingThem) {
    for (const std::string& content :
         {std::string(), std::string("random bytes that are no database at all"),
          std::string("\x00\x01\x00\x00Standard Jet DB\x00", 20)}) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << content;
        Connection c;
        c.ConnectionString = "Dbq=系统模板.mdb;DefaultDir=" + dir.string() + ";";
        EXPECT_THROW(c.Open(), DbError);
        EXPECT_FALSE(c.IsOpen());
        EXPECT_EQ(ReadBytes(file), content);
    }
    Connection missing;
    missing.ConnectionString = "Dbq=无.mdb;DefaultDir=" + dir.string() + ";";
    EXPECT_THROW(missing.Open(), DbError);
}

// Every statement is bounded in time; the database is opened defensively,
// with an untrusted schema.
TEST_F(DbLayer, StatementsAreBoundedAndTheSchemaIsNeverCode) {
    const auto limit = StatementTimeLimit();
    SetStatementTimeLimit(std::chrono::milliseconds(300));
    Recordset rs;
    EXPECT_THROW(rs.Open("with recursive c(n) as (select 1 union all select n+1 from c) "
                         "select count(*) from c",
                         open(), CursorType::ForwardOnly, LockType::ReadOnly),
                 DbInterrupted);
    SetStatementTimeLimit(limit);
    rs.Open("select count(*) from 综合词表", connection); // the next one has its own time
    EXPECT_EQ(rs.Fields(0).GetValue().toText(), "4");
    int trusted = -1, defensive = -1;
    sqlite3_db_config(connection.handle(), SQLITE_DBCONFIG_TRUSTED_SCHEMA, -1, &trusted);
    sqlite3_db_config(connection.handle(), SQLITE_DBCONFIG_DEFENSIVE, -1, &defensive);
    EXPECT_EQ(trusted * 10 + defensive, 1);
    EXPECT_EQ(Value("12").toNumber(), 12.0);
    EXPECT_EQ(Value("12abc").toNumber(), std::nullopt); // "12abc" is no number
    // Cells are checked against their pages, and no value may pass the length limit.
    rs.Open("pragma cell_size_check", connection);
    EXPECT_EQ(rs.Fields(0).GetValue().toText(), "1");
    EXPECT_EQ(sqlite3_limit(connection.handle(), SQLITE_LIMIT_LENGTH, -1), kMaxLengthBytes);
}

// The time limit counts from each statement's start, also when the statement
// must first read a schema that another program changed meanwhile: queries
// and updates of many steps run long after the opening.
TEST_F(DbLayer, TheTimeLimitCountsFromTheStatementNotFromTheOpening) {
    const auto limit = StatementTimeLimit();
    SetStatementTimeLimit(std::chrono::milliseconds(1000));
    open();
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(file.string().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "create table 新表 (a)", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(other);
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const std::string count = "with recursive c(n) as (select 1 union all select n+1 from c "
                              "where n < 100000) select count(*) from c";
    Recordset rs;
    EXPECT_NO_THROW(rs.Open(count, connection));
    EXPECT_NO_THROW(rs.Open("select * from 资料模板 where 序号=13", connection));
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    rs.Fields("数量").SetValue("x");
    EXPECT_NO_THROW(rs.Update());
    SetStatementTimeLimit(limit);
}

#include "startup/mainbas.h"

#include "support/fake_prompter.h"
#include "support/fixture_db.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/wait.h>

namespace fs = std::filesystem;
using testsupport::ScopedFakePrompter;

namespace {

const char* const kUnreadable = "无法读取系统参数文件,无法运行...";
const char* const kBadParameters = "系统参数文件错误,无法运行...";

class Startup : public ::testing::Test {
  protected:
    testsupport::TempDir temp;
    fs::path dir = temp.File("程序");
    fs::path database = dir / "系统模板.mdb";
    ScopedFakePrompter prompter;
    std::unique_ptr<testsupport::FixtureDb> db;

    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { ResetGlobals(); }

    void exec(const std::string& sql) { db->Exec(sql); }
    void createTables() {
        db.reset();
        db = std::make_unique<testsupport::FixtureDb>(database);
    }
    void parameters(int category, const std::string& count, const std::string& sub, int valid = 1) {
        db->AddParameters({.category = category,
                           .title = "标题" + std::to_string(category),
                           .shortName = "简称",
                           .count = count,
                           .subCount = sub,
                           .valid = valid});
    }
    // Rows are inserted in descending 序号 so that the loader has to order them.
    void items(int category, int rows, int firstNumber = 1) {
        for (int i = rows - 1; i >= 0; --i) {
            const std::string n = std::to_string(firstNumber + i);
            db->AddItem({.category = category,
                         .seq = firstNumber + i,
                         .subGroup = "0",
                         .subName = "子项" + n,
                         .name = "事项" + n,
                         .shortName = "简称" + n,
                         .storagePath = "/存储/" + n,
                         .fileMark = "标识" + n,
                         .nameFlag = "1"});
        }
    }
    bool start() {
        if (db)
            db->Close();
        return Main(dir);
    }
    std::string onlyMessage() {
        EXPECT_EQ(prompter->messages.size(), 1u);
        if (prompter->messages.empty())
            return {};
        EXPECT_EQ(prompter->messages[0].title, "严重错误");
        EXPECT_EQ(prompter->messages[0].icon, platform::MsgIcon::Critical);
        EXPECT_EQ(prompter->messages[0].buttons, platform::MsgButtons::Ok);
        return prompter->messages[0].text;
    }
};

} // namespace

TEST_F(Startup, LoadsTheCatalogueOfTheSmallestValidCategory) {
    createTables();
    parameters(5, "1", "1");
    parameters(2, "3", "1");
    parameters(1, "9", "1", 0);
    items(2, 3);
    items(5, 1, 40);
    prompter->printers = 0;
    ASSERT_TRUE(start());
    EXPECT_TRUE(prompter->messages.empty());
    EXPECT_EQ(PrinterCount, 0);
    EXPECT_EQ(CategoryCode, 2);
    EXPECT_EQ(CategoryTitle, "标题2");
    EXPECT_EQ(ItemCount, 3);
    ASSERT_EQ(ItemTable.size(), 3u);
    EXPECT_EQ(ItemTable[0].序号, 1);
    EXPECT_EQ(ItemTable[2].序号, 3);
    EXPECT_EQ(ItemTable[1].申请事项名称, "事项2");
    EXPECT_EQ(ItemTable[1].存储路径, "/存储/2");
    EXPECT_EQ(ItemTable[1].项目名称标识, 1);
    EXPECT_TRUE(TemplateConnection && TemplateConnection->IsOpen());
    SelectedItem = 2;
    // Every column but the two documents, which are read only on their own.
    const std::string query = SelectedItemQuery();
    EXPECT_TRUE(query.ends_with(" from 资料模板 where 类别=2 and 序号=3")) << query;
    EXPECT_NE(query.find("\"存储路径\""), std::string::npos) << query;
    for (const char* document : {"XML模板", "DOC模板"})
        EXPECT_EQ(query.find(document), std::string::npos) << query;
}

TEST_F(Startup, ReadsCountsAsLeadingNumbersRoundedHalfToEven) {
    createTables();
    parameters(2, "2.5", "1");
    items(2, 2);
    ASSERT_TRUE(start());
    EXPECT_EQ(ItemCount, 2);

    ResetGlobals();
    exec("DELETE FROM 系统参数; DELETE FROM 资料模板;");
    parameters(2, "3.5", "1");
    items(2, 4);
    ASSERT_TRUE(start());
    EXPECT_EQ(ItemCount, 4);
}

TEST_F(Startup, NullTextAndNumberColumnsLoadAsEmptyAndZero) {
    createTables();
    parameters(2, "1", "1");
    db->AddItem({.category = 2,
                 .seq = 7,
                 .subGroup = nullptr,
                 .name = "事项",
                 .shortName = "简称",
                 .fileMark = "",
                 .nameFlag = nullptr,
                 .extra = {{"子项名称", nullptr}, {"文件标识", nullptr}}});
    ASSERT_TRUE(start());
    EXPECT_EQ(ItemTable[0].子项序号, 0);
    EXPECT_EQ(ItemTable[0].子项名称, "");
    EXPECT_EQ(ItemTable[0].存储路径, "");
    EXPECT_EQ(ItemTable[0].文件标识, "");
    EXPECT_EQ(ItemTable[0].项目名称标识, 0);
}

TEST_F(Startup, MissingDatabaseEndsTheProgram) {
    EXPECT_FALSE(start());
    EXPECT_EQ(onlyMessage(), "缺少系统必须的参数文件,无法运行...");

    fs::create_directories(database); // a folder by that name cannot be read as a file
    prompter->messages.clear();
    EXPECT_FALSE(start());
    EXPECT_EQ(onlyMessage(), "缺少系统必须的参数文件,无法运行...");
}

TEST_F(Startup, ProgramFolderWithSemicolonsInItsName) {
    dir = temp.File("程;序;");
    database = dir / "系统模板.mdb";
    fs::create_directories(dir);
    createTables();
    parameters(2, "1", "1");
    items(2, 1);
    EXPECT_TRUE(start());
    EXPECT_TRUE(prompter->messages.empty());
    EXPECT_EQ(ItemTable.size(), 1u);
}

TEST_F(Startup, ForeignFilesAreUnreadableAndLeftAsTheyWere) {
    for (const std::string& content :
         {std::string(), std::string(4096, '\x5A'),
          std::string("\x00\x01\x00\x00Standard Jet DB\x00\x01\x00\x00\x00", 24),
          std::string("SQLite format 3\0", 16) + std::string(4080, '\xA5')}) {
        std::ofstream(database, std::ios::binary | std::ios::trunc) << content;
        prompter->messages.clear();
        EXPECT_FALSE(start());
        EXPECT_EQ(onlyMessage(), kUnreadable);
        EXPECT_EQ(testsupport::ReadFile(database), content);
        EXPECT_EQ(fs::directory_iterator(dir)->path().filename(), database.filename());
    }
}

TEST_F(Startup, InconsistentCataloguesAreUnreadable) {
    struct Case {
        std::string count, sub;
        int rows;
    };
    for (const Case& c : std::vector<Case>{{"3", "1", 2},
                                           {"3", "1", 4},
                                           {"0", "1", 0},
                                           {"", "1", 0},
                                           {"abc", "1", 0},
                                           {"2", "0", 0},
                                           {"2", "-1", 0},
                                           {"30000", "30000", 3}}) {
        SCOPED_TRACE(c.count + " x " + c.sub + " with " + std::to_string(c.rows));
        createTables();
        parameters(2, c.count, c.sub);
        items(2, c.rows);
        prompter->messages.clear();
        EXPECT_FALSE(start());
        EXPECT_EQ(onlyMessage(), kUnreadable);
    }
}

TEST_F(Startup, NoValidCategoryOrNegativeCountIsAParameterError) {
    createTables();
    parameters(2, "3", "1", 0);
    EXPECT_FALSE(start());
    EXPECT_EQ(onlyMessage(), kBadParameters);

    exec("DELETE FROM 系统参数");
    parameters(2, "-1", "-2");
    items(2, 2);
    prompter->messages.clear();
    EXPECT_FALSE(start());
    EXPECT_EQ(onlyMessage(), kBadParameters);
}

TEST_F(Startup, QueryAndConversionFailuresAreNamedNotCrashes) {
    createTables();
    parameters(2, "1", "1");
    db->AddItem({.category = 2, .extra = {{"序号", nullptr}}});
    EXPECT_FALSE(start());
    std::string text = onlyMessage();
    EXPECT_EQ(text.rfind("读取系统参数文件时出错，无法运行。", 0), 0u) << text;
    EXPECT_NE(text.find("序号"), std::string::npos) << text;

    exec("UPDATE 资料模板 SET 序号=1, 申请事项名称=NULL");
    prompter->messages.clear();
    EXPECT_FALSE(start());
    text = onlyMessage();
    EXPECT_NE(text.find("申请事项名称"), std::string::npos) << text;

    exec("UPDATE 资料模板 SET 申请事项名称='事项', 申请事项简称=NULL");
    prompter->messages.clear();
    EXPECT_FALSE(start());
    text = onlyMessage();
    EXPECT_NE(text.find("申请事项简称"), std::string::npos) << text;

    exec("UPDATE 资料模板 SET 申请事项简称='简称'; UPDATE 系统参数 SET 数量='40000'");
    prompter->messages.clear();
    EXPECT_FALSE(start());
    text = onlyMessage();
    EXPECT_NE(text.find("数量"), std::string::npos) << text;
    exec("UPDATE 系统参数 SET 数量='1'");

    exec("DROP TABLE 资料模板");
    prompter->messages.clear();
    EXPECT_FALSE(start());
    text = onlyMessage();
    EXPECT_NE(text.find("资料模板"), std::string::npos) << text;

    exec("UPDATE 系统参数 SET 类别=NULL");
    prompter->messages.clear();
    EXPECT_FALSE(start());
    EXPECT_NE(onlyMessage().find("类别"), std::string::npos);
}

// Template databases made to attack the program: each is refused at start-up
// with its own sentence, none hangs, none runs its SQL. "" as the expected
// text: the database must start (a failing column start-up never reads).
TEST_F(Startup, HostileDatabasesAreRefusedWithTheirReason) {
    const char* failing = " AS (abs(-9223372036854775807 - 1))"; // an overflow whenever read
    const std::pair<std::string, std::string> cases[] = {
        {"CREATE TRIGGER 清空 AFTER UPDATE ON 资料模板 BEGIN DELETE FROM 项目基本信息; END",
         "含有触发器“清空”（建在“资料模板”上）"},
        {"CREATE TABLE 日志(x); CREATE TRIGGER t AFTER INSERT ON 日志 BEGIN UPDATE 资料模板 SET "
         "文件标识='X'; END",
         "含有触发器“t”"},
        {"ALTER TABLE 系统参数 RENAME TO 参数; CREATE VIEW 系统参数 AS SELECT * FROM 参数",
         "“系统参数”是视图"},
        {"ALTER TABLE 资料模板 RENAME TO 模板; CREATE VIEW 资料模板 AS WITH RECURSIVE c(n) AS "
         "(SELECT 1 UNION ALL SELECT n+1 FROM c) SELECT 模板.* FROM 模板, c",
         "“资料模板”是视图"},
        {"DROP TABLE 项目基本信息; CREATE VIRTUAL TABLE 项目基本信息 USING fts4(字段名称)",
         "“项目基本信息”是虚拟表"},
        {std::string("ALTER TABLE 资料模板 ADD COLUMN 坏") + failing +
             "; ALTER TABLE 系统参数 ADD COLUMN 坏" + failing,
         ""},
    };
    for (const auto& [sql, expected] : cases) {
        SCOPED_TRACE(sql);
        createTables();
        parameters(2, "1", "1");
        items(2, 1);
        exec(sql);
        const std::string schema = db->Text("select group_concat(sql, ';') from sqlite_master");
        prompter->messages.clear();
        EXPECT_EQ(start(), expected.empty());
        if (!expected.empty()) {
            EXPECT_NE(onlyMessage().find(expected), std::string::npos);
        }
        EXPECT_EQ(db->Text("select group_concat(sql, ';') from sqlite_master"), schema);
        ResetGlobals();
    }
    // Every statement is bounded (here by no time at all): an unreadable database.
    createTables();
    parameters(2, "1", "1");
    items(2, 1);
    exec("WITH RECURSIVE c(n) AS (SELECT 1 UNION ALL SELECT n+1 FROM c WHERE n < 20000) "
         "INSERT INTO 资料模板(类别, 序号, 申请事项名称, 申请事项简称) SELECT 9, n, 'x', 'x' FROM "
         "c");
    const auto limit = platform::db::StatementTimeLimit();
    platform::db::SetStatementTimeLimit(std::chrono::milliseconds(0));
    prompter->messages.clear();
    EXPECT_FALSE(start());
    platform::db::SetStatementTimeLimit(limit);
    EXPECT_EQ(onlyMessage().rfind(std::string(kUnreadable) + "\n模板数据库中的查询在", 0), 0u);
    // Locked by another program: its own message.
    ResetGlobals();
    db->Exec("BEGIN EXCLUSIVE; UPDATE 系统参数 SET 简称='锁'");
    prompter->messages.clear();
    EXPECT_FALSE(Main(dir));
    EXPECT_NE(onlyMessage().find("正被其他程序使用"), std::string::npos);
    db->Exec("ROLLBACK");
}

// The whole program on a refused database, many times over: it ends with its
// message and status 1, never with a crash (the font set-up still running on
// its thread while the application object went). Run under ThreadSanitizer by
// the test script.
TEST_F(Startup, TheProgramEndsOnARefusedDatabaseWithItsMessageEveryTime) {
    const fs::path program(QUILLOR_PROGRAM);
    fs::copy_file(program, dir / "quillor");
    fs::create_directories(dir / "fonts");
    fs::copy_file(program.parent_path() / "fonts" / "quillor-fonts.conf",
                  dir / "fonts" / "quillor-fonts.conf");
    std::ofstream(database, std::ios::binary)
        << std::string("SQLite format 3\0", 16) << std::string(4080, '\xA5');
    const fs::path errors = temp.File("errors.txt");
    const std::string command =
        "cd \"" + dir.string() +
        "\" && QT_QPA_PLATFORM=offscreen ./quillor --check >/dev/null 2>\"" + errors.string() +
        "\"";
    for (int run = 0; run < 20; ++run) {
        const int status = std::system(command.c_str());
        const std::string said = testsupport::ReadFile(errors);
        ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "run " << run << ": " << said;
        ASSERT_NE(said.find(kUnreadable), std::string::npos) << said;
    }
}

TEST(ConnectionString, DriveRootKeepsItsBackslashOtherFoldersDoNot) {
    EXPECT_EQ(TemplateConnectionString("C:\\系统模板.mdb"),
              "Driver={Microsoft Access Driver (*.mdb)};Dbq=系统模板.mdb;DefaultDir=C:\\;"
              "Uid=Admin;Pwd=;");
    EXPECT_EQ(TemplateConnectionString("C:\\Prog\\系统模板.mdb"),
              "Driver={Microsoft Access Driver (*.mdb)};Dbq=系统模板.mdb;DefaultDir=C:\\Prog;"
              "Uid=Admin;Pwd=;");
    EXPECT_NE(TemplateConnectionString("/opt/程序/系统模板.mdb").find("DefaultDir=/opt/程序;"),
              std::string::npos);
    EXPECT_NE(TemplateConnectionString("/系统模板.mdb").find("DefaultDir=/;"), std::string::npos);
}

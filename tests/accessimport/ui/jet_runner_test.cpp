// The real importer program run as a child: the fixture template database
// converts value for value, real Access files import with the row counts of
// their table definitions, and damaged files fail within the child's limits
// without changing the program folder.

#include "accessimport/jet_import.h"
#include "accessimport/ui/jet_runner.h"

#include "support/fake_prompter.h"
#include "support/fixture_db.h"

#include <QCoreApplication>
#include <QProcess>
#include <QStandardPaths>
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using accessimport::JetImportStatus;

fs::path U8(const std::string& name) {
    return fs::path(std::u8string(name.begin(), name.end()));
}

fs::path FromEnvironment(const char* name) {
    const char* value = std::getenv(name);
    return value ? fs::path(value) : fs::path();
}

fs::path Importer() {
    return FromEnvironment("QUILLOR_IMPORT_MDB");
}
fs::path FixtureMdb() {
    return FromEnvironment("QUILLOR_TEST_DATA") / "jet" / "template_jet4.mdb";
}
fs::path FixtureExpected() {
    return FromEnvironment("QUILLOR_TEST_DATA") / "jet" / "template_jet4.expected.sqlite";
}

using TempFolder = testsupport::TempDir;
using testsupport::ReadFile;
using testsupport::WriteFile;

std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = ReadFile(entry.path());
    return files;
}

struct DbCloser {
    void operator()(sqlite3* db) const { sqlite3_close(db); }
};
using Db = std::unique_ptr<sqlite3, DbCloser>;

Db OpenDb(const fs::path& file) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(file.string().c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    return Db(raw);
}

// One value with its storage class: "NULL", "INTEGER:5", "TEXT:abc", "BLOB:<bytes>".
using Row = std::vector<std::string>;

std::vector<Row> Query(sqlite3* db, const std::string& sql) {
    std::vector<Row> rows;
    sqlite3_stmt* raw = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &raw, nullptr), SQLITE_OK)
        << sql << ": " << sqlite3_errmsg(db);
    std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)> stmt(raw, sqlite3_finalize);
    while (raw && sqlite3_step(raw) == SQLITE_ROW) {
        Row row;
        for (int i = 0; i < sqlite3_column_count(raw); ++i) {
            switch (sqlite3_column_type(raw, i)) {
            case SQLITE_NULL:
                row.push_back("NULL");
                break;
            case SQLITE_INTEGER:
                row.push_back("INTEGER:" + std::to_string(sqlite3_column_int64(raw, i)));
                break;
            case SQLITE_FLOAT:
                row.push_back("REAL:" + std::to_string(sqlite3_column_double(raw, i)));
                break;
            default: {
                const auto* data = static_cast<const char*>(sqlite3_column_blob(raw, i));
                const std::string kind =
                    sqlite3_column_type(raw, i) == SQLITE_TEXT ? "TEXT:" : "BLOB:";
                row.push_back(kind + std::string(data ? data : "", sqlite3_column_bytes(raw, i)));
            }
            }
        }
        rows.push_back(row);
    }
    return rows;
}

std::vector<std::string> Tables(sqlite3* db) {
    std::vector<std::string> names;
    for (const Row& row :
         Query(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY name"))
        names.push_back(row[0].substr(std::string("TEXT:").size()));
    return names;
}

bool Import(const fs::path& in, const fs::path& out, std::string& detail,
            accessimport::ui::ChildImportLimits limits = {}) {
    return accessimport::ui::MakeChildImportRunner(Importer(), limits)(in, out, detail);
}

class JetRunnerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (Importer().empty() || !fs::exists(Importer()))
            GTEST_SKIP() << "QUILLOR_IMPORT_MDB does not name the importer program";
        if (!fs::exists(FixtureMdb()))
            GTEST_SKIP() << "QUILLOR_TEST_DATA does not hold jet/template_jet4.mdb";
    }
    TempFolder folder;
};

TEST_F(JetRunnerTest, FixtureImportEqualsExpectedDatabaseValueForValue) {
    const fs::path out = folder.path() / "out.sqlite";
    std::string detail;
    ASSERT_TRUE(Import(FixtureMdb(), out, detail)) << detail;
    EXPECT_NE(detail.find("4 个表"), std::string::npos) << detail;

    Db actual = OpenDb(out), expected = OpenDb(FixtureExpected());
    ASSERT_EQ(Tables(actual.get()), Tables(expected.get()));
    // The conversion makes tables and nothing else: never a trigger, view,
    // virtual table or index, which start-up would refuse.
    EXPECT_EQ(Query(actual.get(), "SELECT count(*) FROM sqlite_master WHERE type<>'table' OR "
                                  "sql NOT LIKE 'CREATE TABLE %'"),
              (std::vector<Row>{{"INTEGER:0"}}));
    for (const std::string& table : Tables(expected.get())) {
        const std::string columns = "SELECT name, type FROM pragma_table_info('" + table + "')";
        EXPECT_EQ(Query(actual.get(), columns), Query(expected.get(), columns)) << table;
        const std::string rows = "SELECT * FROM " + table + " ORDER BY rowid";
        EXPECT_EQ(Query(actual.get(), rows), Query(expected.get(), rows)) << table;
    }
}

TEST_F(JetRunnerTest, TemplateBesideProgramIsConvertedOnceAndCatalogueReadable) {
    const fs::path database = folder.path() / U8("系统模板.mdb");
    fs::copy_file(FixtureMdb(), database);
    testsupport::ScopedFakePrompter prompter;
    const auto runner = accessimport::ui::MakeChildImportRunner(Importer());

    const auto outcome = accessimport::ConvertJetTemplate(database, runner);

    ASSERT_EQ(outcome.status, JetImportStatus::Converted) << outcome.detail;
    EXPECT_EQ(ReadFile(outcome.backupPath), ReadFile(FixtureMdb()));
    ASSERT_EQ(prompter->messages.size(), 1u);
    Db db = OpenDb(database);
    const auto category = Query(db.get(), "select * from 系统参数 WHERE 有效=1 ORDER BY 类别");
    ASSERT_EQ(category.size(), 1u);
    EXPECT_EQ(category[0][1], "TEXT:水土保持方案审批");
    const auto items =
        Query(db.get(), "select 申请事项简称 from 资料模板 where 类别=2 ORDER BY 序号");
    EXPECT_EQ(items, (std::vector<Row>{{"TEXT:报告书"}, {"TEXT:报告表"}}));
    db.reset();

    EXPECT_EQ(accessimport::ConvertJetTemplate(database, runner).status, JetImportStatus::NotJet);
    EXPECT_EQ(prompter->messages.size(), 1u);
}

std::string DamagedByRandomBytes(const std::string& original) {
    std::mt19937 random(6);
    std::string bytes = original.substr(0, 4096);
    while (bytes.size() < original.size())
        bytes += static_cast<char>(random() & 0xFF);
    return bytes;
}

std::string RenamedCategoryTable(std::string bytes) {
    const std::string from("\xFB\x7C\xDF\x7E\xC2\x53\x70\x65", 8); // 系统参数 in UTF-16LE
    const std::string to("\xFB\x7C\xDF\x7E\xC2\x53\x03\x80", 8);   // 系统参考
    const auto at = bytes.find(from);
    EXPECT_NE(at, std::string::npos);
    if (at != std::string::npos)
        bytes.replace(at, from.size(), to);
    return bytes;
}

TEST_F(JetRunnerTest, DamagedTemplatesFailWithinLimitsAndLeaveFolderUnchanged) {
    const std::string original = ReadFile(FixtureMdb());
    const std::map<std::string, std::string> damaged = {
        {"truncated", original.substr(0, original.size() / 3)},
        {"random bytes after the header", DamagedByRandomBytes(original)},
        {"without the four tables", RenamedCategoryTable(original)},
    };
    const accessimport::ui::ChildImportLimits limits{std::chrono::seconds(20), 512};
    const auto runner = accessimport::ui::MakeChildImportRunner(Importer(), limits);
    testsupport::ScopedFakePrompter prompter;
    for (const auto& [name, bytes] : damaged) {
        const fs::path database = folder.path() / U8("系统模板.mdb");
        WriteFile(database, bytes);
        const auto before = Snapshot(folder.path());
        const auto started = Clock::now();

        const auto outcome = accessimport::ConvertJetTemplate(database, runner);

        EXPECT_EQ(outcome.status, JetImportStatus::Failed) << name;
        EXPECT_FALSE(outcome.detail.empty()) << name;
        EXPECT_LT(Clock::now() - started, limits.timeLimit + std::chrono::seconds(6)) << name;
        EXPECT_EQ(Snapshot(folder.path()), before) << name;
    }
    EXPECT_TRUE(prompter->messages.empty());
}

TEST_F(JetRunnerTest, CharacterOutsideTheBmpIsStoredWholeAndReported) {
    // 杭州 in the word list becomes U+20000, a surrogate pair of the same length.
    std::string bytes = ReadFile(FixtureMdb());
    const std::string from("\x6D\x67\xDE\x5D", 4), to("\x40\xD8\x00\xDC", 4);
    const auto at = bytes.find(from);
    ASSERT_NE(at, std::string::npos);
    bytes.replace(at, from.size(), to);
    const fs::path in = folder.path() / "in.mdb", out = folder.path() / "out.sqlite";
    WriteFile(in, bytes);
    std::string detail;

    ASSERT_TRUE(Import(in, out, detail)) << detail;

    EXPECT_NE(detail.find("综合词表.名称 第 2 行 含 1 个基本多文种平面以外的字符"),
              std::string::npos)
        << detail;
    EXPECT_EQ(Query(OpenDb(out).get(), "SELECT 名称 FROM 综合词表 WHERE 代码=330100"),
              (std::vector<Row>{{"TEXT:\U00020000市"}}));
}

TEST_F(JetRunnerTest, StrayCharsetSettingsOfTheParentDoNotReachTheImport) {
    qputenv("MDBICONV", "ASCII");
    qputenv("MDB_JET3_CHARSET", "ASCII");
    const fs::path out = folder.path() / "out.sqlite";
    std::string detail;
    const bool imported = Import(FixtureMdb(), out, detail);
    qunsetenv("MDBICONV");
    qunsetenv("MDB_JET3_CHARSET");

    ASSERT_TRUE(imported) << detail;
    EXPECT_EQ(Query(OpenDb(out).get(), "SELECT 标题名称 FROM 系统参数"),
              (std::vector<Row>{{"TEXT:水土保持方案审批"}}));
}

TEST_F(JetRunnerTest, ImporterRefusesToOverwriteAndNeedsTwoPaths) {
    const fs::path out = folder.path() / "out.sqlite";
    WriteFile(out, "keep me");
    std::string detail;
    EXPECT_FALSE(Import(FixtureMdb(), out, detail));
    EXPECT_EQ(ReadFile(out), "keep me");

    QProcess process;
    process.start(QString::fromStdString(Importer().string()), {QStringLiteral("only-one.mdb")});
    ASSERT_TRUE(process.waitForFinished(10000));
    EXPECT_EQ(process.exitCode(), 2);
}

#if defined(__unix__) && !defined(__SANITIZE_ADDRESS__)
TEST_F(JetRunnerTest, ChildOverItsMemoryLimitFails) {
    std::string detail;
    EXPECT_FALSE(
        Import(FixtureMdb(), folder.path() / "out.sqlite", detail, {std::chrono::seconds(20), 1}));
}
#endif

#if defined(__unix__)
TEST_F(JetRunnerTest, ChildOverItsTimeIsKilled) {
    const fs::path sleeper = folder.path() / "sleeper.sh";
    WriteFile(sleeper, "#!/bin/sh\nexec sleep 30\n");
    fs::permissions(sleeper, fs::perms::owner_all);
    const auto runner =
        accessimport::ui::MakeChildImportRunner(sleeper, {std::chrono::milliseconds(500), 512});
    std::string detail;
    const auto started = Clock::now();

    EXPECT_FALSE(runner(FixtureMdb(), folder.path() / "out.sqlite", detail));

    EXPECT_LT(Clock::now() - started, std::chrono::seconds(6));
    EXPECT_NE(detail.find("时限"), std::string::npos) << detail;
}
TEST_F(JetRunnerTest, ChildKilledBySignalIsAFailure) {
    const fs::path victim = folder.path() / "victim.sh";
    WriteFile(victim, "#!/bin/sh\necho started\nkill -KILL $$\n");
    fs::permissions(victim, fs::perms::owner_all);
    std::string detail;

    EXPECT_FALSE(
        accessimport::ui::MakeChildImportRunner(victim)(FixtureMdb(), "out.sqlite", detail));

    EXPECT_NE(detail.find("异常终止"), std::string::npos) << detail;
}
#endif

TEST(JetRunner, MissingImporterProgramIsAFailure) {
    std::string detail;
    const auto runner = accessimport::ui::MakeChildImportRunner("/nonexistent/quillor-import-mdb");
    EXPECT_FALSE(runner("in.mdb", "out.sqlite", detail));
    EXPECT_NE(detail.find("quillor-import-mdb"), std::string::npos);
}

// Row count of a table as its Jet definition records it, through mdb-count.
long DeclaredRowCount(const fs::path& file, const std::string& table) {
    QProcess count;
    count.start(QStringLiteral("mdb-count"),
                {QString::fromStdString(file.string()), QString::fromStdString(table)});
    if (!count.waitForFinished(30000) || count.exitCode() != 0)
        return -1;
    return count.readAllStandardOutput().trimmed().toLong();
}

TEST_F(JetRunnerTest, PublicAccessFilesImportWithDeclaredRowCounts) {
    const fs::path publicFolder = FromEnvironment("QUILLOR_SHARED") / "fixtures" / "public";
    if (!fs::is_directory(publicFolder))
        GTEST_SKIP() << "no public Access files beside the project";
    const bool haveMdbCount =
        !QStandardPaths::findExecutable(QStringLiteral("mdb-count")).isEmpty();
    int files = 0;
    for (const auto& entry : fs::directory_iterator(publicFolder)) {
        if (entry.path().extension() != ".mdb")
            continue;
        ++files;
        const fs::path out = folder.path() / (entry.path().stem().string() + ".sqlite");
        std::string detail;
        ASSERT_TRUE(Import(entry.path(), out, detail)) << entry.path() << ": " << detail;
        Db db = OpenDb(out);
        const auto tables = Tables(db.get());
        EXPECT_FALSE(tables.empty()) << entry.path();
        for (const std::string& table : tables) {
            const auto rows = Query(db.get(), "SELECT count(*) FROM \"" + table + "\"");
            if (haveMdbCount) {
                EXPECT_EQ(rows.at(0).at(0),
                          "INTEGER:" + std::to_string(DeclaredRowCount(entry.path(), table)))
                    << entry.path() << " " << table;
            }
        }
    }
    EXPECT_GT(files, 0);
}

TEST_F(JetRunnerTest, PublicFilesKeepChineseNamesAndLongBinaries) {
    const fs::path publicFolder = FromEnvironment("QUILLOR_SHARED") / "fixtures" / "public";
    if (!fs::exists(publicFolder / "pti_DB_shenzhen.mdb") ||
        !fs::exists(publicFolder / "gbk_cp936hdr.mdb") || !fs::exists(publicFolder / "nwind.mdb"))
        GTEST_SKIP() << "no public Access files beside the project";
    std::string detail;
    const fs::path pti = folder.path() / "pti.sqlite", gbk = folder.path() / "gbk.sqlite",
                   nwind = folder.path() / "nwind.sqlite";
    ASSERT_TRUE(Import(publicFolder / "pti_DB_shenzhen.mdb", pti, detail)) << detail;
    ASSERT_TRUE(Import(publicFolder / "gbk_cp936hdr.mdb", gbk, detail)) << detail;
    EXPECT_NE(detail.find("CP936"), std::string::npos) << detail;
    ASSERT_TRUE(Import(publicFolder / "nwind.mdb", nwind, detail)) << detail;

    EXPECT_EQ(Query(OpenDb(pti).get(), "SELECT count(编号) > 0 FROM Temp_Shed"),
              (std::vector<Row>{{"INTEGER:1"}}));
    EXPECT_EQ(Query(OpenDb(gbk).get(), "SELECT count(*) > 0 FROM 系统参数"),
              (std::vector<Row>{{"INTEGER:1"}}));
    // every picture is a non-empty BLOB, byte for byte the same in both files
    const auto pictures =
        Query(OpenDb(nwind).get(), "SELECT Picture FROM Categories ORDER BY rowid");
    EXPECT_EQ(pictures, Query(OpenDb(gbk).get(), "SELECT Picture FROM Categories ORDER BY rowid"));
    ASSERT_FALSE(pictures.empty());
    for (const Row& picture : pictures) {
        EXPECT_TRUE(picture[0].starts_with("BLOB:"));
        EXPECT_GT(picture[0].size(), 1000u);
    }
}

} // namespace

// Detection of Access/Jet template databases and the safe replacement of the
// file by its SQLite conversion (the conversion itself is scripted here).

#include "accessimport/jet_import.h"

#include "support/fake_prompter.h"
#include "support/fixture_db.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using accessimport::ConvertJetTemplate;
using accessimport::JetImportStatus;

fs::path U8(const std::string& name) {
    return fs::path(std::u8string(name.begin(), name.end()));
}

using TempFolder = testsupport::TempDir;
using testsupport::ReadFile;
using testsupport::WriteFile;

// Every file of the folder with its content.
std::map<std::string, std::string> Snapshot(const fs::path& folder) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(folder))
        files[entry.path().filename().string()] = ReadFile(entry.path());
    return files;
}

std::string JetHeader(const char* signature) {
    std::string bytes("\x00\x01\x00\x00", 4);
    bytes += signature;
    bytes += std::string(2048 - bytes.size(), '\x5a');
    return bytes;
}

void MakeSqlite(const fs::path& file, const std::vector<std::string>& tables) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file.string().c_str(), &db), SQLITE_OK);
    for (const auto& table : tables) {
        const std::string sql =
            "CREATE TABLE " + table + " (类别 INTEGER); INSERT INTO " + table + " VALUES (2)";
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    }
    sqlite3_close(db);
}

const std::vector<std::string> kFourTables = {"系统参数", "资料模板", "综合词表", "项目基本信息"};

class JetImportTest : public ::testing::Test {
  protected:
    TempFolder folder;
    fs::path database = folder.path() / U8("系统模板.mdb");
    std::string original = JetHeader("Standard Jet DB");
    testsupport::ScopedFakePrompter prompter;
    std::vector<std::pair<fs::path, fs::path>> calls;

    void SetUp() override { WriteFile(database, original); }

    accessimport::JetImportRunner Runner(std::vector<std::string> tables = kFourTables) {
        return [this, tables](const fs::path& in, const fs::path& out, std::string&) {
            calls.emplace_back(in, out);
            MakeSqlite(out, tables);
            return true;
        };
    }
};

TEST(IsJetFile, RecognisesJetAndAceSignaturesAtByteFourOnly) {
    TempFolder folder;
    const fs::path file = folder.path() / "a.mdb";
    WriteFile(file, JetHeader("Standard Jet DB"));
    EXPECT_TRUE(accessimport::IsJetFile(file));
    WriteFile(file, JetHeader("Standard ACE DB"));
    EXPECT_TRUE(accessimport::IsJetFile(file));
    WriteFile(file, "Standard Jet DB and more text after it");
    EXPECT_FALSE(accessimport::IsJetFile(file));
    MakeSqlite(folder.path() / "b.mdb", {"t"});
    EXPECT_FALSE(accessimport::IsJetFile(folder.path() / "b.mdb"));
    WriteFile(file, std::string("\x00\x01\x00\x00Standard", 12));
    EXPECT_FALSE(accessimport::IsJetFile(file));
    EXPECT_FALSE(accessimport::IsJetFile(folder.path() / "missing.mdb"));
}

TEST_F(JetImportTest, SqliteDatabaseIsLeftAloneWithoutRunningTheImporter) {
    fs::remove(database);
    MakeSqlite(database, kFourTables);
    const auto before = Snapshot(folder.path());

    const auto outcome = ConvertJetTemplate(database, Runner());

    EXPECT_EQ(outcome.status, JetImportStatus::NotJet);
    EXPECT_TRUE(calls.empty());
    EXPECT_EQ(Snapshot(folder.path()), before);
    EXPECT_TRUE(prompter->messages.empty());
}

TEST_F(JetImportTest, ConversionKeepsOriginalBesideNewFileAndTellsUserOnce) {
    WriteFile(folder.path() / U8("系统模板.mdb.import.tmp"), "left by an interrupted start");

    const auto outcome = ConvertJetTemplate(database, Runner());

    ASSERT_EQ(outcome.status, JetImportStatus::Converted) << outcome.detail;
    const fs::path backup = folder.path() / U8("系统模板(Access原件).mdb");
    EXPECT_EQ(outcome.backupPath, backup);
    EXPECT_EQ(ReadFile(backup), original);
    EXPECT_FALSE(accessimport::IsJetFile(database));
    EXPECT_EQ(ReadFile(database).substr(0, 15), "SQLite format 3");
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].first, database);
    EXPECT_EQ(calls[0].second.parent_path(), folder.path());
    EXPECT_NE(calls[0].second, database);
    EXPECT_EQ(Snapshot(folder.path()).size(), 2u) << "no temporary file may stay behind";
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].title, "提示");
    EXPECT_EQ(prompter->messages[0].icon, platform::MsgIcon::Information);
    EXPECT_NE(prompter->messages[0].text.find(backup.string()), std::string::npos);

    EXPECT_EQ(ConvertJetTemplate(database, Runner()).status, JetImportStatus::NotJet);
    EXPECT_EQ(prompter->messages.size(), 1u);
}

TEST_F(JetImportTest, EarlierBackupIsNeverOverwritten) {
    WriteFile(folder.path() / U8("系统模板(Access原件).mdb"), "first original");
    WriteFile(folder.path() / U8("系统模板(Access原件2).mdb"), "second original");

    const auto outcome = ConvertJetTemplate(database, Runner());

    ASSERT_EQ(outcome.status, JetImportStatus::Converted) << outcome.detail;
    EXPECT_EQ(outcome.backupPath, folder.path() / U8("系统模板(Access原件3).mdb"));
    EXPECT_EQ(ReadFile(outcome.backupPath), original);
    EXPECT_EQ(ReadFile(folder.path() / U8("系统模板(Access原件).mdb")), "first original");
    EXPECT_EQ(ReadFile(folder.path() / U8("系统模板(Access原件2).mdb")), "second original");
}

TEST_F(JetImportTest, AnyFailureLeavesFolderUnchangedAndSaysWhy) {
    const std::map<std::string, accessimport::JetImportRunner> failures = {
        {"importer fails after partial output",
         [](const fs::path&, const fs::path& out, std::string& detail) {
             WriteFile(out, "partial");
             detail = "killed";
             return false;
         }},
        {"importer throws",
         [](const fs::path&, const fs::path& out, std::string&) -> bool {
             WriteFile(out, "partial");
             throw std::runtime_error("boom");
         }},
        {"importer reports success without output",
         [](const fs::path&, const fs::path&, std::string&) { return true; }},
        {"output is not SQLite",
         [](const fs::path&, const fs::path& out, std::string&) {
             WriteFile(out, std::string(4096, 'x'));
             return true;
         }},
        {"output lacks a template table", Runner({"系统参数", "资料模板", "综合词表"})},
        {"no importer", accessimport::JetImportRunner()},
    };
    const auto before = Snapshot(folder.path());
    for (const auto& [name, runner] : failures) {
        const auto outcome = ConvertJetTemplate(database, runner);
        EXPECT_EQ(outcome.status, JetImportStatus::Failed) << name;
        EXPECT_FALSE(outcome.detail.empty()) << name;
        EXPECT_EQ(Snapshot(folder.path()), before) << name;
    }
    EXPECT_TRUE(prompter->messages.empty());
}

} // namespace

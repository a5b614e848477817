// An Access template database dropped beside the program: start-up converts it
// through the importer program, keeps the original and shows its catalogue.

#include "accessimport/jet_import.h"
#include "accessimport/ui/jet_runner.h"
#include "startup/data_folder.h"
#include "startup/mainbas.h"
#include "startup/ui/frmmain.h"

#include "support/fake_prompter.h"
#include "support/fixture_db.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace {

StartupHooks ImportingHooks() {
    StartupHooks hooks;
    hooks.countPrinters = [] { return 0; };
    hooks.prepareDatabase = [](const fs::path& database) {
        const char* importer = std::getenv("QUILLOR_IMPORT_MDB");
        const auto outcome = accessimport::ConvertJetTemplate(
            database, accessimport::ui::MakeChildImportRunner(importer ? importer : ""));
        return outcome.status != accessimport::JetImportStatus::Failed;
    };
    return hooks;
}

fs::path JetFixture() {
    const char* data = std::getenv("QUILLOR_TEST_DATA");
    return fs::path(data ? data : "") / "jet" / "template_jet4.mdb";
}

} // namespace

TEST(JetStartup, AccessTemplateIsConvertedOnceAndItsCatalogueShown) {
    ASSERT_TRUE(fs::exists(JetFixture()));
    testsupport::TempDir dir;
    const fs::path database = dir.File("系统模板.mdb");
    fs::copy_file(JetFixture(), database);
    const std::string original = testsupport::ReadFile(database);
    testsupport::ScopedFakePrompter prompter;

    ASSERT_TRUE(Main(dir.path(), ImportingHooks()));
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].title, "提示");
    const fs::path backup = dir.File("系统模板(Access原件).mdb");
    EXPECT_NE(prompter->messages[0].text.find("系统模板(Access原件).mdb"), std::string::npos);
    EXPECT_EQ(testsupport::ReadFile(backup), original);
    EXPECT_EQ(CategoryCode, 2);
    ASSERT_EQ(ItemCount, 2);

    {
        startup::ui::FrmMain window([](QWidget*) {});
        EXPECT_EQ(window.control("Command1", 0).text().toStdString(), "报告书");
        EXPECT_EQ(window.control("Command1", 1).text().toStdString(), "报告表");
        EXPECT_TRUE(window.control("Command1", 1).visible());
        EXPECT_FALSE(window.control("Command1", 2).visible());
    }
    ResetGlobals();

    // The user's entries now go into the converted file; a second start-up
    // opens it directly without converting or asking anything.
    prompter->messages.clear();
    {
        testsupport::FixtureDb db(database, testsupport::FixtureDb::Mode::Existing);
        db.Exec("UPDATE 资料模板 SET 存储路径='/申请材料' WHERE 序号=1");
    }
    ASSERT_TRUE(Main(dir.path(), ImportingHooks()));
    EXPECT_TRUE(prompter->messages.empty());
    EXPECT_EQ(ItemTable[0].存储路径, "/申请材料");
    EXPECT_FALSE(fs::exists(dir.File("系统模板(Access原件2).mdb")));
    ResetGlobals();
}

TEST(JetStartup, DamagedAccessFileEndsStartUpAndLeavesTheFolderAlone) {
    testsupport::TempDir dir;
    const fs::path database = dir.File("系统模板.mdb");
    std::string truncated = testsupport::ReadFile(JetFixture()).substr(0, 6000);
    testsupport::WriteFile(database, truncated);
    testsupport::ScopedFakePrompter prompter;

    EXPECT_FALSE(Main(dir.path(), ImportingHooks()));
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "无法读取系统参数文件,无法运行...");
    EXPECT_EQ(prompter->messages[0].title, "严重错误");
    EXPECT_EQ(testsupport::ReadFile(database), truncated);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);
    ResetGlobals();
}

TEST(JetStartup, AccessTemplateOfAReadOnlyProgramFolderIsConvertedInTheUsersFolder) {
    testsupport::TempDir dir;
    const fs::path program = dir.File("程序");
    const fs::path user = dir.File("用户数据");
    fs::create_directories(program);
    fs::copy_file(JetFixture(), program / "系统模板.mdb");
    const std::string original = testsupport::ReadFile(program / "系统模板.mdb");
    testsupport::ScopedFakePrompter prompter;

    const startup::DataFolderChoice choice =
        startup::ChooseDataFolder(program, user, [](const fs::path&) { return false; });
    const auto lock = startup::ClaimDataFolder(choice);
    ASSERT_TRUE(lock);
    ASSERT_TRUE(Main(choice.folder, ImportingHooks()));
    EXPECT_EQ(CategoryCode, 2);
    ASSERT_EQ(prompter->messages.size(), 1u);
    const fs::path backup = user / testsupport::Utf8Path("系统模板(Access原件).mdb");
    EXPECT_NE(prompter->messages[0].text.find(backup.string()), std::string::npos);
    EXPECT_EQ(testsupport::ReadFile(backup), original);
    // The program folder keeps only what it had.
    EXPECT_EQ(std::distance(fs::directory_iterator(program), fs::directory_iterator()), 1);
    EXPECT_EQ(testsupport::ReadFile(program / "系统模板.mdb"), original);
    ResetGlobals();
}

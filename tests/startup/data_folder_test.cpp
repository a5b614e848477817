// Where the data lie: beside a program in a writable folder, in the user's own
// folder for an installed program or a read-only program folder; the per-user
// folder created, claimed and given the bundled template on first start.

#include "startup/data_folder.h"

#include "platform/file_copy.h"
#include "platform/instance_lock.h"
#include "startup/mainbas.h"

#include "support/fake_prompter.h"
#include "support/fixture_db.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>

namespace fs = std::filesystem;
using startup::ChooseDataFolder;
using startup::ClaimResult;
using startup::DataFolderChoice;

namespace {

const std::string kDb = kTemplateDatabaseName;

std::string U8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::set<std::string> Listing(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(entry.path().lexically_relative(folder).generic_string());
    return names;
}

// A folder that refuses new files even to the current user: a folder made
// read-only, or where permissions do not stop the user (root), /proc.
fs::path ReadOnlyFolder(const fs::path& candidate) {
    fs::create_directories(candidate);
    fs::permissions(candidate, fs::perms::owner_read | fs::perms::owner_exec);
    std::error_code ec;
    std::ofstream(candidate / "x") << "x";
    if (!fs::exists(candidate / "x", ec))
        return candidate;
    fs::remove(candidate / "x", ec);
    return fs::is_directory("/proc", ec) ? fs::path("/proc") : fs::path();
}

class DataFolder : public ::testing::Test {
  protected:
    testsupport::TempDir temp;
    fs::path program = temp.File("程序");
    fs::path user = temp.File("用户") / ".local" / "share" / "quillor";
    testsupport::ScopedFakePrompter prompter;

    void SetUp() override { fs::create_directories(program); }
    void TearDown() override {
        fs::permissions(temp.path(), fs::perms::owner_all, fs::perm_options::add);
        for (const auto& entry : fs::recursive_directory_iterator(temp.path()))
            if (entry.is_directory())
                fs::permissions(entry.path(), fs::perms::owner_all, fs::perm_options::add);
        ResetGlobals();
    }
    static startup::WritableProbe Probe(bool writable, int* asked = nullptr) {
        return [writable, asked](const fs::path&) {
            if (asked)
                ++*asked;
            return writable;
        };
    }
};

} // namespace

TEST_F(DataFolder, WritableProgramFolderKeepsTheDataBesideTheProgram) {
    const DataFolderChoice choice = ChooseDataFolder(program, user, Probe(true));
    EXPECT_EQ(choice.folder, program);
    EXPECT_FALSE(choice.perUser);
    EXPECT_TRUE(choice.bundledDatabase.empty());

    std::string message;
    EXPECT_TRUE(startup::CreateDataFolder(choice, message));
    EXPECT_TRUE(startup::ProvideTemplateDatabase(choice, message));
    EXPECT_TRUE(Listing(program).empty()); // nothing copied, nothing created
    EXPECT_FALSE(fs::exists(user));
}

TEST_F(DataFolder, ReadOnlyProgramFolderUsesTheUserFolderWithTheTemplateBesideTheProgram) {
    const DataFolderChoice choice = ChooseDataFolder(program, user, Probe(false));
    EXPECT_EQ(choice.folder, user);
    EXPECT_TRUE(choice.perUser);
    EXPECT_EQ(choice.bundledDatabase, program / testsupport::Utf8Path(kDb));
}

TEST_F(DataFolder, InstalledProgramNeverKeepsDataInItsInstallation) {
    const fs::path prefix = temp.File("usr");
    fs::create_directories(prefix / "bin");
    fs::create_directories(prefix / "share" / "quillor");
    int asked = 0;
    // Even where the installation could be written (an administrator).
    const DataFolderChoice choice = ChooseDataFolder(prefix / "bin", user, Probe(true, &asked));
    EXPECT_EQ(choice.folder, user);
    EXPECT_TRUE(choice.perUser);
    EXPECT_EQ(choice.bundledDatabase, prefix / "share" / "quillor" / testsupport::Utf8Path(kDb));
    EXPECT_EQ(asked, 0);

    // A folder called bin without the installed data beside it is a portable one.
    const fs::path portable = temp.File("解压") / "bin";
    fs::create_directories(portable);
    EXPECT_EQ(ChooseDataFolder(portable, user, Probe(true)).folder, portable);
}

TEST_F(DataFolder, WritableProbeCreatesNothingAndRefusesWhatIsNoWritableFolder) {
    EXPECT_TRUE(startup::FolderIsWritable(program));
    EXPECT_TRUE(Listing(program).empty());
    EXPECT_FALSE(startup::FolderIsWritable(program / "没有"));
    EXPECT_FALSE(startup::FolderIsWritable({}));
    testsupport::WriteFile(program / "文件", "x");
    EXPECT_FALSE(startup::FolderIsWritable(program / "文件"));

    const fs::path readOnly = ReadOnlyFolder(temp.File("只读"));
    if (readOnly.empty())
        GTEST_SKIP() << "no folder here refuses new files to this user";
    EXPECT_FALSE(startup::FolderIsWritable(readOnly));
    EXPECT_EQ(ChooseDataFolder(readOnly, user).folder, user);
}

TEST_F(DataFolder, FirstStartCopiesTheTemplateLaterStartsKeepTheUsersOwn) {
    const fs::path bundled = program / testsupport::Utf8Path(kDb);
    testsupport::WriteFile(bundled, "bundled template");
    fs::permissions(bundled,
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const DataFolderChoice choice = ChooseDataFolder(program, user, Probe(false));

    std::string message;
    ASSERT_TRUE(startup::CreateDataFolder(choice, message)) << message;
    ASSERT_TRUE(startup::ProvideTemplateDatabase(choice, message)) << message;
    const fs::path copy = user / testsupport::Utf8Path(kDb);
    EXPECT_EQ(testsupport::ReadFile(copy), "bundled template");
    // The user's entries go into the copy: it must be writable by him.
    EXPECT_NE(fs::status(copy).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(Listing(user), (std::set<std::string>{kDb}));

    testsupport::WriteFile(copy, "the user's entries");
    ASSERT_TRUE(startup::ProvideTemplateDatabase(choice, message));
    EXPECT_EQ(testsupport::ReadFile(copy), "the user's entries");

    // A copy that cannot be flushed to the disk never takes the name.
    fs::remove(copy);
    platform::SetFaultHook([](platform::FaultPoint) { return true; });
    EXPECT_FALSE(startup::ProvideTemplateDatabase(choice, message));
    platform::ClearFaultHook();
    EXPECT_TRUE(Listing(user).empty());
}

TEST_F(DataFolder, InterruptedCopyIsRedoneAndAMissingTemplateIsLeftToStartUp) {
    const DataFolderChoice choice{user, program / testsupport::Utf8Path(kDb), true};
    std::string message;
    ASSERT_TRUE(startup::CreateDataFolder(choice, message));
    // No bundled template: nothing copied, start-up then reports the missing file.
    EXPECT_TRUE(startup::ProvideTemplateDatabase(choice, message));
    EXPECT_TRUE(Listing(user).empty());

    testsupport::WriteFile(choice.bundledDatabase, "template");
    testsupport::WriteFile(user / testsupport::Utf8Path(kDb + ".copy.tmp"), "half a co");
    ASSERT_TRUE(startup::ProvideTemplateDatabase(choice, message));
    EXPECT_EQ(Listing(user), (std::set<std::string>{kDb}));
    EXPECT_EQ(testsupport::ReadFile(user / testsupport::Utf8Path(kDb)), "template");
}

TEST_F(DataFolder, FolderThatCannotBeCreatedIsNamedAndNothingIsWritten) {
    testsupport::WriteFile(temp.File("用户"), "a file where the home should be");
    const auto before = Listing(temp.path());
    const DataFolderChoice choice = ChooseDataFolder(program, user, Probe(false));
    testsupport::WriteFile(choice.bundledDatabase, "template");
    const auto withTemplate = Listing(temp.path());

    ClaimResult result = ClaimResult::Claimed;
    EXPECT_FALSE(startup::ClaimDataFolder(choice, &result));
    EXPECT_EQ(result, ClaimResult::Failed);
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].title, "严重错误");
    EXPECT_EQ(prompter->messages[0].icon, platform::MsgIcon::Critical);
    EXPECT_NE(prompter->messages[0].text.find("无法建立数据文件夹"), std::string::npos);
    EXPECT_NE(prompter->messages[0].text.find(U8(user)), std::string::npos);
    EXPECT_EQ(Listing(temp.path()), withTemplate); // no lock, no copy anywhere
    EXPECT_NE(before, withTemplate);

    // No folder from the system at all.
    prompter->messages.clear();
    EXPECT_FALSE(startup::ClaimDataFolder({fs::path(), choice.bundledDatabase, true}));
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_NE(prompter->messages[0].text.find("无法建立数据文件夹"), std::string::npos);
}

TEST_F(DataFolder, CopyThatFailsIsReportedAndLeavesNoPartialFile) {
    testsupport::WriteFile(program / testsupport::Utf8Path(kDb), "template");
    const DataFolderChoice choice = ChooseDataFolder(program, user, Probe(false));
    std::string message;
    // The folder went away between its creation and the copy.
    EXPECT_FALSE(startup::ProvideTemplateDatabase(choice, message));
    EXPECT_NE(message.find("无法把系统模板数据库复制到数据文件夹"), std::string::npos);
    EXPECT_NE(message.find(U8(user)), std::string::npos);
    EXPECT_FALSE(fs::exists(user));

    ASSERT_TRUE(startup::CreateDataFolder(choice, message));
    if (ReadOnlyFolder(user) != user)
        return; // permissions do not stop this user (root)
    message.clear();
    EXPECT_FALSE(startup::ProvideTemplateDatabase(choice, message));
    EXPECT_NE(message.find(U8(user)), std::string::npos);
    fs::permissions(user, fs::perms::owner_all);
    EXPECT_TRUE(Listing(user).empty());
}

TEST_F(DataFolder, LockGuardsTheFolderActuallyUsed) {
    testsupport::WriteFile(program / testsupport::Utf8Path(kDb), "template");
    const DataFolderChoice choice = ChooseDataFolder(program, user, Probe(false));
    ClaimResult result = ClaimResult::Failed;
    const auto lock = startup::ClaimDataFolder(choice, &result);
    ASSERT_TRUE(lock);
    EXPECT_EQ(result, ClaimResult::Claimed);
    EXPECT_TRUE(prompter->messages.empty());
    EXPECT_TRUE(fs::exists(user / platform::kInstanceLockName));
    EXPECT_FALSE(fs::exists(program / platform::kInstanceLockName));

    // A second instance on the same user folder is turned away.
    EXPECT_FALSE(startup::ClaimDataFolder(choice, &result));
    EXPECT_EQ(result, ClaimResult::TakenByAnotherInstance);
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, platform::kAlreadyRunningMessage);
}

TEST_F(DataFolder, TwoUsersEachGetTheirOwnData) {
    {
        testsupport::FixtureDb db(program / testsupport::Utf8Path(kDb));
        db.AddParameters({});
        db.AddItem({});
    }
    const fs::path other = temp.File("另一用户") / "quillor";
    const DataFolderChoice mine = ChooseDataFolder(program, user, Probe(false));
    const DataFolderChoice theirs = ChooseDataFolder(program, other, Probe(false));
    const auto lockMine = startup::ClaimDataFolder(mine);
    const auto lockTheirs = startup::ClaimDataFolder(theirs); // both run at once
    ASSERT_TRUE(lockMine && lockTheirs);

    ASSERT_TRUE(Main(mine.folder));
    EXPECT_EQ(ProgramFolder(), user); // every message and file names this folder
    {
        testsupport::FixtureDb db(user / testsupport::Utf8Path(kDb),
                                  testsupport::FixtureDb::Mode::Existing);
        db.Exec("UPDATE 资料模板 SET 存储路径='/我的材料' WHERE 序号=1");
    }
    ResetGlobals();
    ASSERT_TRUE(Main(theirs.folder));
    EXPECT_EQ(ProgramFolder(), other);
    EXPECT_EQ(ItemTable.at(0).存储路径, "");
    ResetGlobals();
    ASSERT_TRUE(Main(mine.folder));
    EXPECT_EQ(ItemTable.at(0).存储路径, "/我的材料");
    EXPECT_TRUE(prompter->messages.empty());
}

#include "platform/instance_lock.h"

#include "support/fake_prompter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#ifndef _WIN32
#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using platform::InstanceLock;

namespace {

class InstanceLockTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ =
            fs::temp_directory_path() / ("quillor_lock_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(InstanceLockTest, SecondClaimIsRefusedWithAMessageUntilTheFirstEnds) {
    testsupport::ScopedFakePrompter prompter;
    auto first = platform::ClaimProgramFolder(dir_);
    ASSERT_TRUE(first);
    EXPECT_TRUE(prompter->messages.empty());
    fs::create_directories(dir_ / "其他文件夹");
    EXPECT_TRUE(platform::ClaimProgramFolder(dir_ / "其他文件夹")); // another folder is free

    EXPECT_FALSE(platform::ClaimProgramFolder(dir_));
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, platform::kAlreadyRunningMessage);
    EXPECT_EQ(prompter->messages[0].title, "提示");
    EXPECT_EQ(fs::directory_entry(dir_ / "TempXml.XML").exists(), false); // touched nothing
    EXPECT_TRUE(fs::exists(dir_ / platform::kInstanceLockName));          // still the holder's

    // A holder that ends normally leaves no lock file behind.
    first.reset();
    EXPECT_FALSE(fs::exists(dir_ / platform::kInstanceLockName));
    EXPECT_TRUE(platform::ClaimProgramFolder(dir_));
    EXPECT_FALSE(fs::exists(dir_ / platform::kInstanceLockName));
}

TEST_F(InstanceLockTest, MissingFolderRunsUnguardedWithoutMessage) {
    testsupport::ScopedFakePrompter prompter;
    InstanceLock::Outcome outcome{};
    EXPECT_FALSE(InstanceLock::TryAcquire(dir_ / "no" / "x.lock", &outcome));
    EXPECT_EQ(outcome, InstanceLock::Outcome::Unavailable);
    EXPECT_TRUE(platform::ClaimProgramFolder(dir_ / "no"));
    EXPECT_TRUE(prompter->messages.empty());
}

// A lock file that is there but cannot be written may be another user's
// lock: the program does not start, and says why.
TEST_F(InstanceLockTest, ALockFileThatCannotBeWrittenFailsClosed) {
    const fs::path lock = dir_ / platform::kInstanceLockName;
    fs::create_directories(lock / "占位"); // a folder: cannot be opened for writing
    testsupport::ScopedFakePrompter prompter;
    InstanceLock::Outcome outcome{};
    EXPECT_FALSE(InstanceLock::TryAcquire(lock, &outcome));
    EXPECT_EQ(outcome, InstanceLock::Outcome::Refused);
    EXPECT_FALSE(platform::ClaimProgramFolder(dir_));
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, platform::kLockRefusedMessage);
#ifndef _WIN32
    // A pipe or a link of that name is refused as well, without waiting.
    fs::remove_all(lock);
    ASSERT_EQ(mkfifo(lock.c_str(), 0600), 0);
    EXPECT_FALSE(platform::ClaimProgramFolder(dir_));
    fs::remove(lock);
    fs::create_symlink(dir_ / "elsewhere.lock", lock);
    EXPECT_FALSE(platform::ClaimProgramFolder(dir_));
    EXPECT_FALSE(fs::exists(dir_ / "elsewhere.lock"));
    EXPECT_EQ(prompter->messages.size(), 3u);
#endif
}

#ifndef _WIN32
TEST_F(InstanceLockTest, KilledHolderNeverLocksTheUserOut) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto lock = InstanceLock::TryAcquire(dir_ / platform::kInstanceLockName);
        const char flag = lock ? '1' : '0';
        (void)!write(ready[1], &flag, 1);
        pause(); // held until killed
        _exit(0);
    }
    char flag = 0;
    ASSERT_EQ(read(ready[0], &flag, 1), 1);
    ASSERT_EQ(flag, '1');
    InstanceLock::Outcome outcome{};
    EXPECT_FALSE(InstanceLock::TryAcquire(dir_ / platform::kInstanceLockName, &outcome));
    EXPECT_EQ(outcome, InstanceLock::Outcome::HeldElsewhere);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    close(ready[0]);
    close(ready[1]);
    EXPECT_TRUE(InstanceLock::TryAcquire(dir_ / platform::kInstanceLockName));
}
#endif

} // namespace

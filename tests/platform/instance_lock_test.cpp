#include "platform/instance_lock.h"

#include "platform/file_copy.h"

#include "support/fake_prompter.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
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

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

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
// One scheme on every file system. Where flock fails (an NFS share without
// its lock daemon, here the fault seam), the exclusive creation is the lock
// and the holder named in the file decides whether it is stale.
TEST_F(InstanceLockTest, WithoutFlockTheHolderNamedInTheFileDecides) {
    char host[256] = {};
    gethostname(host, sizeof host - 1);
    const pid_t gone = fork(); // a process of this host that has ended
    if (gone == 0)
        _exit(0);
    waitpid(gone, nullptr, 0);
    const std::string self = std::to_string(getpid()) + "\nquillor\n" + host + "\n";
    struct Case {
        const char* name;
        std::string content;
        int ageSeconds;
        bool flock;
        InstanceLock::Outcome expected;
    } cases[] = {
        {"held by this process", self, 0, false, InstanceLock::Outcome::HeldElsewhere},
        {"a holder of this host that has ended", std::to_string(gone) + "\nquillor\n" + host + "\n",
         0, false, InstanceLock::Outcome::Acquired},
        {"another host's", "4321\nquillor\n另一台\n2026-12-07 09:30:00\n", 0, false,
         InstanceLock::Outcome::OtherHost},
        {"empty, being written", "", 0, false, InstanceLock::Outcome::HeldElsewhere},
        {"empty, left by a killed holder", "", 120, false, InstanceLock::Outcome::Acquired},
        {"another host's, where flock says nobody holds it",
         "4321\nquillor\n另一台\n2026-12-07 09:30:00\n", 0, true, InstanceLock::Outcome::Acquired},
    };
    const fs::path lock = dir_ / "x.lock";
    for (const Case& c : cases) {
        fs::remove(lock);
        std::ofstream(lock, std::ios::binary) << c.content;
        fs::last_write_time(lock,
                            fs::file_time_type::clock::now() - std::chrono::seconds(c.ageSeconds));
        platform::SetFaultHook([&c](platform::FaultPoint point) {
            return point == platform::FaultPoint::Lock && !c.flock;
        });
        InstanceLock::Attempt attempt;
        auto held = InstanceLock::TryAcquire(lock, &attempt);
        platform::ClearFaultHook();
        EXPECT_EQ(attempt.outcome, c.expected) << c.name;
        if (c.expected == InstanceLock::Outcome::OtherHost) {
            EXPECT_EQ(platform::DescribeHolder(attempt.holder),
                      "计算机 另一台 上的进程 4321（2026-12-07 09:30:00 起）");
        }
        if (held) {
            EXPECT_NE(ReadAll(lock).find(std::to_string(getpid()) + "\nquillor\n"),
                      std::string::npos)
                << c.name;
            held.reset();
            EXPECT_FALSE(fs::exists(lock)) << c.name; // a released lock leaves no file
        }
    }
}

// A lock left by another user's crashed program cannot be opened for
// writing: it is opened for reading and flocked, and nobody holding it makes
// it stale.
TEST_F(InstanceLockTest, AnotherUsersStaleLockIsTaken) {
    const fs::path lock = dir_ / "x.lock";
    std::ofstream(lock) << "77\nquillor\nsomewhere\n";
    fs::permissions(lock, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            _exit(9);
        InstanceLock::Attempt attempt;
        const auto held = InstanceLock::TryAcquire(lock, &attempt);
        _exit(held && attempt.outcome == InstanceLock::Outcome::Acquired ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // Held by a running holder, it stays held.
    fs::permissions(lock, fs::perms::owner_all);
    auto first = InstanceLock::TryAcquire(lock);
    ASSERT_TRUE(first);
    EXPECT_EQ(platform::ProbeLock(lock).outcome, InstanceLock::Outcome::HeldElsewhere);
    first.reset();
    EXPECT_EQ(platform::ProbeLock(lock).outcome, InstanceLock::Outcome::Acquired);
}

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

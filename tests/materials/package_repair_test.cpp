// Package folders whose interrupted save was crafted (a disc copied to a
// writable folder keeps its links), met as an applicant would meet them
// ("打开", the disc window: RepairAndTell) and as `quillor --check-package
// --repair` does: nothing outside the package changes, the applicant's own
// file survives, and the message says what was found.
//
// The crafted staging folders are the seeds of the repair's fuzz corpus
// (tests/fuzz/corpus/package_repair/hostile-*.txt).

#include "disc/check_command.h"
#include "fuzz/fuzz_support.h"
#include "materials/hostile_staging.h"
#include "materials/save_folder.h"
#include "support/fake_prompter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>

namespace {

using namespace materials;
using namespace package_test;

fs::path Corpus() {
    const char* data = std::getenv("QUILLOR_TEST_DATA");
    return fs::path(data ? data : "tests/data") / ".." / "fuzz" / "corpus" / "package_repair";
}

class PackageRepairTest : public ::testing::Test {
  protected:
    void SetUp() override { root_ = fuzz::OwnRoot("repair-test"); }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    fs::path root_;
};

#ifndef _WIN32
TEST_F(PackageRepairTest, CraftedStagingFoldersNeverActOutsideThePackage) {
    struct Case {
        const char* file;
        const char* says;          // the check's output and the window's message hold it
        bool ownFileNamed = false; // the crafted journal names the applicant's own file
    } cases[] = {
        {"hostile-old-journal-linked-material-no-backup.txt", "附图：符号链接或特殊文件"},
        {"hostile-old-journal-linked-material-staged.txt", "程序没有修改任何文件"},
        {"hostile-old-commit-note-linked-material.txt", "附图：符号链接或特殊文件"},
        {"hostile-journal-linked-material.txt", "附图：符号链接或特殊文件"},
        {"hostile-committed-cleanup-of-unstored-names.txt", "已完成该次保存的收尾", true},
        {"hostile-old-commit-note-unstored-names.txt", "已完成该次保存的收尾", true},
        {"hostile-staging-folder-link.txt", "~APLPKG.saving：符号链接或特殊文件"},
        {"hostile-backup-link.txt", "1.old：符号链接或特殊文件"},
        {"hostile-lock-file-link.txt", "~APLPKG.lock是符号链接"},
        {"hostile-lock-file-fifo.txt", "~APLPKG.lock是管道"},
        {"hostile-lock-file-folder.txt", "~APLPKG.lock是文件夹"},
    };
    std::set<std::string> seen;
    for (const Case& c : cases) {
        seen.insert(c.file);
        const CraftedStaging crafted = ParseCrafted(fuzz::ReadAll(Corpus() / c.file));
        for (const bool window : {false, true}) {
            HostileFolder folder;
            folder.prepare(root_);
            ASSERT_TRUE(folder.stage(crafted)) << c.file;
            const std::string package = platform::PathToUtf8(folder.package());
            std::string said;
            if (window) {
                testsupport::ScopedFakePrompter prompter;
                RepairAndTell(package);
                for (const auto& m : prompter->messages)
                    said += m.text + "\n";
            } else {
                std::ostringstream out;
                disc::RunCheckPackage(package, nullptr, out, true);
                said = out.str();
            }
            const std::string how = std::string(c.file) + (window ? " (window)" : " (check)");
            EXPECT_EQ(folder.damage(), "") << how;
            EXPECT_NE(said.find(c.says), std::string::npos) << how << " said:\n" << said;
            EXPECT_EQ(said.find("已恢复"), std::string::npos) << how << " said:\n" << said;
            if (c.ownFileNamed) { // what the previous package stored goes; nothing else
                EXPECT_TRUE(fs::exists(folder.package() / "甲" / "A.pdf")) << how;
            }
        }
    }
    for (const auto& entry : fs::directory_iterator(Corpus())) {
        const std::string name = platform::PathToUtf8(entry.path().filename());
        if (name.starts_with("hostile-")) {
            EXPECT_TRUE(seen.contains(name)) << name << " is not in the table";
        }
    }
}
#endif

// A journal beyond the limit is refused unread; the check without --repair
// never writes.
TEST_F(PackageRepairTest, AnOversizedJournalIsRefusedUnread) {
    HostileFolder folder;
    folder.prepare(root_);
    folder.stage("~APLPKG.saving.big", {{"journal", "quillor-save 2\n"}});
    const fs::path journal = folder.package() / "~APLPKG.saving.big" / kJournalName;
    fs::resize_file(journal, kMaxJournalBytes + 1);
    const auto before = fuzz::Listing(folder.package() / "甲");
    std::ostringstream out;
    EXPECT_EQ(disc::RunCheckPackage(platform::PathToUtf8(folder.package()), nullptr, out, false),
              disc::kCheckNotBurnable);
    EXPECT_NE(out.str().find("--repair"), std::string::npos) << out.str();
    const PackageRepair repair = RepairPackage(platform::PathToUtf8(folder.package()));
    EXPECT_EQ(repair.result, RepairResult::Refused);
    ASSERT_EQ(repair.refused.size(), 1u);
    EXPECT_EQ(repair.refused[0], "~APLPKG.saving.big/journal：文件过大，未读取");
    EXPECT_EQ(fs::file_size(journal), kMaxJournalBytes + 1);
    EXPECT_EQ(fuzz::Listing(folder.package() / "甲"), before);
}

} // namespace

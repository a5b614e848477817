#include "materials/save_folder.h"

#include "materials/manifest.h"
#include "materials/manifest_fixture.h"
#include "materials/package_fixture.h"
#include "platform/gbk.h"
#include "platform/xmldoc.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>

#ifndef _WIN32
#include <sys/wait.h>
#endif

using namespace materials;
using namespace package_test;
using materials_test::TempFolderTest;

namespace {

const std::string kLocal = kLocalPrefix;

std::string ExpectedList(const std::string& name) {
    const char* root = std::getenv("QUILLOR_TEST_DATA");
    return ReadAll(fs::path(root ? root : "tests/data") / "materials" / name);
}

class SaveTest : public TempFolderTest {
  protected:
    std::string source(const std::string& relative, const std::string& content) {
        WriteAll(dir_ / "源" / util::PathFromUtf8(relative), content);
        return util::PathToUtf8(dir_ / "源" / util::PathFromUtf8(relative));
    }
    void work(const std::vector<Material>& materials) {
        WriteAll(workPath(), PackageManifest(materials));
    }
    fs::path workPath() const { return dir_ / "TempXml.XML"; }
    SaveOutcome save(const fs::path& shown, const std::string& storage = "",
                     SaveObserver* observer = nullptr) {
        return SavePackage(Request(workPath(), shown, storage), observer);
    }
    SaveOutcome saveAgain(const fs::path& folder, SaveObserver* observer = nullptr) {
        return save(folder, util::PathToUtf8(folder), observer);
    }
    // Texts of the stored copy's elements, joined with "|".
    static std::string Stored(const fs::path& folder, const char* xpath) {
        platform::XmlDocument doc;
        if (!doc.load(folder / "APLPKG.XML"))
            return "<unreadable>";
        std::string out;
        for (const auto& node : doc.documentElement().selectNodes(xpath))
            out += "|" + node.text();
        return out.substr(1);
    }
    static std::string ListTail(const fs::path& folder) {
        const std::string text = platform::GbkToUtf8(ReadAll(folder / "材料清单.txt"));
        const std::string head = "上报材料清单：\r\n";
        const std::size_t at = text.find(head);
        return at == std::string::npos ? "<no list>" : text.substr(at + head.size());
    }
    fs::path pkg() const { return dir_ / "包"; }
};

std::vector<std::string> Keys(const Snapshot& snapshot) {
    std::vector<std::string> keys;
    for (const auto& [key, content] : snapshot)
        keys.push_back(key);
    return keys;
}

TEST_F(SaveTest, FirstSaveStoresStandardNamesAndListsThemAcrossThePackage) {
    work({{"营业执照", {{"营业执照", source("scan/page.JPG", "jpg")}}},
          {"章程", {{"章程", source("scan/章程", "no extension")}, {"附件", ""}}},
          {"其他材料", {{"其他新增材料1", source("x.pdf", "pdf")}}},
          {"空材料", {{"空", ""}}, "0"}});
    const std::string before = ReadAll(workPath());

    const SaveOutcome outcome = save(pkg());

    ASSERT_TRUE(outcome.saved());
    EXPECT_TRUE(outcome.failures.empty());
    const Snapshot files = Take(pkg());
    EXPECT_EQ(Keys(files),
              (std::vector<std::string>{"APLPKG.XML", "其他材料", "其他材料/其他新增材料1.pdf",
                                        "材料清单.txt", "章程", "章程/章程", "营业执照",
                                        "营业执照/营业执照.JPG"}));
    EXPECT_EQ(files.at("营业执照/营业执照.JPG"), "jpg");
    EXPECT_EQ(files.at("章程/章程"), "no extension"); // no trailing dot: Windows would drop it
    EXPECT_EQ(Stored(pkg(), "//fileUrl"),
              kLocal + "营业执照.JPG|" + kLocal + "章程||" + kLocal + "其他新增材料1.pdf|");
    EXPECT_EQ(files.at("材料清单.txt"), ExpectedList("list_first_save.txt"));
    EXPECT_EQ(ReadAll(workPath()), before); // the working copy keeps its sources
}

TEST_F(SaveTest, ResavingReplacesEarlierCopiesAndRemovesOnlyTheEntrysOwn) {
    work({{"营业执照", {{"营业执照", source("a.doc", "doc")}}},
          {"章程", {{"章程", source("b.pdf", "b")}}},
          {"其他材料",
           {{"附件", source("c.pdf", "c")},
            {"附件.1", source("d.pdf", "d")},
            {"报告[1]", source("e.doc", "e")},
            {"报告1", source("f.pdf", "f")}}}});
    ASSERT_TRUE(save(pkg()).saved());
    WriteAll(pkg() / "章程" / "另存.txt", "a file of the user's");
    WriteAll(pkg() / "其他材料" / "附件.2.pdf", "two dots: not an earlier copy of 附件");
    WriteAll(pkg() / "其他材料" / "附件X.pdf", "another name");

    work({{"营业执照", {{"营业执照", source("a2.pdf", "pdf now")}}},
          {"章程", {{"章程", ""}}}, // count 0: the whole folder goes
          {"其他材料",
           {{"附件", ""},
            {"附件.1", kLocal + "附件.1.pdf"},
            {"报告[1]", ""},
            {"报告1", kLocal + "报告1.pdf"}}}});
    const SaveOutcome outcome = saveAgain(pkg());

    ASSERT_TRUE(outcome.saved());
    EXPECT_TRUE(outcome.failures.empty());
    EXPECT_EQ(Keys(Take(pkg())),
              (std::vector<std::string>{"APLPKG.XML", "其他材料", "其他材料/报告1.pdf",
                                        "其他材料/附件.1.pdf", "其他材料/附件.2.pdf",
                                        "其他材料/附件X.pdf", "材料清单.txt", "营业执照",
                                        "营业执照/营业执照.pdf"}));
    EXPECT_EQ(Take(pkg()).at("营业执照/营业执照.pdf"), "pdf now");
    EXPECT_EQ(ListTail(pkg()), "1、营业执照.pdf\r\n2、附件.1.pdf\r\n3、报告1.pdf\r\n");
}

TEST_F(SaveTest, ANewFolderReceivesTheStoredFilesAndTheOldOneStaysAsItWas) {
    const fs::path old = dir_ / "旧";
    work({{"营业执照", {{"营业执照", source("a.pdf", "a")}}}, {"章程", {{"章程", ""}}}});
    ASSERT_TRUE(save(old).saved());
    const Snapshot oldFiles = Take(old);

    work({{"营业执照", {{"营业执照", kLocal + "营业执照.pdf"}}},
          {"章程", {{"章程", source("b.doc", "b")}}}});
    const SaveOutcome outcome = save(pkg(), util::PathToUtf8(old));

    ASSERT_TRUE(outcome.saved());
    EXPECT_TRUE(outcome.failures.empty());
    EXPECT_EQ(Take(old), oldFiles);
    EXPECT_EQ(Take(pkg()).at("营业执照/营业执照.pdf"), "a");
    EXPECT_EQ(Take(pkg()).at("章程/章程.doc"), "b");
    EXPECT_EQ(ListTail(pkg()), "1、营业执照.pdf\r\n2、章程.doc\r\n");
}

// Every entry that cannot be stored is named with its source; its link in the
// stored copy is empty, it is not listed, and nothing outside the package is
// read, written or deleted.
TEST_F(SaveTest, EntriesThatCannotBeStoredAreReportedAndLeftOut) {
    const std::string good = source("good.pdf", "good");
    WriteAll(dir_ / "outside.txt", "outside");
    fs::create_directories(dir_ / "源" / "一个文件夹");
    std::vector<Entry> entries = {{"好", good},
                                  {"缺", util::PathToUtf8(dir_ / "源" / "没有.pdf")},
                                  {"夹", util::PathToUtf8(dir_ / "源" / "一个文件夹")},
                                  {"同名", source("d1.pdf", "1")},
                                  {"同名", source("d2.pdf", "2")},
                                  {"a/b", good},
                                  {"", good},
                                  {"外", kLocal + "..\\..\\outside.txt"},
                                  {"丢", kLocal + "丢.pdf"}};
    if (fs::exists("/dev/null"))
        entries.push_back({"设备", "/dev/null"});
    work({{"营业执照", entries},
          {"..", {{"上", good}}, "0"},
          {"", {{"空", good}}, "0"},
          {"C:x", {{"盘", good}}},
          {"aplpkg.xml", {{"重", good}}}});
    const std::string before = ReadAll(workPath());

    const SaveOutcome outcome = save(pkg(), util::PathToUtf8(pkg()));

    ASSERT_TRUE(outcome.saved());
    std::vector<std::string> failures;
    for (const SaveFailure& f : outcome.failures)
        failures.push_back(f.material + "/" + f.entry + ":" + ProblemText(f.problem));
    std::vector<std::string> expected = {"营业执照/缺:源文件不存在",
                                         "营业执照/夹:源文件不是普通文件",
                                         "营业执照/同名:与同一材料中另一报件的文件名相同",
                                         "营业执照/a/b:报件名称不能用作文件名",
                                         "营业执照/第7个报件:报件名称不能用作文件名",
                                         "营业执照/外:报件路径无效",
                                         "营业执照/丢:已保存的文件不存在"};
    if (fs::exists("/dev/null"))
        expected.push_back("营业执照/设备:源文件不是普通文件");
    for (const char* refused : {"../上", "/空", "C:x/盘", "aplpkg.xml/重"})
        expected.push_back(std::string(refused) + ":材料名称不能用作文件夹名");
    EXPECT_EQ(failures, expected);
    EXPECT_EQ(outcome.failures[0].source, util::PathToUtf8(dir_ / "源" / "没有.pdf"));

    EXPECT_EQ(Stored(pkg(), "//fileUrl"),
              kLocal + "好.pdf|||" + kLocal + "同名.pdf" + std::string(entries.size(), '|'));
    EXPECT_EQ(Stored(pkg(), "//dzjs"), "2|0|0|0|0"); // counted again where links were left empty
    EXPECT_EQ(ListTail(pkg()), "1、好.pdf\r\n2、同名.pdf\r\n");
    EXPECT_EQ(ReadAll(workPath()), before);
    EXPECT_EQ(ReadAll(dir_ / "outside.txt"), "outside");
    EXPECT_TRUE(fs::exists(pkg() / "APLPKG.XML")); // an empty fjmc never empties the package
    EXPECT_EQ(ReadAll(dir_ / "源" / "good.pdf"), "good");
}

TEST_F(SaveTest, NamesAtTheLengthLimit) {
    const std::string longest(60, 'a'); // + ".pdf": 64 characters, the longest Joliet name
    const std::string tooLong(61, 'b');
    work({{"营业执照", {{longest, source("x.pdf", "x")}, {tooLong, source("y.pdf", "y")}}}});
    const SaveOutcome outcome = save(pkg());
    ASSERT_TRUE(outcome.saved());
    ASSERT_EQ(outcome.failures.size(), 1u);
    EXPECT_EQ(outcome.failures[0].entry, tooLong);
    EXPECT_EQ(Take(pkg()).at("营业执照/" + longest + ".pdf"), "x");
    EXPECT_FALSE(fs::exists(pkg() / kStagingFolderName));
}

class CancelAt final : public SaveObserver {
  public:
    explicit CancelAt(int asked) : asked_(asked) {}
    bool cancelRequested() override { return ++count_ >= asked_; }

  private:
    int asked_;
    int count_ = 0;
};

TEST_F(SaveTest, CancelLeavesThePreviousPackageAsItWasAndAFreshFolderUnmade) {
    work({{"营业执照", {{"营业执照", source("a.doc", "a")}}}, {"章程", {{"章程", ""}}}});
    ASSERT_TRUE(save(pkg()).saved());
    const Snapshot previous = Take(pkg());

    work({{"营业执照", {{"营业执照", source("a.pdf", "a2")}}},
          {"章程", {{"章程", source("b.pdf", "b")}}}});
    for (int asked : {1, 2, 3}) {
        CancelAt cancel(asked); // before the first file, the second, after the last
        EXPECT_EQ(saveAgain(pkg(), &cancel).status, SaveStatus::Cancelled);
        EXPECT_EQ(Take(pkg()), previous) << asked;
    }
    CancelAt cancel(2);
    EXPECT_EQ(save(dir_ / "新" / "包", "", &cancel).status, SaveStatus::Cancelled);
    EXPECT_FALSE(fs::exists(dir_ / "新"));
}

TEST_F(SaveTest, UnwritableFolderAndUnreadableWorkingCopyWriteNothing) {
    work({{"营业执照", {{"营业执照", source("a.doc", "a")}}}});
    WriteAll(dir_ / "文件", "a file where a folder should be");
    EXPECT_EQ(save(dir_ / "文件" / "包").status, SaveStatus::FolderNotWritable);
    EXPECT_EQ(save("").status, SaveStatus::FolderNotWritable);
    fs::remove(workPath());
    EXPECT_EQ(save(pkg()).status, SaveStatus::Unreadable);
    EXPECT_FALSE(fs::exists(pkg()));
}

// ---- sources that vanish or change while they are copied ----

// Runs a tamper on the source of the named stored file: when its copy begins
// (stage Copy), or after the first chunk of it was copied.
class Tamper final : public SaveObserver {
  public:
    Tamper(std::string name, bool atStart, std::function<void()> action)
        : name_(std::move(name)), atStart_(atStart), action_(std::move(action)) {}
    void stage(SaveStage stage, const std::string& name) override {
        current_ = stage == SaveStage::Copy ? name : std::string();
        if (current_ == name_ && atStart_)
            fire();
    }
    void copied(std::uint64_t, std::uint64_t) override {
        if (current_ == name_ && !atStart_)
            fire();
    }

  private:
    void fire() {
        if (!done_)
            action_();
        done_ = true;
    }
    std::string name_, current_;
    bool atStart_;
    std::function<void()> action_;
    bool done_ = false;
};

TEST_F(SaveTest, ASourceThatVanishesOrChangesWhileCopiedIsNamedAndLeftOut) {
    work({{"甲", {{"A", source("a.pdf", "old a")}, {"B", source("b.pdf", "old b")}}}});
    ASSERT_TRUE(save(pkg()).saved());
    const Snapshot previous = Take(pkg());
    const fs::path b = dir_ / "源" / "b2.pdf";
    const struct {
        const char* name;
        bool atStart;
        std::function<void()> tamper;
        SaveProblem problem;
    } cases[] = {
        {"vanishes", true, [&] { fs::remove(b); }, SaveProblem::SourceUnreadable},
        {"grows", false, [&] { std::ofstream(b, std::ios::app) << "more"; },
         SaveProblem::SourceChanged},
        {"shrinks", false, [&] { fs::resize_file(b, 100); }, SaveProblem::SourceChanged},
        {"is rewritten", false, [&] { WriteAll(b, std::string(20000, 'Z')); },
         SaveProblem::SourceChanged},
    };
    for (const auto& c : cases) {
        fs::remove_all(pkg());
        for (const auto& [path, content] : previous)
            if (content != "<folder>")
                WriteAll(pkg() / util::PathFromUtf8(path), content);
        work({{"甲",
               {{"A", source("a2.pdf", std::string(20000, 'A'))},
                {"B", source("b2.pdf", std::string(20000, 'B'))}}}});
        // An old time of change, so a rewrite within the same clock tick shows.
        fs::last_write_time(b, fs::file_time_type::clock::now() - std::chrono::hours(1));
        Tamper tamper("B.pdf", c.atStart, c.tamper);
        const SaveOutcome outcome = saveAgain(pkg(), &tamper);
        ASSERT_TRUE(outcome.saved()) << c.name;
        ASSERT_EQ(outcome.failures.size(), 1u) << c.name;
        EXPECT_EQ(outcome.failures[0].entry, "B") << c.name;
        EXPECT_EQ(outcome.failures[0].problem, c.problem) << c.name;
        // The new package, complete as its stored copy tells it: A new, B not stored.
        EXPECT_EQ(Stored(pkg(), "//fileUrl"), kLocal + "A.pdf|") << c.name;
        EXPECT_EQ(Take(pkg()).at("甲/A.pdf"), std::string(20000, 'A')) << c.name;
        EXPECT_EQ(ListTail(pkg()), "1、A.pdf\r\n") << c.name;
        EXPECT_FALSE(fs::exists(pkg() / kStagingFolderName)) << c.name;
    }
}

// ---- the save child: killed at every point, a full disk, a read-only target ----

class SaveChildTest : public SaveTest {
  protected:
    // Runs the child; returns its output, or "" when it was stopped or failed
    // (unless `exitCode` is given, which then receives the exit code).
    std::string child(const fs::path& shown, const std::string& storage, long stopAt,
                      const std::string& sizeLimit = "", const std::string& user = "",
                      int* exitCode = nullptr) {
        const char* program = std::getenv("QUILLOR_SAVE_CHILD");
        if (!program)
            return "<no QUILLOR_SAVE_CHILD>";
        const fs::path out = dir_ / "child.out";
        const std::string command =
            "\"" + std::string(program) + "\" \"" + util::PathToUtf8(workPath()) + "\" \"" +
            util::PathToUtf8(shown) + "\" \"" + storage + "\" " + std::to_string(stopAt) + " " +
            (sizeLimit.empty() && !user.empty() ? "-" : sizeLimit) + " " + user + " > \"" +
            util::PathToUtf8(out) + "\"";
        const int status = std::system(command.c_str());
        if (exitCode) {
#ifndef _WIN32
            *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#else
            *exitCode = status;
#endif
            return ReadAll(out);
        }
        return status == 0 ? ReadAll(out) : std::string();
    }
    static void Restore(const fs::path& from, const fs::path& to) {
        fs::remove_all(to);
        fs::copy(from, to, fs::copy_options::recursive);
    }
};

TEST_F(SaveChildTest, KilledAtAnyPointLeavesTheOldPackageUsableOrTheNewOneComplete) {
    work({{"甲", {{"A", source("a.doc", std::string(9000, 'a'))}, {"B", source("b.pdf", "b")}}},
          {"乙", {{"C", source("c.pdf", std::string(5000, 'c'))}}},
          {"丙", {{"D", source("d.txt", "d")}}},
          {"丁", {{"F", source("f.pdf", "f")}}}});
    const fs::path old = dir_ / "旧包";
    ASSERT_TRUE(save(old).saved());
    const Snapshot oldFiles = Take(old);
    work({{"甲",
           {{"A", source("a2.pdf", std::string(9000, 'A'))},
            {"B", ""},
            {"E", source("e.pdf", std::string(10000, 'e'))}}},
          {"乙", {{"C", source("c2.pdf", std::string(7000, 'C'))}}},
          {"丙", {{"D", ""}}},
          {"丁", {{"F", source("f2.doc", std::string(6000, 'F'))}}},
          {"戊", {{"G", source("g.pdf", "g")}}}});
    const std::string storage = util::PathToUtf8(pkg());
    Restore(old, pkg());
    ASSERT_TRUE(saveAgain(pkg()).saved());
    const Snapshot newFiles = Take(pkg());

    Restore(old, pkg());
    const std::string full = child(pkg(), storage, 0);
    ASSERT_EQ(full.rfind("points ", 0), 0u) << full;
    const long points = std::stol(full.substr(7));
    ASSERT_GE(points, 20);
    EXPECT_EQ(Take(pkg()), newFiles);

    int oldKept = 0, newComplete = 0;
    for (long k = 1; k <= points; ++k) {
        Restore(old, pkg());
        EXPECT_EQ(child(pkg(), storage, k), "") << "not stopped at " << k;
        const Snapshot now = Take(pkg());
        if (now.at("APLPKG.XML") == oldFiles.at("APLPKG.XML")) {
            ++oldKept;
            for (const auto& [path, content] : oldFiles) {
                const auto found = now.find(path);
                ASSERT_NE(found, now.end()) << path << " lost at " << k;
                const auto fresh = newFiles.find(path);
                EXPECT_TRUE(found->second == content ||
                            (fresh != newFiles.end() && found->second == fresh->second))
                    << path << " at " << k;
            }
        } else {
            ++newComplete;
            EXPECT_EQ(now.at("APLPKG.XML"), newFiles.at("APLPKG.XML")) << k;
            for (const auto& [path, content] : newFiles)
                EXPECT_EQ(now.count(path) ? now.at(path) : "<missing>", content)
                    << path << " at " << k;
        }
    }
    std::printf("killed at %ld points: the previous package kept %d times, the new one "
                "complete %d times\n",
                points, oldKept, newComplete);
    EXPECT_GT(oldKept, 0);
    EXPECT_GT(newComplete, 0);
    // The next save clears what the stopped one left.
    ASSERT_TRUE(saveAgain(pkg()).saved());
    EXPECT_EQ(Take(pkg()), newFiles);
}

#ifndef _WIN32
TEST_F(SaveChildTest, AFullDiskFailsOnlyTheFilesThatDoNotFit) {
    work({{"甲",
           {{"大", source("big.pdf", std::string(100000, 'x'))},
            {"小", source("small.pdf", std::string(10000, 'y'))}}}});
    const std::string out = child(pkg(), "", 0, "65536");
    EXPECT_NE(
        out.find("failure " + std::to_string(static_cast<int>(SaveProblem::DiskFull)) + " 甲/大\n"),
        std::string::npos)
        << out;
    EXPECT_EQ(out.find("甲/小"), std::string::npos) << out;
    EXPECT_EQ(Stored(pkg(), "//fileUrl"), "|" + kLocal + "小.pdf");
    EXPECT_EQ(ListTail(pkg()), "1、小.pdf\r\n");
    EXPECT_EQ(Keys(Take(pkg())),
              (std::vector<std::string>{"APLPKG.XML", "材料清单.txt", "甲", "甲/小.pdf"}));

    // A disk too full for the new stored copy itself: the previous package stays.
    const Snapshot previous = Take(pkg());
    std::vector<Entry> many;
    for (int i = 0; i < 40; ++i)
        many.push_back({"一个相当长的报件名称" + std::to_string(i), ""});
    work({{"甲", many}, {"乙", {{"新", source("new.pdf", "n")}}}});
    int exitCode = 0;
    const std::string refused = child(pkg(), util::PathToUtf8(pkg()), 0, "2048", "", &exitCode);
    EXPECT_EQ(exitCode, 1) << refused;
    EXPECT_NE(
        refused.find("status " + std::to_string(static_cast<int>(SaveStatus::FolderNotWritable))),
        std::string::npos)
        << refused;
    EXPECT_EQ(Take(pkg()), previous);
}

// As a user for whom the folder is read-only (the child drops root's rights).
TEST_F(SaveChildTest, AReadOnlyTargetKeepsThePreviousPackage) {
    for (fs::path p = dir_; p != p.parent_path(); p = p.parent_path())
        if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none)
            GTEST_SKIP() << p << " is closed to other users";
    work({{"甲", {{"A", source("a.pdf", "old a")}}}, {"乙", {{"B", source("b.pdf", "old b")}}}});
    ASSERT_TRUE(save(pkg()).saved());
    const Snapshot previous = Take(pkg());
    work({{"甲", {{"A", source("a2.pdf", "new a")}}}, {"乙", {{"B", source("b2.pdf", "new b")}}}});
    const std::string storage = util::PathToUtf8(pkg());
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;

    // The whole folder: nothing written.
    fs::permissions(pkg(), readOnly);
    int exitCode = 0;
    std::string out = child(pkg(), storage, 0, "-", "unprivileged", &exitCode);
    EXPECT_EQ(exitCode, 1) << out;
    EXPECT_NE(out.find("status " + std::to_string(static_cast<int>(SaveStatus::FolderNotWritable))),
              std::string::npos)
        << out;
    EXPECT_EQ(Take(pkg()), previous);

    // One material's folder: the others are stored, the stored copy names only
    // what is there, and the material's earlier file stays.
    fs::permissions(pkg(), fs::perms::all);
    fs::permissions(pkg() / "乙", fs::perms::all);
    fs::permissions(pkg() / "甲", readOnly);
    out = child(pkg(), storage, 0, "-", "unprivileged", &exitCode);
    EXPECT_EQ(exitCode, 0) << out;
    EXPECT_NE(out.find("failure " + std::to_string(static_cast<int>(SaveProblem::WriteFailed)) +
                       " 甲/A\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(Stored(pkg(), "//fileUrl"), "|" + kLocal + "B.pdf");
    EXPECT_EQ(Take(pkg()).at("乙/B.pdf"), "new b");
    EXPECT_EQ(Take(pkg()).at("甲/A.pdf"), "old a");
    EXPECT_EQ(ListTail(pkg()), "1、B.pdf\r\n");
    fs::permissions(pkg() / "甲", fs::perms::all);
}
#endif

// ---- the message after the save ----

TEST(SaveResultMessage, SizeAgainstTheLimitAndFailures) {
    const std::string advice =
        "所有附件文件大小为:11M，超过最大限定（10M）,请减少文件大小,建议处理方法:\r\n"
        "  1、对于JPG文件：降低图片精度或大小\r\n"
        "  2、对于DOC文件：对文中图片【设置图片格式】,选择压缩【文档中所有图片】\r\n"
        "  3、对于PDF文件：对原始文件压缩后重新生成PDF文件";
    SaveOutcome saved;
    saved.status = SaveStatus::Saved;
    SaveOutcome failed = saved;
    failed.failures = {{"营业执照", "副本", "D:\\scan\\a.pdf", SaveProblem::SourceMissing},
                       {"章程", "章程", "", SaveProblem::EntryName}};
    SaveOutcome unremembered = saved;
    unremembered.storagePathError = "database is locked";
    struct Case {
        const SaveOutcome& outcome;
        int mb;
        std::string text, title;
        platform::MsgIcon icon;
    } cases[] = {
        {saved, 10,
         "保存成功!  所有附件文件大小为:10M\r\n请将【D:\\包】目录(不含)下所有目录和文件刻录成光"
         "盘做为电子申报资料上报...\r\n 【注意】请不要手动对该目录下文件名和后缀名做任何修改！",
         "提示", platform::MsgIcon::Information},
        {saved, 11, "保存成功!\r\n" + advice, "警告", platform::MsgIcon::Critical},
        {failed, 0,
         "保存未全部成功！以下报件的文件未能保存：\r\n  "
         "【营业执照】副本：源文件不存在（D:\\scan\\a."
         "pdf）\r\n  【章程】章程：报件名称不能用作文件名\r\n请处理后重新保存。\r\n所有附件文件大"
         "小为:0M",
         "警告", platform::MsgIcon::Critical},
        {unremembered, 11,
         "保存未全部成功！以下报件的文件未能保存：\r\n  申报资料存储路径未能记入模板数据库：databa"
         "se is locked\r\n请处理后重新保存。\r\n" +
             advice,
         "警告", platform::MsgIcon::Critical},
    };
    for (const Case& c : cases) {
        const SaveMessage message = SaveResultMessage(c.outcome, c.mb, 10, "D:\\包");
        EXPECT_EQ(message.text, c.text);
        EXPECT_EQ(message.title, c.title);
        EXPECT_EQ(message.icon, c.icon);
    }
}

} // namespace

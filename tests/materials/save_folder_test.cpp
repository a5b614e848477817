#include "materials/save_folder.h"

#include "disc/check_command.h"
#include "materials/manifest.h"
#include "materials/manifest_fixture.h"
#include "materials/package_fixture.h"
#include "platform/file_copy.h"
#include "platform/gbk.h"
#include "platform/instance_lock.h"
#include "platform/xmldoc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
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
        WriteAll(dir_ / "源" / platform::PathFromUtf8(relative), content);
        return platform::PathToUtf8(dir_ / "源" / platform::PathFromUtf8(relative));
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
        return save(folder, platform::PathToUtf8(folder), observer);
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
                                        "其他材料/附件X.pdf", "材料清单.txt", "章程",
                                        "章程/另存.txt", "营业执照", "营业执照/营业执照.pdf"}));
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
    const SaveOutcome outcome = save(pkg(), platform::PathToUtf8(old));

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
                                  {"缺", platform::PathToUtf8(dir_ / "源" / "没有.pdf")},
                                  {"夹", platform::PathToUtf8(dir_ / "源" / "一个文件夹")},
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

    const SaveOutcome outcome = save(pkg(), platform::PathToUtf8(pkg()));

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
    EXPECT_EQ(outcome.failures[0].source, platform::PathToUtf8(dir_ / "源" / "没有.pdf"));

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
    EXPECT_FALSE(SaveLeftovers(pkg()));
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
                WriteAll(pkg() / platform::PathFromUtf8(path), content);
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
        EXPECT_FALSE(SaveLeftovers(pkg())) << c.name;
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
            "\"" + std::string(program) + "\" \"" + platform::PathToUtf8(workPath()) + "\" \"" +
            platform::PathToUtf8(shown) + "\" \"" + storage + "\" " + std::to_string(stopAt) + " " +
            (sizeLimit.empty() && !user.empty() ? "-" : sizeLimit) + " " + user + " > \"" +
            platform::PathToUtf8(out) + "\"";
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

// After a kill and the repair of whoever meets the folder next, the folder is
// exactly the package its APLPKG.XML names: the previous one or the new one.
// Returns which ("old", "new", or a description of the mix).
std::string RepairedState(const fs::path& folder, const Snapshot& oldFiles,
                          const Snapshot& newFiles) {
    const PackageRepair repair = RepairPackage(platform::PathToUtf8(folder));
    if (repair.result == RepairResult::Failed || SaveLeftovers(folder))
        return "not repaired";
    const Snapshot now = Take(folder);
    if (now == oldFiles)
        return "old";
    if (now == newFiles)
        return "new";
    std::string mix = "mixed:";
    for (const auto& [path, content] : now)
        if (!oldFiles.count(path) || oldFiles.at(path) != content)
            mix += " " + path;
    return mix;
}

TEST_F(SaveChildTest, KilledAtAnyPointTheRepairLeavesExactlyOnePackage) {
    struct Case {
        const char* name;
        int files;       // per material, in three materials
        int randomKills; // 0: a kill at every point
    } cases[] = {{"every stage boundary", 2, 0}, {"random moments of 40 files", 14, 20}};
    for (const Case& c : cases) {
        std::vector<Material> before, after;
        for (const char* m : {"甲", "乙", "丙"}) {
            Material o{m, {}}, n{m, {}};
            for (int i = 0; i < c.files; ++i) {
                const std::string e = std::string(m) + std::to_string(i);
                o.entries.push_back({e, source(e + ".doc", std::string(3000 + i, 'o'))});
                n.entries.push_back({e, i == 0 ? "" : source(e + ".pdf", std::string(4000, 'n'))});
            }
            before.push_back(o);
            after.push_back(n);
        }
        after.push_back({"丁", {{"新", source("new.pdf", "new")}}});
        work(before);
        const fs::path old = dir_ / "旧包";
        fs::remove_all(old);
        ASSERT_TRUE(save(old).saved()) << c.name;
        const Snapshot oldFiles = Take(old);
        work(after);
        Restore(old, pkg());
        ASSERT_TRUE(saveAgain(pkg()).saved()) << c.name;
        const Snapshot newFiles = Take(pkg());

        Restore(old, pkg());
        const std::string storage = platform::PathToUtf8(pkg());
        const std::string full = child(pkg(), storage, 0);
        ASSERT_EQ(full.rfind("points ", 0), 0u) << full;
        const long points = std::stol(full.substr(7));
        std::vector<long> kills;
        std::srand(19);
        for (long k = 1; k <= points && c.randomKills == 0; ++k)
            kills.push_back(k);
        for (int i = 0; i < c.randomKills; ++i)
            kills.push_back(1 + std::rand() % points);
        int oldKept = 0, newComplete = 0;
        for (long k : kills) {
            Restore(old, pkg());
            EXPECT_EQ(child(pkg(), storage, k), "") << "not stopped at " << k;
            const std::string state = RepairedState(pkg(), oldFiles, newFiles);
            oldKept += state == "old";
            newComplete += state == "new";
            EXPECT_TRUE(state == "old" || state == "new") << c.name << " at " << k << ": " << state;
        }
        std::printf("%s: killed at %zu of %ld points, repaired to the previous package %d times, "
                    "to the new one %d times\n",
                    c.name, kills.size(), points, oldKept, newComplete);
        EXPECT_GT(oldKept, 0) << c.name;
        if (c.randomKills == 0) {
            EXPECT_GT(newComplete, 0) << c.name;
        }
    }
}

#ifndef _WIN32
// A destination that fails (a full disk at several points, a folder turned
// read-only) rolls the whole save back: the previous package stays as it was.
TEST_F(SaveChildTest, ADestinationFailureKeepsThePreviousPackage) {
    for (fs::path p = dir_; p != p.parent_path(); p = p.parent_path())
        if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none)
            GTEST_SKIP() << p << " is closed to other users";
    const auto readOnly = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                          fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    std::vector<Entry> many;
    for (int i = 0; i < 40; ++i)
        many.push_back({"一个相当长的报件名称" + std::to_string(i), ""});
    many.push_back({"小", source("small.pdf", "s")});
    struct Case {
        const char* name;
        std::vector<Material> next;
        std::string sizeLimit, user;
        const char* lockedFolder; // made read-only for the save ("" none)
        SaveProblem problem;
    } cases[] = {
        {"full while copying",
         {{"甲", {{"大", source("big.pdf", std::string(100000, 'x'))}}}},
         "65536",
         "",
         "",
         SaveProblem::DiskFull},
        {"full for the stored copy", {{"甲", many}}, "2048", "", "", SaveProblem::DiskFull},
        {"a material folder read-only",
         {{"甲", {{"A", source("a2.pdf", "new a")}}}, {"乙", {{"B", source("b2.pdf", "new b")}}}},
         "-",
         "unprivileged",
         "甲",
         SaveProblem::ReadOnly},
        {"the package folder read-only",
         {{"甲", {{"A", source("a3.pdf", "new a")}}}, {"乙", {{"B", source("b3.pdf", "new b")}}}},
         "-",
         "unprivileged",
         ".",
         SaveProblem::ReadOnly},
    };
    for (const Case& c : cases) {
        fs::remove_all(pkg());
        work(
            {{"甲", {{"A", source("a.pdf", "old a")}}}, {"乙", {{"B", source("b.pdf", "old b")}}}});
        ASSERT_TRUE(save(pkg()).saved());
        if (!c.user.empty()) // the unprivileged child must be able to write the rest
            for (const auto& e : fs::recursive_directory_iterator(pkg()))
                fs::permissions(e.path(), fs::perms::all, fs::perm_options::add);
        fs::permissions(pkg(), fs::perms::all, fs::perm_options::add);
        const Snapshot previous = Take(pkg());
        work(c.next);
        const fs::path locked = pkg() / c.lockedFolder;
        if (*c.lockedFolder)
            fs::permissions(locked, readOnly);
        int exitCode = 0;
        const std::string out =
            child(pkg(), platform::PathToUtf8(pkg()), 0, c.sizeLimit, c.user, &exitCode);
        if (*c.lockedFolder)
            fs::permissions(locked, fs::perms::all);
        EXPECT_EQ(exitCode, 1) << c.name << "\n" << out;
        const int status = std::string(c.lockedFolder) == "."
                               ? static_cast<int>(SaveStatus::FolderNotWritable)
                               : static_cast<int>(SaveStatus::WriteFailed);
        EXPECT_NE(out.find("status " + std::to_string(status) + "\n"), std::string::npos)
            << c.name << "\n"
            << out;
        if (status == static_cast<int>(SaveStatus::WriteFailed)) {
            EXPECT_NE(out.find("problem " + std::to_string(static_cast<int>(c.problem))),
                      std::string::npos)
                << c.name << "\n"
                << out;
        }
        EXPECT_EQ(Take(pkg()), previous) << c.name;
    }
}
#endif

// Faults of the durability layer and of the file system, through its seam:
// the n-th flush, rename or hard link of a named file or folder fails. Before
// the commit the previous package comes back byte for byte; a rollback that
// cannot finish keeps its journal and backups, and the next repair finishes it.
TEST_F(SaveTest, FaultsOfTheFileSystemRollTheSaveBack) {
    using platform::FaultPoint;
    const std::string staging = kStagingFolderName + std::string(".");
    struct Case {
        const char* name;
        FaultPoint point;
        std::string subject; // the file or folder name (a staging folder: its prefix)
        int occurrence;      // fails from this call on (0: no fault)
        bool once;           // only that call fails, not the later ones
        bool noLinks;        // hard links cannot be made
        bool saved;
        SaveProblem problem;
        std::vector<std::string> stuck;
        std::string also{}; // the first rename onto this name fails too
    } cases[] = {
        {"the flush of a copy",
         FaultPoint::Flush,
         "1.part",
         1,
         true,
         false,
         false,
         SaveProblem::FlushFailed,
         {}},
        {"the flush of the new list",
         FaultPoint::Flush,
         "材料清单.txt",
         1,
         true,
         false,
         false,
         SaveProblem::FlushFailed,
         {}},
        {"the flush of the journal",
         FaultPoint::Flush,
         "journal",
         1,
         true,
         false,
         false,
         SaveProblem::FlushFailed,
         {}},
        {"the flush of the backups",
         FaultPoint::Flush,
         staging,
         2,
         true,
         false,
         false,
         SaveProblem::FlushFailed,
         {}},
        {"the flush of a new material folder",
         FaultPoint::Flush,
         "乙",
         1,
         true,
         false,
         false,
         SaveProblem::FlushFailed,
         {}},
        {"the flush after the commit",
         FaultPoint::Flush,
         "包",
         2,
         true,
         false,
         false,
         SaveProblem::FlushFailed,
         {}},
        {"no hard links", FaultPoint::HardLink, "", 1, false, true, true, {}, {}},
        {"no hard links, the commit's flush",
         FaultPoint::Flush,
         "包",
         2,
         true,
         true,
         false,
         SaveProblem::FlushFailed,
         {}},
        {"a rename after a file was placed",
         FaultPoint::Rename,
         "C.pdf",
         1,
         true,
         false,
         false,
         SaveProblem::WriteFailed,
         {}},
        {"no hard links, a rename after a file was placed",
         FaultPoint::Rename,
         "C.pdf",
         1,
         true,
         true,
         false,
         SaveProblem::WriteFailed,
         {}},
        {"the commit's rename",
         FaultPoint::Rename,
         "APLPKG.XML",
         1,
         true,
         false,
         false,
         SaveProblem::WriteFailed,
         {}},
        {"a rollback that cannot put a file back",
         FaultPoint::Rename,
         "A.pdf",
         2,
         false,
         false,
         false,
         SaveProblem::WriteFailed,
         {"甲/A.pdf"},
         "C.pdf"},
    };
    for (const Case& c : cases) {
        fs::remove_all(pkg());
        work({{"甲", {{"A", source("a.pdf", "old a")}, {"B", source("b.pdf", "old b")}}}});
        ASSERT_TRUE(save(pkg()).saved());
        const Snapshot previous = Take(pkg());
        work({{"甲", {{"A", source("a2.pdf", "new a")}, {"B", ""}}},
              {"乙", {{"C", source("c.pdf", "c")}}}});
        int seen = 0, alsoSeen = 0;
        platform::SetFaultHook([&](FaultPoint point, const fs::path& subject) {
            if (point == FaultPoint::HardLink && c.noLinks)
                return true;
            const std::string name = platform::PathToUtf8(subject.filename());
            if (point == FaultPoint::Rename && name == c.also)
                return ++alsoSeen == 1;
            if (point != c.point ||
                !(name == c.subject || (c.subject == staging && name.starts_with(staging))))
                return false;
            ++seen;
            return c.once ? seen == c.occurrence : seen >= c.occurrence;
        });
        const SaveOutcome outcome = saveAgain(pkg());
        platform::ClearFaultHook();
        EXPECT_EQ(outcome.saved(), c.saved) << c.name;
        if (c.saved) {
            EXPECT_EQ(Take(pkg()).at("甲/A.pdf"), "new a") << c.name;
            EXPECT_FALSE(fs::exists(pkg() / "甲" / "B.pdf")) << c.name;
            EXPECT_FALSE(SaveLeftovers(pkg())) << c.name;
            continue;
        }
        EXPECT_EQ(outcome.status, SaveStatus::WriteFailed) << c.name;
        EXPECT_EQ(outcome.writeProblem, c.problem) << c.name;
        EXPECT_EQ(outcome.stuck, c.stuck) << c.name;
        if (c.stuck.empty()) {
            EXPECT_EQ(Take(pkg()), previous) << c.name;
            continue;
        }
        // Kept for the next repair, which puts the previous package back.
        EXPECT_TRUE(HasInterruptedSave(platform::PathToUtf8(pkg()))) << c.name;
        EXPECT_EQ(RepairPackage(platform::PathToUtf8(pkg())).result, RepairResult::RolledBack)
            << c.name;
        EXPECT_EQ(Take(pkg()), previous) << c.name;
    }
}

// What the save removes: only what the previous stored copy stored, never a
// file of the user's and never a source of the same save.
TEST_F(SaveTest, OnlyWhatThePackageStoredIsRemoved) {
    struct Case {
        const char* name;
        std::vector<Material> first;                          // saved first ({} none)
        std::vector<std::pair<std::string, std::string>> own; // the user's files
        std::vector<Material> next;
        std::vector<std::string> kept, gone;
    };
    const std::string inside = platform::PathToUtf8(pkg() / "甲" / "A.doc");
    const Case cases[] = {
        {"a user's folder named like a material",
         {},
         {{"营业执照/扫描.jpg", "scan"}},
         {{"营业执照", {{"营业执照", ""}}, "0"}, {"章程", {{"章程", source("z.pdf", "z")}}}},
         {"营业执照/扫描.jpg"},
         {}},
        {"a home-like folder with hostile material names",
         {},
         {{".ssh/id_rsa", "key"}, {"Documents/a.txt", "doc"}},
         {{".ssh", {{"id_rsa", ""}}, "0"}, {"Documents", {{"a", ""}}, "0"}},
         {".ssh/id_rsa", "Documents/a.txt"},
         {}},
        {"a stored file cleared, beside a user's file",
         {{"甲", {{"A", source("a.doc", "a")}, {"B", source("b.doc", "b")}}}},
         {{"甲/A.txt", "mine"}},
         {{"甲", {{"A", ""}, {"B", kLocal + "B.doc"}}}},
         {"甲/A.txt", "甲/B.doc"},
         {"甲/A.doc"}},
        {"a count of 0 removes the stored files and the folder once empty",
         {{"甲", {{"A", source("a.doc", "a")}}}},
         {},
         {{"甲", {{"A", ""}}, "0"}},
         {},
         {"甲/A.doc", "甲"}},
        {"a count of 0 with a linked entry keeps folder and file",
         {{"甲", {{"A", source("a.doc", "a")}}}},
         {},
         {{"甲", {{"A", kLocal + "A.doc"}}, "0"}},
         {"甲/A.doc"},
         {}},
        {"the source of another entry inside the package",
         {{"甲", {{"A", source("a.doc", "a")}}}},
         {},
         {{"甲", {{"A", ""}, {"B", inside}}}},
         {"甲/A.doc", "甲/B.doc"},
         {}},
        {"an entry retitled while its link is still the source",
         {{"其他材料", {{"其他新增材料1", source("r.jpg", "r")}}}},
         {},
         {{"其他材料", {{"补充说明", source("r.jpg", "r")}}}},
         {"其他材料/补充说明.jpg"},
         {"其他材料/其他新增材料1.jpg"}},
        {"the source of an entry that fails",
         {{"甲", {{"A", source("a.doc", "a")}}}},
         {},
         {{"甲", {{"A", ""}, {"B:坏", inside}}}},
         {"甲/A.doc"},
         {}},
    };
    for (const Case& c : cases) {
        fs::remove_all(pkg());
        if (!c.first.empty()) {
            work(c.first);
            ASSERT_TRUE(save(pkg()).saved()) << c.name;
        }
        for (const auto& [path, content] : c.own)
            WriteAll(pkg() / platform::PathFromUtf8(path), content);
        work(c.next);
        ASSERT_TRUE(save(pkg(), c.first.empty() ? "" : platform::PathToUtf8(pkg())).saved())
            << c.name;
        for (const std::string& path : c.kept)
            EXPECT_TRUE(fs::exists(pkg() / platform::PathFromUtf8(path))) << c.name << ": " << path;
        for (const std::string& path : c.gone)
            EXPECT_FALSE(fs::exists(pkg() / platform::PathFromUtf8(path)))
                << c.name << ": " << path;
    }
}

TEST_F(SaveTest, RenamedEntriesForeignFoldersAndLinkedPackageFolders) {
    work({{"其他材料", {{"其他新增材料1", source("a.pdf", "a")}}}});
    ASSERT_TRUE(save(pkg()).saved());
    work({{"其他材料", {{"补充说明", kLocal + "其他新增材料1.pdf"}}}});
    ASSERT_TRUE(saveAgain(pkg()).saved());
    EXPECT_EQ(Keys(Take(pkg())),
              (std::vector<std::string>{"APLPKG.XML", "其他材料", "其他材料/补充说明.pdf",
                                        "材料清单.txt"}));
    EXPECT_EQ(Stored(pkg(), "//fileUrl"), kLocal + "补充说明.pdf");
    EXPECT_EQ(ListTail(pkg()), "1、补充说明.pdf\r\n");

    // Asked before the first save into a folder that holds other things.
    EXPECT_EQ(ForeignFolderQuestion(platform::PathToUtf8(pkg())), "");
    EXPECT_EQ(ForeignFolderQuestion(platform::PathToUtf8(dir_ / "无")), "");
    EXPECT_NE(ForeignFolderQuestion(platform::PathToUtf8(dir_ / "源")).find("是否保存到该目录"),
              std::string::npos);

    // A package folder that is a link to a folder elsewhere is saved into.
    fs::create_directory_symlink(pkg(), dir_ / "链接");
    work({{"其他材料", {{"补充说明", source("b.pdf", "b")}}}});
    const SaveOutcome linked = save(dir_ / "链接", platform::PathToUtf8(dir_ / "链接"));
    ASSERT_TRUE(linked.saved()) << static_cast<int>(linked.status);
    EXPECT_EQ(Take(pkg()).at("其他材料/补充说明.pdf"), "b");
}

// One save at a time: a second saver, in this process or another, is refused.
TEST_F(SaveChildTest, ASecondSaverIsRefusedAtOnce) {
    work({{"甲", {{"A", source("a.pdf", "a")}}}});
    ASSERT_TRUE(save(pkg()).saved());
    const Snapshot previous = Take(pkg());
    work({{"甲", {{"A", source("a2.pdf", "a2")}}}});
    auto held = platform::InstanceLock::TryAcquire(pkg() / kPackageLockName);
    ASSERT_NE(held, nullptr);
    EXPECT_EQ(saveAgain(pkg()).status, SaveStatus::Busy);
    int exitCode = 0;
    const std::string out = child(pkg(), platform::PathToUtf8(pkg()), 0, "", "", &exitCode);
    EXPECT_NE(out.find("status " + std::to_string(static_cast<int>(SaveStatus::Busy))),
              std::string::npos)
        << out;
    held.reset();
    EXPECT_EQ(Take(pkg()), previous);
    SaveOutcome busy;
    busy.status = SaveStatus::Busy;
    EXPECT_EQ(SaveFailureText(busy, "D:\\包"),
              "另一个程序正在保存到【D:\\包】，请等它结束后再保存。");
    EXPECT_TRUE(saveAgain(pkg()).saved());
}

#ifndef _WIN32
// `--check-package`: exit 0 on a good package, 1 on a damaged one, 2 without
// one; an interrupted save is repaired where the folder is writable, and a
// read-only folder is only read.
TEST_F(SaveChildTest, CheckPackageCommand) {
    for (fs::path p = dir_; p != p.parent_path(); p = p.parent_path())
        if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none)
            GTEST_SKIP() << p << " is closed to other users";
    work({{"甲", {{"A", source("a.txt", "old a")}, {"B", source("b.txt", "old b")}}}});
    const fs::path old = dir_ / "旧包";
    ASSERT_TRUE(save(old).saved());
    work({{"甲", {{"A", source("a2.txt", "new a")}, {"B", source("b2.txt", "new b")}}}});
    // Killed while the files are renamed into place: the folder holds a mix.
    const fs::path mixed = dir_ / "中断";
    for (long k = 1; !HasInterruptedSave(platform::PathToUtf8(mixed)) && k < 100; ++k) {
        Restore(old, mixed);
        child(mixed, platform::PathToUtf8(mixed), k);
    }
    ASSERT_TRUE(HasInterruptedSave(platform::PathToUtf8(mixed)));
    const fs::path interruptedCopy = dir_ / "中断只读";
    Restore(mixed, interruptedCopy);
    const fs::path unasked = dir_ / "中断未修复";
    Restore(mixed, unasked);
    const fs::path damaged = dir_ / "损坏";
    Restore(old, damaged);
    fs::remove(damaged / "甲" / "B.txt");
    struct Case {
        const char* name;
        fs::path folder;
        bool asReader; // run as a user for whom the folder is read-only
        bool repair;   // --repair
        int exit;
        std::string says;
        bool saving = false; // a save holds the folder's lock meanwhile
    } cases[] = {
        {"good", old, false, false, 0, "可以刻录"},
        {"damaged", damaged, false, false, 1, "不能刻录"},
        {"interrupted, not asked to repair", unasked, false, false, 1,
         "quillor --check-package --repair"},
        {"interrupted, repaired", mixed, false, true, 0, "已恢复为该次保存前的申报资料"},
        {"interrupted, read-only", interruptedCopy, true, true, 1, "目录只读：不作任何修复"},
        {"good, read-only", old, true, true, 0, "目录只读"},
        {"no package", dir_ / "源", false, false, 2, "没有可以读取的申报资料"},
        {"a save running", old, false, true, 0, "另一个程序正在保存到", true},
    };
    for (const Case& c : cases) {
        const auto saving =
            c.saving ? platform::InstanceLock::TryAcquire(c.folder / kPackageLockName) : nullptr;
        const Snapshot before = Take(c.folder);
        const fs::path out = dir_ / "check.out";
        WriteAll(out, "");
        fs::permissions(out, fs::perms::all); // written by the reader too
        const pid_t pid = fork();
        if (pid == 0) {
            if (c.asReader && (setgid(65534) != 0 || setuid(65534) != 0))
                _exit(9);
            int code = 0;
            {
                std::ofstream text(out, std::ios::binary);
                code =
                    disc::RunCheckPackage(platform::PathToUtf8(c.folder), nullptr, text, c.repair);
            }
            _exit(code);
        }
        int status = 0;
        waitpid(pid, &status, 0);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, c.exit) << c.name;
        EXPECT_NE(ReadAll(out).find(c.says), std::string::npos) << c.name << "\n" << ReadAll(out);
        if (c.asReader || !c.repair) {
            EXPECT_EQ(Take(c.folder), before) << c.name;
        }
    }
    EXPECT_EQ(Take(mixed), Take(old)); // rolled back byte for byte
}
#endif

// The lock goes last: when it is released the staging folder is gone, and
// the next saver finds the folder as the save left it.
TEST_F(SaveTest, TheLockIsReleasedAfterTheStagingFolderIsGone) {
    class AtRelease final : public SaveObserver {
      public:
        explicit AtRelease(fs::path folder) : folder_(std::move(folder)) {}
        void stage(SaveStage stage, const std::string&) override {
            if (stage != SaveStage::Release)
                return;
            ++releases;
            for (const auto& entry : fs::directory_iterator(folder_))
                left.push_back(platform::PathToUtf8(entry.path().filename()));
        }
        int releases = 0;
        std::vector<std::string> left;

      private:
        fs::path folder_;
    };
    work({{"甲", {{"A", source("a.pdf", "a")}}}});
    ASSERT_TRUE(save(pkg()).saved());
    AtRelease observer(pkg());
    work({{"甲", {{"A", source("a2.pdf", "a2")}}}});
    ASSERT_TRUE(saveAgain(pkg(), &observer).saved());
    EXPECT_EQ(observer.releases, 1);
    std::sort(observer.left.begin(), observer.left.end());
    EXPECT_EQ(observer.left,
              (std::vector<std::string>{"APLPKG.XML", "~APLPKG.lock", "材料清单.txt", "甲"}));
    EXPECT_FALSE(SaveLeftovers(pkg()));
    // An empty lock file left by a save killed as it began goes with the next repair.
    WriteAll(pkg() / kPackageLockName, "");
    fs::last_write_time(pkg() / kPackageLockName,
                        fs::file_time_type::clock::now() - std::chrono::minutes(5));
    EXPECT_EQ(RepairPackage(platform::PathToUtf8(pkg())).result, RepairResult::Nothing);
    EXPECT_FALSE(SaveLeftovers(pkg()));
    // A lock file that is a folder: nothing is saved, and the message says why.
    fs::create_directory(pkg() / kPackageLockName);
    const SaveOutcome refused = saveAgain(pkg());
    EXPECT_EQ(refused.status, SaveStatus::LockRefused);
    EXPECT_EQ(SaveFailureText(refused, "D:\\包"),
              "无法锁定【D:\\包】（~APLPKG.lock是文件夹），为免与其他程序同时写入，未保存。"
              "请检查该目录及其中的 ~APLPKG.lock。");
}

#ifndef _WIN32
// After a kill the applicant deletes the half-updated material folder: its
// backups prove it existed, so the repair makes it again. Where backups are
// lost too, the repair names only files that hold new content, and the next
// save sets the staging folder aside and rewrites the whole package.
TEST_F(SaveChildTest, ARepairThatFailedDoesNotBlockTheNextSave) {
    work({{"甲", {{"A", source("a.txt", "old a")}, {"B", source("b.txt", "old b")}}}});
    const fs::path old = dir_ / "旧包";
    ASSERT_TRUE(save(old).saved());
    const Snapshot oldFiles = Take(old);
    work({{"甲", {{"A", source("a2.txt", "new a")}, {"B", source("b2.txt", "new b")}}}});
    const fs::path mixed = dir_ / "中断";
    long kill = 1;
    for (; kill < 100; ++kill) { // killed once 甲/A.txt holds the new content
        Restore(old, mixed);
        child(mixed, platform::PathToUtf8(mixed), kill);
        if (ReadAll(mixed / "甲" / "A.txt") == "new a" &&
            HasInterruptedSave(platform::PathToUtf8(mixed)))
            break;
    }
    ASSERT_LT(kill, 100);
    fs::remove_all(mixed / "甲");
    EXPECT_EQ(RepairPackage(platform::PathToUtf8(mixed)).result, RepairResult::RolledBack);
    EXPECT_EQ(Take(mixed), oldFiles);

    Restore(old, mixed);
    child(mixed, platform::PathToUtf8(mixed), kill);
    for (const auto& entry : fs::directory_iterator(mixed))
        if (IsStagingFolderName(platform::PathToUtf8(entry.path().filename())))
            for (const auto& file : fs::directory_iterator(entry.path()))
                if (file.path().extension() == ".old")
                    fs::remove(file.path()); // the backups lost
    const PackageRepair failed = RepairPackage(platform::PathToUtf8(mixed));
    EXPECT_EQ(failed.result, RepairResult::Failed);
    EXPECT_EQ(failed.stuck, std::vector<std::string>{"甲/A.txt"});

    const SaveOutcome outcome = saveAgain(mixed);
    ASSERT_TRUE(outcome.saved());
    ASSERT_TRUE(outcome.setAside.starts_with(kSetAsidePrefix)) << outcome.setAside;
    EXPECT_TRUE(fs::exists(mixed / platform::PathFromUtf8(outcome.setAside) / kJournalName));
    EXPECT_NE(SetAsideSentence(outcome, "D:\\包").find(outcome.setAside), std::string::npos);
    EXPECT_EQ(ReadAll(mixed / "甲" / "B.txt"), "new b");
    EXPECT_FALSE(HasInterruptedSave(platform::PathToUtf8(mixed)));
    const disc::PackageCheck check = disc::CheckPackage(platform::PathToUtf8(mixed), nullptr);
    EXPECT_TRUE(check.burnable()) << disc::FindingsText(check);
    EXPECT_NE(disc::FindingsText(check).find(outcome.setAside), std::string::npos);
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
    SaveOutcome many = saved; // the first 20 named, the rest counted
    std::string manyText = "保存未全部成功！以下报件的文件未能保存：";
    for (int i = 1; i <= 23; ++i) {
        many.failures.push_back(
            {"甲", "第" + std::to_string(i) + "个报件", "", SaveProblem::SourceMissing});
        if (i <= 20)
            manyText += "\r\n  【甲】第" + std::to_string(i) + "个报件：源文件不存在";
    }
    manyText += "\r\n  ……另有 3 个报件未能保存\r\n请处理后重新保存。\r\n所有附件文件大小为:0M";
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
         "申报资料已保存，但申报资料存储路径未能记入模板数据库：database is locked\r\n下次打开时不"
         "会自动显示该目录，请处理后重新保存。\r\n" +
             advice,
         "警告", platform::MsgIcon::Critical},
        {many, 0, manyText, "警告", platform::MsgIcon::Critical},
    };
    for (const Case& c : cases) {
        const SaveMessage message = SaveResultMessage(c.outcome, c.mb, 10, "D:\\包");
        EXPECT_EQ(message.text, c.text);
        EXPECT_EQ(message.title, c.title);
        EXPECT_EQ(message.icon, c.icon);
    }
}

TEST(SaveFailureText, SaysWhyAndWhatHappenedToThePreviousPackage) {
    SaveOutcome full;
    full.status = SaveStatus::WriteFailed;
    full.writeProblem = SaveProblem::DiskFull;
    full.neededBytes = 5 * 1024 * 1024 + 1;
    full.freeBytes = 3 * 1024 * 1024 + 7;
    SaveOutcome stuck = full;
    stuck.writeProblem = SaveProblem::FlushFailed;
    stuck.stuck = {"甲/A.pdf"};
    SaveOutcome cancelled;
    cancelled.status = SaveStatus::Cancelled;
    const std::pair<SaveOutcome, std::string> cases[] = {
        {full, "保存失败：存储路径所在磁盘空间不足：申报资料需要 6 MB，磁盘上只有 3 MB 可用。\r\n"
               "【D:\\包】中保存前的申报资料已恢复，没有任何改动。"},
        {stuck, "保存失败：文件未能写入磁盘。\r\n未能恢复【D:\\包】中保存前的申报资料，以下文件已是"
                "新内容：\r\n  甲/A.pdf\r\n下次打开或保存该目录时将再次恢复，恢复前请勿刻录。"},
        {cancelled, "保存已取消，【D:\\包】中的申报资料没有任何改动。"},
    };
    for (const auto& [outcome, text] : cases)
        EXPECT_EQ(SaveFailureText(outcome, "D:\\包"), text);
}

} // namespace

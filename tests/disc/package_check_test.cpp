// The package check on small saved packages, each broken in one way after
// the save: what it reports (errors and warnings apart) and what it lets onto
// the disc.

#include "disc/package_check.h"
#include "materials/manifest_fixture.h"
#include "materials/package_fixture.h"
#include "materials/save_folder.h"
#include "platform/gbk.h"
#include "platform/instance_lock.h"
#include "support/fake_prompter.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>

using namespace materials_test;
using disc::FindingLevel;
using disc::PackageCheck;

namespace {

const std::string kOle2("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
const std::string kZip("PK\x03\x04", 4);

// Plays poppler and Qt's image reader: a file whose content starts with
// BROKEN does not open, one starting with LOCKED has a password, and for one
// starting with NOREAD the program's reader is missing. Called from the
// check's workers.
class FakeInspector final : public disc::ContentInspector {
  public:
    std::atomic<int> calls = 0;
    Verdict inspectPdf(const fs::path& file) override { return verdict(file); }
    Verdict inspectImage(const fs::path& file) override { return verdict(file); }

  private:
    Verdict verdict(const fs::path& file) {
        ++calls;
        const std::string head = ReadBytes(file).substr(0, 6);
        return head == "BROKEN"   ? Verdict::Unreadable
               : head == "LOCKED" ? Verdict::Locked
               : head == "NOREAD" ? Verdict::NoReader
                                  : Verdict::Good;
    }
};

class PackageCheckTest : public TempFolderTest {
  protected:
    // Saves a package of three materials (a PDF, a Word file, a picture) into
    // dir_/包; `extra` adds entries to 其他材料 as (name, source content, extension).
    fs::path
    Save(const std::vector<std::tuple<std::string, std::string, std::string>>& extra = {}) {
        WriteBytes(dir_ / "源" / "执照.pdf", "%PDF-1.4 good");
        WriteBytes(dir_ / "源" / "章程.doc", kOle2 + std::string(100, 'd'));
        WriteBytes(dir_ / "源" / "照片.jpg", "JFIF picture");
        std::vector<package_test::Entry> others = {{"其他新增材料1", U8(dir_ / "源" / "照片.jpg")}};
        int n = 0;
        for (const auto& [name, content, ext] : extra) {
            const fs::path source = dir_ / "源" / ("附加" + std::to_string(++n) + "." + ext);
            WriteBytes(source, content);
            others.push_back({name, U8(source)});
        }
        const std::string manifest = package_test::PackageManifest(
            {{"营业执照", {{"营业执照(副本)", U8(dir_ / "源" / "执照.pdf")}}},
             {"章程", {{"公司章程", U8(dir_ / "源" / "章程.doc")}}},
             {"其他材料", others}});
        const std::string work = writeManifest(manifest);
        const fs::path folder = dir_ / "包";
        const materials::SaveOutcome outcome =
            materials::SavePackage(package_test::Request(work, folder, ""));
        EXPECT_TRUE(outcome.saved());
        EXPECT_TRUE(outcome.failures.empty());
        return folder;
    }

    static std::vector<std::string> Lines(const PackageCheck& check, FindingLevel level) {
        std::vector<std::string> lines;
        for (const disc::PackageFinding& f : check.findings)
            if (f.level == level)
                lines.push_back(disc::FindingLine(f));
        return lines;
    }

    testsupport::ScopedFakePrompter prompter_;
};

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& l : lines)
        text += l + "\n";
    return text;
}

TEST_F(PackageCheckTest, ACleanPackageHasNoFindingsAndGoesOntoTheDiscWhole) {
    const fs::path folder = Save();
    FakeInspector inspector;
    const PackageCheck check = disc::CheckPackage(U8(folder), &inspector);
    EXPECT_TRUE(check.readable);
    EXPECT_TRUE(check.findings.empty()) << disc::FindingsText(check);
    EXPECT_TRUE(check.burnable());
    EXPECT_EQ(inspector.calls, 2); // the PDF and the picture
    std::vector<std::string> paths;
    for (const disc::DiscFile& f : check.discFiles)
        paths.push_back(f.discPath);
    EXPECT_EQ(paths,
              (std::vector<std::string>{"APLPKG.XML", "材料清单.txt", "营业执照/营业执照(副本).pdf",
                                        "章程/公司章程.doc", "其他材料/其他新增材料1.jpg"}));
    EXPECT_EQ(check.discFiles[2].size, 13u);
    EXPECT_EQ(disc::FindingsText(check), "");
}

// Thousands of strays make one line per kind beyond the first few.
TEST_F(PackageCheckTest, ManyFindingsOfOneKindAreCounted) {
    const fs::path folder = Save();
    for (int i = 0; i < 25; ++i)
        WriteBytes(folder / ("stray" + std::to_string(100 + i) + ".tmp"), "x");
    const PackageCheck check = disc::CheckPackage(U8(folder), nullptr);
    const std::vector<std::string> lines =
        disc::FindingLines(check, FindingLevel::Warning, disc::kFindingsPerKind);
    ASSERT_EQ(lines.size(), disc::kFindingsPerKind + 1);
    EXPECT_EQ(lines.back(), "……另有 15 个文件：不属于申报资料，不刻入光盘");
    EXPECT_EQ(check.count(FindingLevel::Warning), 25);
}

// The lock of a save that runs while a case is checked.
std::unique_ptr<platform::InstanceLock>& RunningSave() {
    static std::unique_ptr<platform::InstanceLock> lock;
    return lock;
}

// One breakage per case, made after the save; the lines expected among the
// errors and the warnings (each expected line must appear, nothing else).
TEST_F(PackageCheckTest, FindsWhatChangedOrIsWrongInTheFolder) {
    struct Case {
        const char* what;
        std::vector<std::tuple<std::string, std::string, std::string>> extra;
        std::function<void(const fs::path&)> breakIt;
        std::vector<std::string> errors;
        std::vector<std::string> warnings;
        std::vector<std::string> offDisc; // disc paths that must not be on the disc
    };
    const Case cases[] = {
        {"a file deleted",
         {},
         [](const fs::path& f) { fs::remove(f / "章程" / "公司章程.doc"); },
         {"【章程】公司章程（公司章程.doc）：文件不存在（保存后被删除或改名）"},
         {},
         {"章程/公司章程.doc"}},
        {"a file renamed",
         {},
         [](const fs::path& f) {
             fs::rename(f / "营业执照" / "营业执照(副本).pdf", f / "营业执照" / "执照.pdf");
         },
         {"【营业执照】营业执照(副本)（营业执照(副本).pdf）：文件不存在（保存后被删除或改名）"},
         {"【营业执照】执照.pdf：不在APLPKG.XML中，不刻入光盘"},
         {"营业执照/执照.pdf"}},
        {"a file replaced by an empty one",
         {},
         [](const fs::path& f) { WriteBytes(f / "章程" / "公司章程.doc", ""); },
         {"【章程】公司章程（公司章程.doc）：文件为空（0字节）"},
         {},
         {}},
        {"files added beside the package",
         {},
         [](const fs::path& f) {
             WriteBytes(f / "其他材料" / "Thumbs.db", "cache");
             WriteBytes(f / "说明.txt", "note");
             fs::create_directories(f / "旧材料");
             fs::create_directories(f / materials::kStagingFolderName);
         },
         {},
         {"【其他材料】Thumbs.db：不在APLPKG.XML中，不刻入光盘",
          "说明.txt：不属于申报资料，不刻入光盘", "旧材料：不属于申报资料，不刻入光盘",
          "~APLPKG.saving：上次保存未完成留下的临时文件夹，不刻入光盘"},
         {"其他材料/Thumbs.db", "说明.txt"}},
        {"a save running while the check runs, and one set aside",
         {},
         [](const fs::path& f) {
             fs::create_directories(f / "~APLPKG.saving.1a2b");
             fs::create_directories(f / "~APLPKG.未恢复的保存-20261207-101500");
             RunningSave() = platform::InstanceLock::TryAcquire(f / materials::kPackageLockName);
         },
         {},
         {"~APLPKG.saving.1a2b：另一个程序正在保存，本次检查的结果可能已经过时",
          "~APLPKG.未恢复的保存-20261207-101500：未能恢复的一次保存留下的备份，不刻入光盘；"
          "确认无用后可删除"},
         {}},
        {"the list edited",
         {},
         [](const fs::path& f) {
             std::string list = ReadBytes(f / "材料清单.txt");
             const std::string line = platform::Utf8ToGbkLossless("2、公司章程.doc\r\n");
             list.erase(list.find(line), line.size());
             WriteBytes(f / "材料清单.txt", list);
         },
         {"材料清单.txt：与APLPKG.XML不一致：应为“2、公司章程.doc”，实为“3、其他新增材料1.jpg”，"
          "请重新保存"},
         {},
         {}},
        {"the list removed",
         {},
         [](const fs::path& f) { fs::remove(f / "材料清单.txt"); },
         {"材料清单.txt：文件不存在，请重新保存"},
         {},
         {"材料清单.txt"}},
        {"containers with the wrong header",
         {{"旧版", "not an office file", "doc"},
          {"新版", kZip + "zipped", "doc"},
          {"表格", kOle2 + "old", "xlsx"},
          {"正常", kZip + "a new one", "docx"},
          {"下载的模板", "{\\rtf1\\ansi 模板}", "doc"}, // what 下载模板 writes: RTF
          {"带BOM的模板", "\xEF\xBB\xBF{\\rtf1\\ansi 模板}", "doc"},
          {"旧版表格", kOle2 + "sheet", "xls"}},
         [](const fs::path&) {},
         {"【其他材料】旧版（旧版.doc）：文件头不是Word文件（OLE2或RTF）格式，文件可能已损坏"},
         {"【其他材料】新版（新版.doc）：扩展名为.doc，内容却是新版Office（.docx）格式",
          "【其他材料】表格（表格.xlsx）：扩展名为.xlsx，内容却是旧版Office（.xls）格式"},
         {}},
        {"PDF and picture contents",
         {{"坏文件", "BROKEN pdf", "PDF"},
          {"加密", "LOCKED pdf", "pdf"},
          {"坏图片", "BROKEN", "png"}},
         [](const fs::path&) {},
         {"【其他材料】坏文件（坏文件.PDF）：PDF文件无法打开（文件已损坏或不是PDF文件）",
          "【其他材料】加密（加密.pdf）：PDF文件有密码保护，审批机关无法打开",
          "【其他材料】坏图片（坏图片.png）：图片无法解码（文件已损坏或不是图片文件）"},
         {},
         {}},
        {"the same content under two entries",
         {{"复印件", "%PDF-1.4 good", "pdf"}, {"同样大小", "%PDF-1.4 diff", "pdf"}},
         [](const fs::path&) {},
         {},
         {"【其他材料】复印件（复印件.pdf）：与【营业执照】营业执照(副本)（营业执照(副本)."
          "pdf）的文件内容相同"},
         {}},
        {"a name the disc would change (stored by another program)",
         {{"报告第一版", "text", "txt"}},
         [](const fs::path& f) {
             // The save refuses such a name: another program put it there.
             fs::rename(f / "其他材料" / "报告第一版.txt", f / "其他材料" / "报告;第一版.txt");
             for (const char* file : {"APLPKG.XML", "材料清单.txt"}) {
                 const bool list = std::string(file) != "APLPKG.XML"; // the stored copy is UTF-8
                 std::string text =
                     list ? platform::Gb18030ToUtf8(ReadBytes(f / file)) : ReadBytes(f / file);
                 text.replace(text.find("报告第一版.txt"), std::strlen("报告第一版.txt"),
                              "报告;第一版.txt");
                 if (!list)
                     WriteBytes(f / file, text);
                 else
                     platform::WriteGbkTextFile(f / file, text);
             }
         },
         {"【其他材料】报告第一版（报告;第一版.txt）：文件名无效：含有光盘或Windows不允许的字符“;"
          "”"},
         {"【其他材料】报告;第一版.txt：不在APLPKG.XML中，不刻入光盘"},
         {"其他材料/报告;第一版.txt"}},
        {"the program's PDF reader missing: said once, no PDF blamed",
         {{"扫描件", "NOREAD 1", "pdf"}, {"扫描件2", "NOREAD 2", "pdf"}},
         [](const fs::path&) {},
         {},
         {"本程序的PDF组件（quillor-pdf）缺失，未能检查PDF文件能否打开，请重新安装本程序"},
         {}},
        {"a stored file that is a link",
         {},
         [this](const fs::path& f) {
             fs::remove(f / "章程" / "公司章程.doc");
             WriteBytes(dir_ / "外面.doc", kOle2);
             fs::create_symlink(dir_ / "外面.doc", f / "章程" / "公司章程.doc");
         },
         {"【章程】公司章程（公司章程.doc）：不是普通文件"},
         {},
         {"章程/公司章程.doc"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir_);
        fs::create_directories(dir_);
        const fs::path folder = Save(c.extra);
        c.breakIt(folder);
        FakeInspector inspector;
        const PackageCheck check = disc::CheckPackage(U8(folder), &inspector);
        const std::vector<std::string> errors = Lines(check, FindingLevel::Error);
        const std::vector<std::string> warnings = Lines(check, FindingLevel::Warning);
        EXPECT_EQ(Joined(errors), Joined(c.errors));
        std::vector<std::string> sortedWarnings = warnings, wanted = c.warnings;
        std::sort(sortedWarnings.begin(), sortedWarnings.end());
        std::sort(wanted.begin(), wanted.end());
        EXPECT_EQ(Joined(sortedWarnings), Joined(wanted));
        EXPECT_EQ(check.burnable(), c.errors.empty());
        for (const std::string& off : c.offDisc)
            for (const disc::DiscFile& f : check.discFiles)
                EXPECT_NE(f.discPath, off);
        const std::string text = disc::FindingsText(check);
        if (!c.errors.empty() && !c.warnings.empty()) {
            EXPECT_LT(text.find("错误："), text.find("警告："));
        }
        RunningSave().reset();
    }
}

TEST_F(PackageCheckTest, AFolderWithoutAReadableManifestIsNoPackage) {
    const fs::path folder = Save();
    for (const std::string& content :
         {std::string(), std::string("<notoffer/>"), std::string("not xml at all")}) {
        WriteBytes(folder / "APLPKG.XML", content);
        const PackageCheck check = disc::CheckPackage(U8(folder), nullptr);
        EXPECT_FALSE(check.readable);
        EXPECT_FALSE(check.burnable());
        EXPECT_TRUE(check.discFiles.empty());
        ASSERT_EQ(check.findings.size(), 1u);
        EXPECT_EQ(disc::FindingLine(check.findings[0]),
                  "APLPKG.XML：无法读取，不是有效的申报资料清单");
    }
}

// A package beyond a DVD is refused by the check itself; the large file is
// sparse, so nothing of it is really written or read.
TEST_F(PackageCheckTest, APackageTooLargeForADvdIsAnError) {
    const fs::path folder = Save({{"录像", "v", "bin"}});
    fs::resize_file(folder / "其他材料" / "录像.bin", std::uint64_t{5} << 30);
    const PackageCheck check = disc::CheckPackage(U8(folder), nullptr);
    EXPECT_FALSE(check.burnable());
    EXPECT_GT(check.totalBytes, disc::kDvdBytes);
    const std::vector<std::string> errors = Lines(check, FindingLevel::Error);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].rfind("申报资料共5121M，超过单层DVD光盘的容量（4483M）", 0), 0u)
        << errors[0];
}

// The edge: a package exactly filling a DVD is burnable, one byte more is not.
TEST_F(PackageCheckTest, APackageExactlyFillingADvdIsBurnableOneByteMoreIsNot) {
    const fs::path folder = Save({{"录像", "v", "bin"}});
    const PackageCheck before = disc::CheckPackage(U8(folder), nullptr);
    ASSERT_TRUE(before.burnable()) << disc::FindingsText(before);
    const fs::path big = folder / "其他材料" / "录像.bin";
    const std::uint64_t others = before.totalBytes - fs::file_size(big);
    fs::resize_file(big, disc::kDvdBytes - others);
    const PackageCheck exact = disc::CheckPackage(U8(folder), nullptr);
    EXPECT_EQ(exact.totalBytes, disc::kDvdBytes);
    EXPECT_TRUE(exact.burnable()) << disc::FindingsText(exact);
    fs::resize_file(big, disc::kDvdBytes - others + 1);
    const PackageCheck over = disc::CheckPackage(U8(folder), nullptr);
    EXPECT_EQ(over.totalBytes, disc::kDvdBytes + 1);
    EXPECT_FALSE(over.burnable());
}

TEST(DiscNameProblemTest, TellsNamesThatJolietOrWindowsWouldChange) {
    const std::string chinese64 = [] {
        std::string s;
        for (int i = 0; i < 64; ++i)
            s += "材";
        return s;
    }();
    const struct {
        std::string name;
        std::string problem; // "" when the name is fine
    } cases[] = {
        {"营业执照(副本).pdf", ""},
        {"其他新增材料1.JPG", ""},
        {chinese64, ""},
        {chinese64 + "a", "名称超过64个字符（光盘Joliet格式的上限），刻录后会被截短"},
        // 62 characters and a surrogate pair are 64 units, but UCS-2 has no pair.
        {chinese64.substr(0, 62 * 3) + "𠀀", "含有光盘Joliet格式不能保存的字符“𠀀”"},
        {chinese64.substr(0, 63 * 3) + "𠀀",
         "名称超过64个字符（光盘Joliet格式的上限），刻录后会被截短"},
        {"古𠀀字.pdf", "含有光盘Joliet格式不能保存的字符“𠀀”"},
        {"a;b.pdf", "含有光盘或Windows不允许的字符“;”"},
        {"问题?.pdf", "含有光盘或Windows不允许的字符“?”"},
        {"tab\there.pdf", "含有控制字符"},
        {"结尾.", "以空格或句点结尾，Windows读出时会被改名"},
        {"结尾 ", "以空格或句点结尾，Windows读出时会被改名"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(disc::DiscNameProblem(c.name), c.problem) << c.name;
}

} // namespace

namespace {

// Stops after `stopAfter` questions; counts what it was told.
class StoppingObserver final : public disc::CheckObserver {
  public:
    explicit StoppingObserver(int stopAfter) : stopAfter_(stopAfter) {}
    void progress(Stage stage, std::uint64_t done, std::uint64_t total) override {
        EXPECT_LE(done, total);
        EXPECT_GE(done, (stage == Stage::Files ? filesDone : bytesDone)); // never backwards
        (stage == Stage::Files ? files : bytes) = total;
        (stage == Stage::Files ? filesDone : bytesDone) = done;
    }
    bool cancelRequested() override { return ++asked_ > stopAfter_; }
    std::uint64_t files = 0, bytes = 0, filesDone = 0, bytesDone = 0;

  private:
    int stopAfter_;
    int asked_ = 0;
};

// Large files of the same size are compared chunk by chunk on worker
// threads; the check tells its progress (forward only, to the end), and a
// check stopped at any point is never burnable.
TEST_F(PackageCheckTest, ComparesLargeFilesAndCanBeStoppedAnywhere) {
    const std::string big(3 * 1024 * 1024 + 17, 'x');
    std::string other = big;
    other.back() = 'y';
    const fs::path folder = Save(
        {{"甲", "%PDF" + big, "pdf"}, {"乙", "%PDF" + big, "pdf"}, {"丙", "%PDF" + other, "pdf"}});
    FakeInspector inspector;
    StoppingObserver all(1 << 30);
    const PackageCheck whole = disc::CheckPackage(U8(folder), &inspector, &all);
    EXPECT_TRUE(whole.burnable());
    EXPECT_EQ(Joined(Lines(whole, FindingLevel::Warning)),
              "【其他材料】乙（乙.pdf）：与【其他材料】甲（甲.pdf）的文件内容相同\n");
    EXPECT_EQ(all.files, 6u);
    EXPECT_EQ(all.filesDone, 6u);
    EXPECT_EQ(all.bytes, 3 * big.size() + 12);
    EXPECT_EQ(all.bytesDone, all.bytes);
    for (int stop : {0, 3, 7, 9}) {
        StoppingObserver observer(stop);
        const PackageCheck check = disc::CheckPackage(U8(folder), &inspector, &observer);
        EXPECT_TRUE(check.cancelled) << stop;
        EXPECT_FALSE(check.burnable()) << stop;
        EXPECT_EQ(Lines(check, FindingLevel::Error).back(), "检查已取消，未检查完毕") << stop;
    }
}

} // namespace

// Package folders made by someone else, opened with "打开" and saved, as the
// materials window does it: the stored copy taken as the working copy, the
// materials listed with their sizes and entries, the list window's walk, and
// the save back into the package folder. Every case must end (no pipe is
// opened, no entity expanded, no nesting or text beyond libxml2's limits),
// leave everything outside the package folder as it was (a sentinel folder
// beside it) and tell the user what is wrong.
//
// The small cases are the hostile inputs of the manifest fuzz corpus
// (tests/fuzz/corpus/manifest/hostile-*.xml); the big ones are made here.

#include "fuzz/fuzz_support.h"
#include "materials/manifest.h"
#include "materials/package_fixture.h"
#include "materials/save_folder.h"
#include "support/fake_prompter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <set>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;
using namespace materials;

fs::path Corpus() {
    const char* data = std::getenv("QUILLOR_TEST_DATA");
    return fs::path(data ? data : "tests/data") / ".." / "fuzz" / "corpus" / "manifest";
}

std::string Nested(int depth) {
    std::string xml = "<?xml version=\"1.0\"?>\n<offer v=\"1\" m=\"DZ-PG\"><attachments>";
    xml.reserve(static_cast<std::size_t>(depth) * 7 + 100);
    for (int i = 0; i < depth; ++i)
        xml += "<a>";
    for (int i = 0; i < depth; ++i)
        xml += "</a>";
    return xml + "</attachments></offer>\n";
}

std::string HugeText(std::size_t bytes) {
    return "<?xml version=\"1.0\"?>\n<offer v=\"1\" m=\"DZ-PG\"><attachments><attachment "
           "fjid=\"1\">"
           "<fjmc>甲</fjmc><fjms>" +
           std::string(bytes, 'x') + "</fjms></attachment></attachments></offer>\n";
}

struct Case {
    const char* name;     // a corpus file, or a generated case
    const char* expected; // what the messages say (a part of them)
};

class HostilePackageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        root_ = fuzz::OwnRoot("hostile");
        fs::create_directories(root_ / "程序");
        sentinel_.create(root_ / "哨兵");
    }
    void TearDown() override {
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    fs::path package() const { return root_ / "包"; }
    std::string work() const { return platform::PathToUtf8(root_ / "程序" / "TempXml.XML"); }

    // The package folder as a disc might bring it: the stored copy, files an
    // earlier save stored, links out of the folder and a pipe.
    void preparePackage(const std::string& stored) {
        std::error_code ignored;
        fs::remove_all(package(), ignored);
        fs::remove(root_ / "程序" / "TempXml.XML", ignored);
        fs::create_directories(package() / "营业执照");
        fs::create_directories(package() / "其他材料");
        fuzz::WriteAll(package() / "营业执照" / "营业执照.pdf", std::string(2048, 'a'));
        fuzz::WriteAll(package() / "其他材料" / "其他新增材料1.doc", std::string(10, 'b'));
        fuzz::WriteAll(package() / kStoredCopyName, stored);
#ifndef _WIN32
        fs::create_symlink(sentinel_.folder() / "secret.txt", package() / "营业执照" / "外.pdf");
        fs::create_directory_symlink(sentinel_.folder(), package() / "链接材料");
        ASSERT_EQ(::mkfifo((package() / "营业执照" / "管道.pdf").c_str(), 0600), 0);
#endif
    }

    // "打开" on the package folder, then "保存" into it; all messages joined.
    std::string openAndSave(const std::string& stored, std::string& outcomeText) {
        preparePackage(stored);
        testsupport::ScopedFakePrompter prompter;
        const std::string folder = platform::PathToUtf8(package());
        outcomeText = "not opened";
        if (TakeStoredCopy(folder, "DZ-PG", work())) {
            if (const auto view = ReadOpeningView(work(), folder))
                for (const MaterialRow& row : view->materials)
                    ReadWjlb(row.key, work(), folder);
            ReadLinkedTitles(work());
            const SaveOutcome outcome = SavePackage(
                package_test::Request(platform::PathFromUtf8(work()), package(), folder));
            outcomeText = outcome.saved() ? "saved, " + std::to_string(outcome.failures.size()) +
                                                " entries refused"
                                          : "not saved";
            if (outcome.saved())
                prompter->message(SaveResultMessage(outcome, 0, 200, folder).text, "", {}, {});
        }
        std::string messages;
        for (const auto& m : prompter->messages)
            messages += m.text + "\n";
        return messages;
    }

    void checkNothingOutside(const std::string& name) {
        sentinel_.check(name.c_str());
        std::set<std::string> entries;
        for (const auto& entry : fs::directory_iterator(root_))
            entries.insert(platform::PathToUtf8(entry.path().filename()));
        EXPECT_EQ(entries, (std::set<std::string>{"程序", "包", "哨兵"})) << name;
        const auto program = fuzz::Listing(root_ / "程序");
        for (const auto& [file, content] : program)
            EXPECT_EQ(file, "TempXml.XML") << name;
        // Nothing of the sentinel was read into the package.
        for (const auto& [file, content] : fuzz::Listing(package()))
            EXPECT_EQ(content.find("sentinel"), std::string::npos) << name << ": " << file;
    }

    void run(const Case& c, const std::string& stored) {
        std::string outcome;
        const std::string messages = openAndSave(stored, outcome);
        EXPECT_NE(messages.find(c.expected), std::string::npos)
            << c.name << " (" << outcome << ") said:\n"
            << messages;
        checkNothingOutside(c.name);
        std::printf("  %-42s %-26s %s\n", c.name, outcome.c_str(),
                    messages.substr(0, messages.find('\n')).c_str());
    }

    fs::path root_;
    fuzz::Sentinel sentinel_;
};

const Case kCorpusCases[] = {
    {"hostile-fjmc-empty.xml", "材料名称“”不能用作文件夹名"},
    {"hostile-fjmc-dot.xml", "材料名称“.”不能用作文件夹名"},
    {"hostile-fjmc-dotdot.xml", "材料名称“..”不能用作文件夹名"},
    {"hostile-fjmc-parent-x.xml", "材料名称“../x”不能用作文件夹名"},
    {"hostile-fjmc-drive.xml", "材料名称“C:\\x”不能用作文件夹名"},
    {"hostile-fjmc-unc.xml", "材料名称“\\\\host\\share\\x”不能用作文件夹名"},
    {"hostile-fjmc-control.xml", "不能用作文件夹名"},
    {"hostile-fjmc-long300.xml", "不能用作文件夹名"},
    {"hostile-control-characters-xml11.xml", "第2行：XML格式错误"},
    {"hostile-filename-empty.xml", "报件名称“”不能用作文件名"},
    {"hostile-filename-dot.xml", "报件名称“.”不能用作文件名"},
    {"hostile-filename-dotdot.xml", "报件名称“..”不能用作文件名"},
    {"hostile-filename-parent-x.xml", "报件名称“../x”不能用作文件名"},
    {"hostile-filename-drive.xml", "报件名称“C:\\x”不能用作文件名"},
    {"hostile-filename-unc.xml", "不能用作文件名"},
    {"hostile-filename-control.xml", "不能用作文件名"},
    {"hostile-filename-long300.xml", "不能用作文件名"},
    {"hostile-link-local-up.xml", "报件路径无效"},
    {"hostile-link-local-up2.xml", "报件路径无效"},
    {"hostile-link-absolute.xml", "链接已清除（/etc/passwd）"},
    {"hostile-link-windows.xml", "链接已清除（C:\\Windows\\win.ini）"},
    {"hostile-link-device.xml", "链接已清除（/dev/zero）"},
    {"hostile-link-proc.xml", "链接已清除（/proc/self/environ）"},
    {"hostile-link-relative.xml", "链接已清除（../../哨兵/secret.txt）"},
#ifndef _WIN32
    {"hostile-link-fifo.xml", "已保存的文件不存在"},
    {"hostile-link-symlink-out.xml", "已保存的文件不存在"},
    {"hostile-link-material-symlink.xml", "已保存的文件不存在"},
#endif
    {"hostile-link-in-link.xml", "链接已清除"},
    {"hostile-attachment-in-link.xml", "链接已清除"},
    // The first fileUrl below entry 1 is that of the entry in its name: empty.
    {"hostile-entry-in-filename.xml", "保存成功"},
    {"hostile-billion-laughs.xml", "文件中定义了实体(ENTITY)"},
    {"hostile-external-entity.xml", "文件中定义了实体(ENTITY)"},
    {"hostile-nested-1000.xml", "元素嵌套层次过多"},
    {"hostile-nested-attachments.xml", "编号“1”相同"},
    {"hostile-gb2312-invalid-bytes.xml", "字符编码错误"},
    {"hostile-bom-utf8-declared-gb2312.xml", "字节顺序标记(BOM)与声明的编码不符"},
    {"hostile-bom-utf8-content-gb2312.xml", "字节顺序标记(BOM)与声明的编码不符"},
    {"hostile-bom-utf16-declared-utf8.xml", "字节顺序标记(BOM)与声明的编码不符"},
    {"hostile-same-fjid.xml", "编号“1”相同"},
    {"hostile-dzjs-minus1.xml", "报件数“-1”不正确，已改为0"},
    {"hostile-dzjs-1e9.xml", "报件数“1e9”不正确，已改为1"},
    {"hostile-filexh-odd.xml", "保存成功"},
    {"hostile-package-names.xml", "材料名称不能用作文件夹名"},
    {"hostile-not-xml.xml", "XML格式错误"},
    {"hostile-empty.xml", "XML格式错误"},
    {"hostile-wrong-root.xml", "根元素不是offer"},
};

TEST_F(HostilePackageTest, EveryHostileCaseEndsStaysInsideAndSaysWhatIsWrong) {
    std::printf("  %-42s %-26s %s\n", "case", "outcome", "first message");
    for (const Case& c : kCorpusCases)
        run(c, fuzz::ReadAll(Corpus() / c.name));
    // Made here rather than kept in the corpus.
    run({"100000 nested elements", "元素嵌套层次过多"}, Nested(100000));
    run({"50 MB text node", "文件或其中的文字过大"}, HugeText(50u << 20));
}

TEST_F(HostilePackageTest, EveryHostileCorpusFileIsInTheSuite) {
    std::set<std::string> listed;
    for (const Case& c : kCorpusCases)
        listed.insert(c.name);
    for (const auto& entry : fs::directory_iterator(Corpus())) {
        const std::string name = platform::PathToUtf8(entry.path().filename());
        const bool posixOnly =
            name.find("fifo") != std::string::npos || name.find("symlink") != std::string::npos;
#ifdef _WIN32
        if (posixOnly)
            continue;
#else
        (void)posixOnly;
#endif
        if (name.starts_with("hostile-")) {
            EXPECT_TRUE(listed.contains(name)) << name;
        }
    }
}

TEST_F(HostilePackageTest, RealPackagesOpenAndSaveWithoutComplaint) {
    for (const char* name : {"real-stored-package.xml", "real-standard.xml", "real-gb2312.xml"}) {
        std::string outcome;
        const std::string messages = openAndSave(fuzz::ReadAll(Corpus() / name), outcome);
        EXPECT_EQ(outcome, "saved, 0 entries refused") << name;
        EXPECT_EQ(messages.rfind("保存成功!", 0), 0u) << name << ":\n" << messages;
        checkNothingOutside(name);
    }
}

} // namespace

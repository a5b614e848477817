#include "materials/manifest.h"

#include "materials/manifest_fixture.h"
#include "platform/xmldoc.h"
#include "support/fake_prompter.h"

#include <gtest/gtest.h>

#include <functional>

#ifndef _WIN32
#include <sys/stat.h>
#endif

using namespace materials;
using namespace materials_test;
using testsupport::ScopedFakePrompter;

namespace {

std::string Text(const std::string& path, const char* xpath, std::size_t index = 0) {
    platform::XmlDocument doc;
    if (!doc.load(path))
        return "<unreadable>";
    const auto nodes = doc.documentElement().selectNodes(xpath);
    return index < nodes.size() ? nodes[index].text() : "<none>";
}

std::string Numbers(const std::vector<FileRow>& rows) {
    std::string out;
    for (const FileRow& row : rows)
        out += row.number + ":" + row.title + ";";
    return out;
}

class ManifestTest : public TempFolderTest {
  protected:
    ScopedFakePrompter prompter_;
};

TEST_F(ManifestTest, UnreadableManifestsReportAndChangeNothing) {
    const std::string missing = U8(dir_ / "missing.XML");
    const std::string empty = writeManifest("", "empty.XML");
    const std::string garbage = writeManifest("<offer><attachments>", "garbage.XML");
    for (const std::string& path : {missing, empty, garbage}) {
        prompter_->messages.clear();
        EXPECT_EQ(ReadTips("1", path), "");
        EXPECT_FALSE(ReadFjlb(path).has_value());
        EXPECT_FALSE(ReadWjlb("1", path, "").has_value());
        EXPECT_FALSE(ReadMaterialsWithSizes(path, "").has_value());
        EXPECT_FALSE(saveWjlbUrl("1", "1", "x", path));
        EXPECT_FALSE(saveWjlbTitle("1", "1", "x", path));
        EXPECT_EQ(readAndsaveFilecount("1", path), 0);
        EXPECT_EQ(getFjKb("1", path, ""), "");
        ASSERT_EQ(prompter_->messages.size(), 8u);
        for (const auto& m : prompter_->messages) {
            EXPECT_EQ(m.text, "XML文件不存在-" + path);
            EXPECT_EQ(m.title, "提示");
            EXPECT_EQ(m.icon, platform::MsgIcon::Exclamation);
        }
        prompter_->messages.clear();
        EXPECT_FALSE(addWjlb("1", 1, "a", "a", path));
        EXPECT_FALSE(delWjlb("1", "1", path));
        EXPECT_EQ(ReadPackageMark(path), "");
        ASSERT_EQ(prompter_->messages.size(), 3u);
        for (const auto& m : prompter_->messages) {
            EXPECT_EQ(m.text, "XML文件不存在");
            EXPECT_EQ(m.title, "");
            EXPECT_EQ(m.buttons, platform::MsgButtons::Ok);
        }
    }
    EXPECT_FALSE(fs::exists(missing));
    EXPECT_EQ(ReadBytes(garbage), "<offer><attachments>");
}

TEST_F(ManifestTest, MalformedStructuresAreSkippedQuietly) {
    const char* variants[] = {
        "<root><attachments><attachment fjid='1'><fjmc>a</fjmc></attachment></attachments></root>",
        "<offer mark='x'/>",
        "<offer a='1' b='2'><attachment fjid='1'><fileList/></attachment></offer>",
        "<offer><attachments><attachment><fjmc>无键</fjmc><fileList><file><fileXh>1</fileXh>"
        "<fileUrl>x</fileUrl></file></fileList></attachment><attachment fjid='1'><fjmc>无表"
        "</fjmc></attachment></attachments></offer>",
    };
    for (const char* content : variants) {
        const std::string path = writeManifest(content);
        const std::string before = ReadBytes(path);
        EXPECT_EQ(readAndsaveFilecount("1", path), 0) << content;
        EXPECT_EQ(readAndsaveFilecount("", path), 0) << content;
        EXPECT_FALSE(saveWjlbUrl("1", "1", "c:\\a.doc", path));
        EXPECT_FALSE(saveWjlbTitle("1", "1", "t", path));
        EXPECT_FALSE(addWjlb("1", 1, "n", "t", path));
        EXPECT_FALSE(delWjlb("1", "1", path));
        EXPECT_EQ(ReadTips("1", path), "");
        EXPECT_FALSE(ReadWjlb("2", path, "").has_value());
        EXPECT_EQ(ReadBytes(path), before) << content;
    }
    EXPECT_TRUE(prompter_->messages.empty());
    // The material without a key still lists, with an empty key column.
    const auto rows = ReadFjlb(U8(dir_ / "TempXml.XML"));
    ASSERT_EQ(rows->size(), 2u);
    EXPECT_EQ((*rows)[0].name, "无键");
    EXPECT_EQ((*rows)[0].key, "");
}

TEST_F(ManifestTest, PackageMarkAndAcceptance) {
    EXPECT_TRUE(PackageMarkAccepted("B", "ABC"));
    EXPECT_TRUE(PackageMarkAccepted("ABC", "ABC"));
    EXPECT_TRUE(PackageMarkAccepted("", "ABC"));
    EXPECT_TRUE(PackageMarkAccepted("", ""));
    EXPECT_FALSE(PackageMarkAccepted("ABCD", "ABC"));
    EXPECT_FALSE(PackageMarkAccepted("b", "ABC"));

    EXPECT_EQ(ReadPackageMark(copyManifest("standard.xml")), "DZ-PG");
    const fs::path good = dir_ / "good", oneAttribute = dir_ / "one", broken = dir_ / "broken";
    fs::copy_file(ManifestData("standard.xml"),
                  (fs::create_directories(good), good / "APLPKG.XML"));
    WriteBytes(oneAttribute / "APLPKG.XML", "<offer ver='1'><attachments/></offer>");
    WriteBytes(broken / "APLPKG.XML", "not xml");
    EXPECT_EQ(ReadPackageMark(U8(oneAttribute / "APLPKG.XML")), "");
    EXPECT_TRUE(HoldsAcceptedPackage(U8(good), "评估 DZ-PG 甲级"));
    EXPECT_FALSE(HoldsAcceptedPackage(U8(good), "DZ-P"));
    EXPECT_TRUE(HoldsAcceptedPackage(U8(oneAttribute), "任何"));
    EXPECT_FALSE(HoldsAcceptedPackage(U8(dir_ / "none"), "任何"));
    EXPECT_FALSE(HoldsAcceptedPackage("", "任何"));
    prompter_->messages.clear();
    // An unreadable stored copy must never replace the working copy.
    EXPECT_FALSE(HoldsAcceptedPackage(U8(broken), "任何"));
    ASSERT_EQ(prompter_->messages.size(), 1u);
    EXPECT_EQ(prompter_->messages[0].text,
              "XML文件无法读取-" + U8(broken / "APLPKG.XML") + "\r\n（第1行：XML格式错误）");

    const std::string work = writeManifest("old");
    EXPECT_FALSE(TakeStoredCopy(U8(broken), "任何", work));
    EXPECT_EQ(ReadBytes(work), "old");
    EXPECT_TRUE(TakeStoredCopy(U8(good), "DZ-PG", work));
    EXPECT_EQ(ReadBytes(work), ReadBytes(ManifestData("standard.xml")));
}

TEST_F(ManifestTest, TipsTurnLineFeedsIntoCrLf) {
    const std::string path = writeManifest(
        "<offer><attachments><attachment fjid='a'><fjms>a\nb</fjms></attachment>"
        "<attachment fjid='b'><fjms>a&#13;\nb</fjms></attachment><attachment fjid='c'/>"
        "<attachment fjid='a'><fjms>second</fjms></attachment></attachments></offer>");
    EXPECT_EQ(ReadTips("a", path), "a\r\nb");
    EXPECT_EQ(ReadTips("b", path), "a\r\r\nb");
    EXPECT_EQ(ReadTips("c", path), "");
    EXPECT_EQ(ReadTips("z", path), "");
}

TEST_F(ManifestTest, ListsMaterialsAndEntries) {
    const std::string path = copyManifest("standard.xml");
    const auto materials = ReadFjlb(path);
    ASSERT_TRUE(materials);
    ASSERT_EQ(materials->size(), 3u);
    EXPECT_EQ((*materials)[1].number, "2");
    EXPECT_EQ((*materials)[1].name, "单位情况简表");
    EXPECT_EQ((*materials)[1].fileCount, "0");
    EXPECT_EQ((*materials)[2].key, "9");
    const auto files = ReadWjlb("2", path, "");
    ASSERT_TRUE(files);
    ASSERT_EQ(files->size(), 2u);
    EXPECT_EQ((*files)[0].name, "单位情况简表(盖章)");
    EXPECT_EQ((*files)[1].description, "附表说明");
    EXPECT_FALSE(ReadWjlb("7", path, "").has_value());

    EXPECT_FALSE(IsOldLayout(*materials, ""));
    EXPECT_TRUE(IsOldLayout({(*materials)[0], (*materials)[2]}, "新办"));
    EXPECT_FALSE(IsOldLayout({(*materials)[0]}, "变更"));
    EXPECT_TRUE(IsOldLayout({}, "变更"));
    EXPECT_TRUE(EntryMarksOldLayout("变更", "营业执照（副本）"));
    EXPECT_FALSE(EntryMarksOldLayout("变更", "营业执照(副本)"));
    EXPECT_FALSE(EntryMarksOldLayout("新办", "营业执照"));
}

TEST_F(ManifestTest, LinksAndTitlesFindTheFirstEntryByNumberText) {
    const std::string path = writeManifest(
        "<offer><attachments><attachment fjid='1'><dzjs>5</dzjs><fileList>"
        "<file><fileXh>01</fileXh><fileName/><fileTitle/><fileUrl/><filems/></file>"
        "<file><fileXh>1</fileXh><fileName/><fileTitle/><fileUrl/><filems/></file>"
        "<file><fileXh>1</fileXh><fileName/><fileTitle/><fileUrl/><filems/></file>"
        "</fileList></attachment><attachment fjid='1'><fileList><file><fileXh>1</fileXh>"
        "<fileUrl/></file></fileList></attachment></attachments></offer>");
    EXPECT_TRUE(saveWjlbUrl("1", "1", "C:\\扫描\\营业执照.JPG", path));
    EXPECT_EQ(Text(path, "//fileUrl", 0), "");
    EXPECT_EQ(Text(path, "//fileUrl", 1), "C:\\扫描\\营业执照.JPG");
    EXPECT_EQ(Text(path, "//fileUrl", 2), "");
    EXPECT_EQ(Text(path, "//fileUrl", 3), "");
    EXPECT_EQ(readAndsaveFilecount("1", path), 1);
    EXPECT_EQ(Text(path, "//dzjs"), "1");

    const std::string before = ReadBytes(path);
    EXPECT_FALSE(saveWjlbUrl("1", "7", "x", path));
    EXPECT_FALSE(saveWjlbUrl("1", "1", "C:\\扫描\\营业执照.JPG", path)); // same link: no write
    EXPECT_EQ(ReadBytes(path), before);

    EXPECT_TRUE(saveWjlbTitle("1", "01", "新标题", path));
    EXPECT_EQ(Text(path, "//fileTitle", 0), "新标题");
    EXPECT_EQ(Text(path, "//fileName", 0), "新标题");
    EXPECT_EQ(Text(path, "//filems", 0), "新标题");
    EXPECT_EQ(Text(path, "//fileTitle", 1), "");

    EXPECT_TRUE(saveWjlbUrl("1", "1", "", path));
    EXPECT_EQ(readAndsaveFilecount("1", path), 0);
    EXPECT_EQ(Text(path, "//dzjs"), "0");
}

TEST_F(ManifestTest, CountIncludesVanishedFilesAndSurvivesMissingDzjs) {
    const std::string path =
        writeManifest("<offer><attachments><attachment fjid='1'><fileList>"
                      "<file><fileXh>1</fileXh><fileUrl>/no/such/file.pdf</fileUrl></file>"
                      "<file><fileXh>2</fileXh><fileUrl>Local:\\\\x.pdf</fileUrl></file>"
                      "<file><fileXh>3</fileXh><fileUrl></fileUrl></file></fileList></attachment>"
                      "</attachments></offer>");
    const std::string before = ReadBytes(path);
    EXPECT_EQ(readAndsaveFilecount("1", path), 2);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(getFjKb("1", path, U8(dir_)), "");

    // More linked entries than an Integer holds: the count stops at 32767.
    std::string many = "<offer><attachments><attachment fjid='1'><fileList>";
    for (int i = 1; i <= 32768; ++i)
        many += "<file><fileXh>" + std::to_string(i) + "</fileXh><fileUrl>a.pdf</fileUrl></file>";
    const std::string crowded =
        writeManifest(many + "</fileList></attachment></attachments></offer>");
    EXPECT_EQ(readAndsaveFilecount("1", crowded), 32767);
}

TEST_F(ManifestTest, AddAppendsACompleteEntry) {
    const std::string path = copyManifest("standard.xml");
    EXPECT_TRUE(addWjlb("9", 4, "其他新增材料4", "其他新增材料4", path));
    const auto rows = ReadWjlb("9", path, "");
    ASSERT_EQ(rows->size(), 4u);
    EXPECT_EQ(rows->back().number, "4");
    EXPECT_EQ(rows->back().name, "其他新增材料4");
    EXPECT_EQ(rows->back().link, "");
    platform::XmlDocument doc;
    ASSERT_TRUE(doc.load(path));
    const platform::XmlNode added = doc.documentElement().selectNodes(".//file").back();
    std::string layout;
    for (const platform::XmlNode& child : added.selectNodes("*"))
        layout += child.name() + "=" + child.getAttribute("title") + ";";
    EXPECT_EQ(layout, "fileXh=文件序号;fileName=文件标准文件名;fileTitle=文件标题;"
                      "fileUrl=文件路径;filems=文件描述;");
}

TEST_F(ManifestTest, DeleteRenumbersAsNumbers) {
    std::string twelve = "<offer><attachments><attachment fjid='9'><fileList>";
    for (int i = 1; i <= 12; ++i)
        twelve += "<file><fileXh>" + std::to_string(i) + "</fileXh><fileName>其他新增材料" +
                  std::to_string(i) + "</fileName><fileTitle>其他新增材料" + std::to_string(i) +
                  "</fileTitle><fileUrl>u" + std::to_string(i) +
                  "</fileUrl><filems>m</filems></file>";
    const std::string path =
        writeManifest(twelve + "</fileList></attachment></attachments></offer>");
    EXPECT_TRUE(delWjlb("9", "9", path));
    const auto rows = ReadWjlb("9", path, "");
    ASSERT_EQ(rows->size(), 11u);
    EXPECT_EQ((*rows)[7].number, "8");
    EXPECT_EQ((*rows)[8].number, "9");
    EXPECT_EQ((*rows)[8].link, "u10");
    EXPECT_EQ((*rows)[10].number, "11");
    EXPECT_EQ((*rows)[10].name, "其他新增材料11");
    EXPECT_EQ((*rows)[10].title, "其他新增材料11");
    EXPECT_EQ((*rows)[0].title, "其他新增材料1");
    EXPECT_EQ((*rows)[0].description, "m");

    const std::string three = copyManifest("standard.xml");
    EXPECT_TRUE(delWjlb("9", "1", three));
    EXPECT_TRUE(delWjlb("9", "1", three));
    EXPECT_TRUE(delWjlb("9", "1", three));
    EXPECT_TRUE(ReadWjlb("9", three, "")->empty());
    const std::string empty = ReadBytes(three);
    EXPECT_FALSE(delWjlb("9", "1", three));
    EXPECT_EQ(ReadBytes(three), empty);
}

// Renumbering renames only entries that still carry the generated name and
// title of their old number; whatever the user typed stays.
TEST_F(ManifestTest, DeleteKeepsTitlesTheUserTyped) {
    struct Entry {
        const char* name;
        const char* title;
    };
    const struct {
        std::vector<Entry> entries;
        const char* deleted;
        const char* expected; // number:name/title; ...
    } cases[] = {
        {{{"其他新增材料1", "其他新增材料1"},
          {"其他新增材料2", "其他新增材料2"},
          {"其他新增材料3", "其他新增材料3"}},
         "2",
         "1:其他新增材料1/其他新增材料1;2:其他新增材料2/其他新增材料2;"},
        {{{"其他新增材料1", "其他新增材料1"}, {"其他新增材料2", "其他新增材料2"}, {"合同", "合同"}},
         "1",
         "1:其他新增材料1/其他新增材料1;2:合同/合同;"},
        {{{"章程", "章程"}, {"其他新增材料2", "其他新增材料2"}, {"其他新增材料3", "其他新增材料3"}},
         "2",
         "1:章程/章程;2:其他新增材料2/其他新增材料2;"},
        // Only one of the two still generated: the user's title is kept with its name.
        {{{"其他新增材料1", "其他新增材料1"}, {"其他新增材料2", "委托书"}},
         "1",
         "1:其他新增材料2/委托书;"},
        // A generated name of another number was typed by the user.
        {{{"其他新增材料1", "其他新增材料1"}, {"其他新增材料5", "其他新增材料5"}},
         "1",
         "1:其他新增材料5/其他新增材料5;"},
    };
    for (const auto& c : cases) {
        std::string xml = "<offer><attachments><attachment fjid='9'><fileList>";
        int xh = 0;
        for (const Entry& e : c.entries)
            xml += "<file><fileXh>" + std::to_string(++xh) + "</fileXh><fileName>" + e.name +
                   "</fileName><fileTitle>" + e.title + "</fileTitle><fileUrl/><filems>" + e.title +
                   "</filems></file>";
        const std::string path =
            writeManifest(xml + "</fileList></attachment></attachments></offer>");
        ASSERT_TRUE(delWjlb("9", c.deleted, path));
        const auto rows = ReadWjlb("9", path, "");
        ASSERT_TRUE(rows);
        std::string shown;
        for (const FileRow& row : *rows)
            shown += row.number + ":" + row.name + "/" + row.title + ";";
        EXPECT_EQ(shown, c.expected) << "deleting " << c.deleted;
    }
}

// A number that no entry has (compared as text) removes nothing, so nothing
// may be renumbered or renamed either: "01" must not shift 2 and 3 onto 1 and 2.
TEST_F(ManifestTest, DeleteOfAMissingNumberChangesNothing) {
    const std::string path = copyManifest("standard.xml");
    EXPECT_TRUE(saveWjlbTitle("9", "1", "改过的标题", path));
    const std::string before = ReadBytes(path);
    for (const char* xh : {"01", "0", "7", ""})
        EXPECT_FALSE(delWjlb("9", xh, path)) << xh;
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(ReadWjlb("9", path, "")->front().title, "改过的标题");
}

TEST_F(ManifestTest, DeleteOfAnEntryHoldingNestedEntriesRemovesThemWithIt) {
    const std::string path = writeManifest(
        "<offer><attachments><attachment fjid='9'><fileList>"
        "<file><fileXh>1</fileXh><fileName/><fileTitle/><file><fileXh>2</fileXh><fileName/>"
        "<fileTitle/></file></file><file><fileXh>3</fileXh><fileName/><fileTitle/></file>"
        "</fileList></attachment></attachments></offer>");
    EXPECT_TRUE(delWjlb("9", "1", path));
    EXPECT_EQ(Numbers(*ReadWjlb("9", path, "")), "2:其他新增材料2;");
}

TEST_F(ManifestTest, OperationsKeepEncodingAndUntouchedContent) {
    const std::string path = copyManifest("gb2312.xml");
    const std::string link = "D:\\资料\\❤镕\\营业执照.pdf";
    EXPECT_TRUE(saveWjlbUrl("1", "1", link, path));
    EXPECT_EQ(readAndsaveFilecount("1", path), 1);
    EXPECT_TRUE(addWjlb("9", 4, "其他新增材料4", "其他新增材料4", path));
    EXPECT_TRUE(saveWjlbTitle("9", "4", "说明书（镕）", path));
    EXPECT_TRUE(delWjlb("9", "1", path));
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"GB2312\"?>", 0), 0u);
    EXPECT_EQ(ReadWjlb("1", path, "")->front().link, link);
    EXPECT_EQ(ReadTips("1", path), "申请函要求（朱镕基）\r\n加盖公章");
    EXPECT_EQ(ReadWjlb("9", path, "")->back().description, "说明书（镕）");
    EXPECT_EQ(ReadPackageMark(path), "DZ-PG");
    platform::XmlDocument doc;
    ASSERT_TRUE(doc.load(path));
    EXPECT_EQ(doc.documentElement().getAttribute("extra"), "保留");
    EXPECT_EQ(doc.documentElement().selectSingleNode(".//header/title").text(),
              "地质灾害危险性评估资质申请");
    EXPECT_EQ(doc.documentElement().selectSingleNode(".//attachment").getAttribute("kind"), "必交");
    EXPECT_NE(bytes.find("<!-- "), std::string::npos);
}

TEST_F(ManifestTest, LocalLinksStayInsideTheStorageFolder) {
    const std::string storage = U8(dir_ / "pkg");
    makeFile("pkg/申请函/申请函.pdf", 1025);
    makeFile("secret.pdf", 5000);
    makeFile("pkg/secret.pdf", 5000);
    EXPECT_EQ(getFileKb("Local:\\\\申请函.pdf", "申请函", storage), "2");
    // Only the leading prefix is taken off: what follows must be a plain name.
    EXPECT_EQ(getFileKb("Local:\\\\申请函.pdfLocal:\\\\", "申请函", storage), "");
    for (const char* link : {"Local:\\\\..\\secret.pdf", "Local:\\\\../secret.pdf", "Local:\\\\..",
                             "Local:\\\\. .", "Local:\\\\", "Local:\\\\C:secret.pdf"})
        EXPECT_FALSE(ResolveLink(link, "申请函", storage).has_value()) << link;
    for (const char* name : {"..", "../..", "a/..", "..\\", "", "申请函\\..", ". ."})
        EXPECT_FALSE(ResolveLink("Local:\\\\secret.pdf", name, storage).has_value()) << name;
    EXPECT_FALSE(ResolveLink("Local:\\\\申请函.pdf", "申请函", "").has_value());
    EXPECT_EQ(*ResolveLink("/abs/源文件.doc", "申请函", storage), fs::path("/abs/源文件.doc"));
    EXPECT_FALSE(ResolveLink("", "申请函", storage).has_value());
    // A relative source path is never resolved against the current folder.
    for (const char* link : {"secret.pdf", "../secret.pdf", "pkg/申请函/申请函.pdf"})
        EXPECT_FALSE(ResolveLink(link, "申请函", storage).has_value()) << link;
#ifndef _WIN32
    // Neither the stored file nor its material's folder may lead elsewhere.
    fs::create_symlink(dir_ / "secret.pdf", dir_ / "pkg" / "申请函" / "外.pdf");
    fs::create_directory_symlink(dir_, dir_ / "pkg" / "链接");
    EXPECT_EQ(getFileKb("Local:\\外.pdf", "申请函", storage), "");
    EXPECT_EQ(getFileKb("Local:\\secret.pdf", "链接", storage), "");
#endif
    EXPECT_EQ(getFileKb("Local:\\\\a..b.pdf", "申请函", storage), ""); // allowed name, no file
}

// The forms a link takes: only one that starts with the prefix is a stored
// file's link; opening clears every other non-empty link; none resolves
// against the current folder. A stored file whose name holds a control
// character, or that is a link leading out, gets no size.
TEST_F(ManifestTest, LinkFormsAreJudgedByTheirStartOnly) {
    const std::string storage = U8(dir_ / "pkg");
    makeFile("pkg/甲/a.pdf", 10);
    makeFile("pkg/甲/a\tb.pdf", 10);
    makeFile("Local:\\\\/secret.pdf", 10); // a folder named Local:\\ beside the package
    const std::string through = U8(dir_ / "Local:\\\\" / "secret.pdf");
    const struct {
        std::string link;
        bool stored, kept, sized; // IsStoredLink, left by opening, getFileKb gives a size
    } cases[] = {
        {"Local:\\\\a.pdf", true, true, true},
        {"local:\\\\a.pdf", false, false, false},
        {"Local:\\a.pdf", false, false, false},
        {"xLocal:\\\\a.pdf", false, false, false},
        {through, false, false, true},
        {"Local:\\\\Local:\\\\a.pdf", true, true, false},
        {"Local:\\\\../甲/a.pdf", true, true, false},
        {"Local:\\\\a\tb.pdf", true, true, false},
        {"pkg/甲/a.pdf", false, false, false},
        {"", false, true, false},
    };
#ifndef _WIN32
    fs::create_symlink(dir_ / "Local:\\\\" / "secret.pdf", dir_ / "pkg" / "甲" / "链.pdf");
    EXPECT_EQ(getFileKb("Local:\\\\链.pdf", "甲", storage), "");
#endif
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        EXPECT_EQ(IsStoredLink(c.link), c.stored);
        EXPECT_EQ(getFileKb(c.link, "甲", storage).empty(), !c.sized);
        WriteBytes(dir_ / "开" / "APLPKG.XML",
                   "<offer v=\"1\" m=\"DZ\"><attachments><attachment fjid=\"1\"><fjmc>甲</fjmc>"
                   "<fileList><file><fileXh>1</fileXh><fileName>a</fileName><fileUrl>" +
                       c.link + "</fileUrl></file></fileList></attachment></attachments></offer>");
        ASSERT_TRUE(TakeStoredCopy(U8(dir_ / "开"), "DZ", U8(dir_ / "TempXml.XML")));
        EXPECT_EQ(Text(U8(dir_ / "TempXml.XML"), "//fileUrl"), c.kept ? c.link : "");
    }
}

// A notice lists at most 20 problems: a 21st is counted, not listed.
TEST_F(ManifestTest, NoticesListTwentyProblemsAndCountTheRest) {
    for (int problems : {20, 21}) {
        std::string files;
        for (int i = 1; i <= problems; ++i)
            files +=
                "<file><fileName>f</fileName><fileUrl>/x" + std::to_string(i) + "</fileUrl></file>";
        WriteBytes(dir_ / "开" / "APLPKG.XML",
                   "<offer v=\"1\" m=\"DZ\"><attachments><attachment "
                   "fjid=\"1\"><fjmc>甲</fjmc><fileList>" +
                       files + "</fileList></attachment></attachments></offer>");
        prompter_->messages.clear();
        ASSERT_TRUE(TakeStoredCopy(U8(dir_ / "开"), "DZ", U8(dir_ / "TempXml.XML")));
        ASSERT_EQ(prompter_->messages.size(), 1u);
        const std::string& text = prompter_->messages[0].text;
        EXPECT_NE(text.find("（/x20）"), std::string::npos);
        EXPECT_EQ(text.find("（/x21）"), std::string::npos);
        EXPECT_EQ(text.find("……（共21项）") != std::string::npos, problems == 21) << text;
    }
}

TEST_F(ManifestTest, SizesRoundUpToWholeKbAndMb) {
    EXPECT_EQ(getFileKb(makeFile("one", 1), "m", ""), "1");
    EXPECT_EQ(getFileKb(makeFile("kb", 1024), "m", ""), "1");
    EXPECT_EQ(getFileKb(makeFile("kb1", 1025), "m", ""), "2");
    EXPECT_EQ(getFileKb(makeFile("zero", 0), "m", ""), "");
    EXPECT_EQ(getFileKb(U8(dir_ / "gone"), "m", ""), "");
    EXPECT_EQ(getFileKb(U8(dir_), "m", ""), ""); // a folder is no file
    EXPECT_EQ(getTotalMb({"1024"}), 1);
    EXPECT_EQ(getTotalMb({"1000", "25"}), 2);
    EXPECT_EQ(getTotalMb({"", ""}), 0);
    EXPECT_EQ(getTotalMb({}), 0);
}

// The one-pass reading must show exactly what ReadFjlb plus one getFjKb per row shows.
TEST_F(ManifestTest, OnePassViewMatchesPerMaterialReading) {
    const std::string storage = U8(dir_ / "pkg");
    const std::string a = makeFile("src/a.doc", 3000);
    makeFile("pkg/乙/s.pdf", 2048);
    const std::string path = writeManifest(
        "<offer><attachments>"
        "<attachment fjid='1'><fjxh>1</fjxh><fjmc>甲</fjmc><dzjs>2</dzjs><fileList>"
        "<file><fileUrl>" +
        a + "</fileUrl></file><file><fileUrl>" + a +
        "</fileUrl></file></fileList></attachment>"
        "<attachment fjid='2'><fjxh>2</fjxh><fjmc>乙</fjmc><fileList><file><fileUrl>"
        "Local:\\\\s.pdf</fileUrl></file><file><fileUrl>/gone.pdf</fileUrl></file></fileList>"
        "</attachment>"
        "<attachment fjid='1'><fjmc>重复键</fjmc><fileList><file><fileUrl>Local:\\\\s.pdf"
        "</fileUrl></file></fileList></attachment>"
        "<attachment><fjmc>无键</fjmc><fileList><file><fileUrl>" +
        a +
        "</fileUrl></file></fileList></attachment>"
        "<attachment fjid=''><fjmc>空键</fjmc><fileList/></attachment>"
        "<attachment fjid='3'><fjmc>..</fjmc><fileList><file><fileUrl>Local:\\\\s.pdf"
        "</fileUrl></file></fileList></attachment></attachments></offer>");
    const auto view = ReadMaterialsWithSizes(path, storage);
    const auto listed = ReadFjlb(path);
    ASSERT_TRUE(view && listed);
    ASSERT_EQ(view->size(), listed->size());
    for (std::size_t i = 0; i < view->size(); ++i) {
        EXPECT_EQ((*view)[i].name, (*listed)[i].name);
        EXPECT_EQ((*view)[i].key, (*listed)[i].key);
        EXPECT_EQ((*view)[i].kb, getFjKb((*listed)[i].key, path, storage)) << i;
    }
    const auto opening = ReadOpeningView(path, storage);
    ASSERT_TRUE(opening);
    EXPECT_EQ(opening->materials.size(), view->size());
    EXPECT_EQ(opening->materials[2].kb, (*view)[2].kb);
    ASSERT_TRUE(opening->firstFiles);
    EXPECT_EQ(opening->firstFiles->size(), 2u);
    EXPECT_EQ(opening->firstFiles->at(1).kb, ReadWjlb("1", path, storage)->at(1).kb);
    EXPECT_EQ(opening->firstTips, ReadTips("1", path));
    EXPECT_EQ((*view)[0].kb, "6");
    EXPECT_EQ((*view)[1].kb, "2");
    EXPECT_EQ((*view)[2].kb, "6"); // shares the first material's key
    EXPECT_EQ((*view)[3].kb, "");
    EXPECT_EQ((*view)[5].kb, "");
}

TEST_F(ManifestTest, OpeningViewFollowsTheFirstRowsKeyLikeASelection) {
    // The first material has no key: its row shows "" as key, which selects the
    // first material whose key is the empty text.
    const std::string path = writeManifest(
        "<offer><attachments><attachment><fjmc>无键</fjmc><fjms>甲</fjms></attachment>"
        "<attachment fjid=''><fjmc>空键</fjmc><fjms>乙</fjms><fileList><file><fileXh>7</fileXh>"
        "</file></fileList></attachment></attachments></offer>");
    const auto view = ReadOpeningView(path, "");
    ASSERT_TRUE(view && view->firstFiles);
    EXPECT_EQ(view->firstTips, "乙");
    EXPECT_EQ(view->firstFiles->at(0).number, "7");
    const std::string none = writeManifest("<offer><attachments/></offer>", "none.XML");
    EXPECT_TRUE(ReadOpeningView(none, "")->materials.empty());
    EXPECT_FALSE(ReadOpeningView(none, "")->firstFiles);
}

} // namespace

// ---- hostile nesting and taking stored copies ----

// Entry 2 lies inside the fileName of entry 1: renaming entry 1 frees it.
TEST_F(ManifestTest, DeleteIsSafeWhenAnEntryLiesInsideAnotherOnesText) {
    // Entry 2 (generated names, renumbered and renamed) lies inside entry 1's
    // name; entry 3 has generated names as well.
    const std::string manifest =
        "<offer><attachments><attachment fjid='9'><fileList>"
        "<file><fileXh>1</fileXh><fileName>外<file><fileXh>2</fileXh><fileName>其他新增材料2"
        "</fileName><fileTitle>其他新增材料2</fileTitle></file></fileName><fileTitle>外"
        "</fileTitle></file>"
        "<file><fileXh>3</fileXh><fileName>其他新增材料3</fileName><fileTitle>其他新增材料3"
        "</fileTitle></file></fileList></attachment></attachments></offer>";
    const struct {
        const char* deleted;
        const char* left;
    } cases[] = {{"1", "2:其他新增材料2;"},
                 // Entry 1's first fileTitle is entry 2's (document order): its own stays.
                 {"2", "1:外;2:其他新增材料2;"},
                 // Entry 1's name is not a generated one: kept, with entry 2 inside.
                 {"3", "1:其他新增材料2;2:其他新增材料2;"}};
    for (const auto& c : cases) {
        const std::string path = writeManifest(manifest);
        EXPECT_TRUE(delWjlb("9", c.deleted, path)) << c.deleted;
        const auto rows = ReadWjlb("9", path, "");
        ASSERT_TRUE(rows) << c.deleted;
        EXPECT_EQ(Numbers(*rows), c.left) << c.deleted;
    }
}

TEST_F(ManifestTest, TakenCopiesAreWritableAndKeepOnlyLocalLinks) {
    const fs::path package = dir_ / "光盘";
    WriteBytes(package / "APLPKG.XML",
               "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<offer v=\"1\" m=\"DZ\"><attachments>"
               "<attachment fjid=\"1\"><fjmc>甲</fjmc><dzjs>4</dzjs><fileList>"
               "<file><fileXh>1</fileXh><fileName>a</fileName><fileTitle>本地</fileTitle>"
               "<fileUrl>Local:\\\\a.pdf</fileUrl></file>"
               "<file><fileXh>2</fileXh><fileName>b</fileName><fileTitle>绝对</fileTitle>"
               "<fileUrl>/etc/passwd</fileUrl></file>"
               "<file><fileXh>3</fileXh><fileName>c</fileName><fileUrl>../../x.pdf</fileUrl></file>"
               "<file><fileXh>4</fileXh><fileName>d</fileName><fileTitle>空</fileTitle><fileUrl/>"
               "</file>"
               "</fileList></attachment><attachment fjid=\"2\"><fjmc>乙</fjmc><dzjs>1</dzjs>"
               "<fileList><file><fileXh>1</fileXh><fileName>e</fileName><fileTitle>乙件</fileTitle>"
               "<fileUrl>/x.pdf</fileUrl></file></fileList></attachment></attachments></offer>\n");
    fs::permissions(package / "APLPKG.XML", fs::perms::owner_read | fs::perms::group_read);
    const std::string stored = ReadBytes(package / "APLPKG.XML");
    const std::string work = U8(dir_ / "TempXml.XML");
    WriteBytes(dir_ / "TempXml.XML", "old");
    fs::permissions(dir_ / "TempXml.XML", fs::perms::owner_read);

    ASSERT_TRUE(TakeStoredCopy(U8(package), "DZ", work));
    EXPECT_NE(fs::status(work).permissions() & fs::perms::owner_write, fs::perms::none);
    EXPECT_EQ(Text(work, "//fileUrl", 0), "Local:\\\\a.pdf");
    EXPECT_EQ(Text(work, "//fileUrl", 1), "");
    EXPECT_EQ(Text(work, "//fileUrl", 2), "");
    EXPECT_EQ(Text(work, "//dzjs"), "1");
    EXPECT_EQ(ReadBytes(package / "APLPKG.XML"), stored); // the disc is only read
    ASSERT_EQ(prompter_->messages.size(), 1u);
    EXPECT_EQ(
        prompter_->messages[0].text,
        "打开的申报资料中有以下问题：\r\n"
        "  【甲】绝对：链接的文件不在申报资料存储路径中，链接已清除（/etc/passwd）\r\n"
        "  【甲】第3个报件：链接的文件不在申报资料存储路径中，链接已清除（../../x.pdf）\r\n"
        "  【甲】报件数“4”不正确，已改为1\r\n" // a count right before the clearing is not named
        "  【乙】乙件：链接的文件不在申报资料存储路径中，链接已清除（/x.pdf）");
    EXPECT_EQ(Text(work, "//dzjs", 1), "0");
    EXPECT_TRUE(saveWjlbUrl("1", "4", "/tmp/新.pdf", work)); // the working copy takes writes
    fs::permissions(package / "APLPKG.XML", fs::perms::owner_all);
}

#ifndef _WIN32
// Only a regular file of the folder is opened as its stored copy.
TEST_F(ManifestTest, APipeOrALinkNamedAplpkgIsNoStoredCopy) {
    fs::create_directories(dir_ / "管道包");
    ASSERT_EQ(mkfifo((dir_ / "管道包" / "APLPKG.XML").c_str(), 0600), 0);
    WriteBytes(dir_ / "别处" / "APLPKG.XML", ReadBytes(ManifestData("standard.xml")));
    fs::create_directories(dir_ / "链接包");
    fs::create_symlink(dir_ / "别处" / "APLPKG.XML", dir_ / "链接包" / "APLPKG.XML");
    for (const char* folder : {"管道包", "链接包"}) {
        prompter_->messages.clear();
        EXPECT_FALSE(TakeStoredCopy(U8(dir_ / folder), "DZ-PG", U8(dir_ / "TempXml.XML")));
        ASSERT_EQ(prompter_->messages.size(), 1u) << folder;
        EXPECT_EQ(prompter_->messages[0].text,
                  "XML文件无法读取-" + U8(dir_ / folder / "APLPKG.XML") + "\r\n（不是普通文件）");
    }
    EXPECT_FALSE(fs::exists(dir_ / "TempXml.XML"));
}
#endif

TEST_F(ManifestTest, FailedWritesOfTheWorkingCopyAreReported) {
    const std::string path = copyManifest("standard.xml");
    const std::string before = ReadBytes(path);
    // A folder where the new content is written first: every write fails.
    fs::create_directories(dir_ / "TempXml.XML.saving~" / "x");
    const std::vector<std::function<bool()>> writes = {
        [&] { return saveWjlbUrl("1", "1", "/a.pdf", path); },
        [&] { return saveWjlbTitle("9", "1", "新", path); },
        [&] { return addWjlb("9", 4, "n", "t", path); },
        [&] { return delWjlb("9", "1", path); },
    };
    for (std::size_t i = 0; i < writes.size(); ++i) {
        prompter_->messages.clear();
        EXPECT_FALSE(writes[i]()) << i;
        ASSERT_EQ(prompter_->messages.size(), 1u) << i;
        EXPECT_EQ(prompter_->messages[0].text, "XML文件无法保存-" + path) << i;
    }
    EXPECT_EQ(ReadBytes(path), before);

    // Taking a stored copy whose working copy cannot be written.
    fs::create_directories(dir_ / "TempXml.XML.taking~" / "x");
    const fs::path package = dir_ / "包";
    fs::create_directories(package);
    fs::copy_file(ManifestData("standard.xml"), package / "APLPKG.XML");
    prompter_->messages.clear();
    EXPECT_FALSE(TakeStoredCopy(U8(package), "DZ-PG", path));
    ASSERT_EQ(prompter_->messages.size(), 1u);
    EXPECT_EQ(prompter_->messages[0].text, "XML文件无法保存-" + path);
    EXPECT_EQ(ReadBytes(path), before);
}

namespace {

// The parsed working copy is kept between operations: whatever changes the
// file meanwhile is seen, and a combined write puts every change on disk once,
// when it ends, or reports it and keeps none of them.
TEST_F(ManifestTest, TheKeptTreeFollowsTheFileAndCombinedWritesWriteOnce) {
    const std::string manifest =
        "<offer><attachments><attachment fjid='1'><dzjs>0</dzjs><fileList>"
        "<file><fileXh>1</fileXh><fileTitle>甲</fileTitle><fileUrl/></file>"
        "</fileList></attachment></attachments></offer>";
    const std::string path = writeManifest(manifest);
    EXPECT_TRUE(saveWjlbTitle("1", "1", "乙", path));
    // Rewritten by someone else, same size, in place: read again.
    std::string changed = ReadBytes(path);
    changed.replace(changed.find("乙"), std::string("乙").size(), "丙");
    WriteBytes(path, changed);
    ASSERT_TRUE(ReadWjlb("1", path, "").has_value());
    EXPECT_EQ(ReadWjlb("1", path, "")->front().title, "丙");
    fs::remove(path);
    prompter_->messages.clear();
    EXPECT_FALSE(ReadWjlb("1", path, "").has_value());
    EXPECT_EQ(prompter_->messages.size(), 1u);

    writeManifest(manifest);
    {
        const CombinedWrite write(path);
        EXPECT_TRUE(saveWjlbUrl("1", "1", "/a.pdf", path));
        EXPECT_EQ(readAndsaveFilecount("1", path), 1);
        EXPECT_EQ(ReadBytes(path), manifest); // nothing written yet
        EXPECT_EQ(ReadWjlb("1", path, "")->front().link, "/a.pdf");
    }
    EXPECT_EQ(Text(path, "//fileUrl"), "/a.pdf");
    EXPECT_EQ(Text(path, "//dzjs"), "1");

    const std::string before = ReadBytes(path);
    fs::create_directories(dir_ / "TempXml.XML.saving~" / "x"); // every write fails
    prompter_->messages.clear();
    {
        const CombinedWrite write(path);
        saveWjlbUrl("1", "1", "", path);
        readAndsaveFilecount("1", path);
    }
    ASSERT_EQ(prompter_->messages.size(), 1u);
    EXPECT_EQ(prompter_->messages[0].text, "XML文件无法保存-" + path);
    EXPECT_EQ(ReadBytes(path), before);
    EXPECT_EQ(ReadWjlb("1", path, "")->front().link, "/a.pdf"); // the file, not the lost change
}

} // namespace

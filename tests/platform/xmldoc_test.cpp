#include "platform/xmldoc.h"

#include "platform/gbk.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace fs = std::filesystem;
using platform::XmlDocument;
using platform::XmlNode;

namespace {

fs::path DataFile(const std::string& name) {
    const char* root = std::getenv("QUILLOR_TEST_DATA");
    return fs::path(root ? root : "tests/data") / "xml" / name;
}

std::string ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

class XmlDocTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("quillor_xmldoc_" + std::to_string(std::random_device{}()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path copyOf(const std::string& name) {
        const fs::path target = dir_ / name;
        fs::copy_file(DataFile(name), target, fs::copy_options::overwrite_existing);
        return target;
    }

    fs::path dir_;
};

TEST_F(XmlDocTest, UnreadableFilesLeaveNoRootAndPrintNothing) {
    WriteBytes(dir_ / "truncated.xml", "<?xml version=\"1.0\"?><offer><a>");
    WriteBytes(dir_ / "bad_encoding.xml", "<?xml version=\"1.0\" encoding=\"NO-SUCH\"?><offer/>");
    const std::vector<fs::path> paths = {dir_ / "missing.xml",      DataFile("empty.xml"),
                                         DataFile("not_xml.xml"),   dir_ / "truncated.xml",
                                         dir_ / "bad_encoding.xml", dir_};
    for (const fs::path& path : paths) {
        XmlDocument doc;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(doc.load(path)) << path;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << path;
        EXPECT_TRUE(doc.documentElement().isNull()) << path;
        EXPECT_FALSE(doc.save(dir_ / "out.xml"));
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.xml"));
}

TEST_F(XmlDocTest, FailedLoadDropsThePreviousTree) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load(DataFile("utf8_manifest.xml")));
    EXPECT_FALSE(doc.load(dir_ / "missing.xml"));
    EXPECT_TRUE(doc.documentElement().isNull());
}

TEST_F(XmlDocTest, ChineseManifestsSurviveAHundredCyclesByteForByte) {
    for (const char* name : {"gb2312_manifest.xml", "gbk_declared.xml", "utf8_manifest.xml"}) {
        const fs::path path = copyOf(name);
        std::string original = ReadBytes(path);
        // A file declared GB2312 keeps every byte of what GB2312 holds; the
        // GBK-only 镕 is read all the same, and written as a reference.
        if (std::string(name) == "gb2312_manifest.xml")
            original.replace(original.find(*platform::Utf8ToGbk("镕")), 2, "&#38229;");
        for (int i = 0; i < 100; ++i) {
            XmlDocument doc;
            ASSERT_TRUE(doc.load(path)) << name;
            ASSERT_TRUE(doc.save(path)) << name;
        }
        EXPECT_EQ(ReadBytes(path), original) << name;
        XmlDocument doc;
        ASSERT_TRUE(doc.load(path));
        // 镕 is GBK only: it must come through a file declared GB2312 as well.
        EXPECT_EQ(doc.documentElement().selectSingleNode(".//fjms").text(),
                  "第一行\n第二行：朱镕基题字 & <注意>");
        EXPECT_EQ(doc.documentElement().attributeValue(1), "地灾评估-甲级");
    }
}

TEST_F(XmlDocTest, CharactersOutsideTheDeclaredEncodingAreKept) {
    const fs::path path = copyOf("gb2312_manifest.xml");
    const std::string outside = "心❤ 𠀀 €";
    {
        XmlDocument doc;
        ASSERT_TRUE(doc.load(path));
        doc.documentElement().selectSingleNode(".//fileTitle").setText(outside);
        doc.documentElement().selectSingleNode(".//fileList").setAttribute("note", outside);
        ASSERT_TRUE(doc.save(path));
        EXPECT_EQ(doc.encoding(), "GB2312");
    }
    const std::string bytes = ReadBytes(path);
    EXPECT_EQ(bytes.rfind("<?xml version=\"1.0\" encoding=\"GB2312\"?>", 0), 0u);
    EXPECT_NE(bytes.find("&#"), std::string::npos);
    for (int i = 0; i < 3; ++i) {
        XmlDocument doc;
        ASSERT_TRUE(doc.load(path));
        EXPECT_EQ(doc.documentElement().selectSingleNode(".//fileTitle").text(), outside);
        EXPECT_EQ(doc.documentElement().selectSingleNode(".//fileList").getAttribute("note"),
                  outside);
        ASSERT_TRUE(doc.save(path));
    }
}

TEST_F(XmlDocTest, SetTextIsLiteralAndAlwaysSavesParseably) {
    const fs::path path = copyOf("utf8_manifest.xml");
    const std::string literal = "a<b>&amp; &#20013; ]]> \"q\" 'x'\r\nline";
    const std::string unsafe = std::string("x\x01y\x0Bz") + '\0' + "\xFF" + "w";
    {
        XmlDocument doc;
        ASSERT_TRUE(doc.load(path));
        XmlNode root = doc.documentElement();
        root.selectSingleNode(".//fileTitle").setText(literal);
        root.selectSingleNode(".//fileName").setText(unsafe);
        root.selectSingleNode(".//fileUrl").setText("");
        root.selectSingleNode(".//fjms").setText("替换");
        root.selectSingleNode(".//fileList").setAttribute("a", literal);
        ASSERT_TRUE(doc.save(path));
    }
    XmlDocument doc;
    ASSERT_TRUE(doc.load(path));
    XmlNode root = doc.documentElement();
    EXPECT_EQ(root.selectSingleNode(".//fileTitle").text(), literal);
    EXPECT_EQ(root.selectSingleNode(".//fileName").text(), "xyz\xEF\xBF\xBDw");
    EXPECT_EQ(root.selectSingleNode(".//fileUrl").text(), "");
    EXPECT_EQ(root.selectSingleNode(".//fjms").text(), "替换");
    EXPECT_EQ(root.selectSingleNode(".//fileList").getAttribute("a"), literal);
}

TEST_F(XmlDocTest, XPathSelectsDescendantsInDocumentOrder) {
    WriteBytes(dir_ / "tree.xml", "<offer><attachments><attachment fjid=\"a\"><fjxh>1</fjxh>"
                                  "<x><fjxh>inner</fjxh></x></attachment><group><attachment "
                                  "fjid=\"b\"/></group></attachments><attachment fjid=\"out\"/>"
                                  "<attachments><attachment fjid=\"c\"/></attachments></offer>");
    XmlDocument doc;
    ASSERT_TRUE(doc.load(dir_ / "tree.xml"));
    XmlNode root = doc.documentElement();
    std::string keys;
    for (const XmlNode& node : root.selectNodes(".//attachments//attachment"))
        keys += node.getAttribute("fjid");
    EXPECT_EQ(keys, "abc");
    XmlNode first = root.selectSingleNode(".//attachments//attachment");
    EXPECT_EQ(first.selectSingleNode(".//fjxh").text(), "1");
    EXPECT_EQ(first.selectNodes(".//fjxh").size(), 2u);
    EXPECT_EQ(first.text(), "1inner");
    EXPECT_TRUE(first.selectSingleNode(".//fileList").isNull());
    EXPECT_TRUE(root.selectNodes("not a [valid path").empty());
    EXPECT_TRUE(
        root.selectSingleNode("offer").isNull()); // children only, root is not its own child
    EXPECT_TRUE(XmlNode().selectSingleNode(".//x").isNull());
    EXPECT_EQ(XmlNode().text(), "");
}

// The name paths the manifest code asks are answered without XPath: they must
// select what XPath selects (nested matches, namespaces, comments, order, once
// each), also after the tree changed and for the kept list of the root.
TEST_F(XmlDocTest, NamePathsSelectWhatXPathSelects) {
    WriteBytes(dir_ / "tree.xml",
               "<offer xmlns:p=\"urn:p\"><attachments><attachment fjid=\"a\"><attachments>"
               "<attachment fjid=\"n\"><file/></attachment></attachments><fileList><file><fileUrl>"
               "u</fileUrl><!--file--></file><x><file/></x></fileList></attachment><p:attachment "
               "fjid=\"ns\"/><attachment fjid=\"b\"><fileList><fileList><file/></fileList>"
               "</fileList></attachment></attachments><file><attachment fjid=\"out\"/></file>"
               "<attachments><z><attachment fjid=\"c\"/></z></attachments></offer>");
    XmlDocument doc;
    ASSERT_TRUE(doc.load(dir_ / "tree.xml"));
    const XmlNode root = doc.documentElement();
    const auto same = [&](const XmlNode& context, const char* fast, const char* xpath) {
        EXPECT_EQ(context.selectNodes(fast), context.selectNodes(xpath)) << fast;
        EXPECT_EQ(context.selectSingleNode(fast), context.selectSingleNode(xpath)) << fast;
    };
    const struct {
        const char* fast;
        const char* xpath;
    } paths[] = {
        {".//attachments//attachment", "./descendant::attachments/descendant::attachment"},
        {".//fileList//file", "./descendant::fileList/descendant::file"},
        {".//file", "./descendant::file"},
        {".//attachment//fileList//file",
         "./descendant::attachment/descendant::fileList/descendant::file"},
        {".//nothing", "./descendant::nothing"},
    };
    for (int round = 0; round < 2; ++round) {
        for (const auto& p : paths) {
            same(root, p.fast, p.xpath);
            for (const XmlNode& a : root.selectNodes(".//attachment"))
                same(a, p.fast, p.xpath);
        }
        // The kept list of the root follows a change of the elements.
        root.selectSingleNode(".//attachments").removeChild(root.selectSingleNode(".//attachment"));
    }
    std::string keys;
    for (const XmlNode& node : root.selectNodes(".//attachments//attachment"))
        keys += node.getAttribute("fjid");
    EXPECT_EQ(keys, "c");
    root.selectSingleNode(".//attachments").setText("gone");
    EXPECT_EQ(root.selectNodes(".//attachments//attachment").size(), 1u);
}

TEST_F(XmlDocTest, AttributesByNameAndPosition) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load(DataFile("no_declaration.xml")));
    XmlNode root = doc.documentElement();
    EXPECT_EQ(root.attributeCount(), 2u);
    EXPECT_EQ(root.attributeName(1), "b");
    EXPECT_EQ(root.attributeValue(1), "标记");
    EXPECT_EQ(root.attributeValue(2), "");
    EXPECT_EQ(root.getAttribute("missing"), "");
    EXPECT_FALSE(root.attribute("missing").has_value());
    root.setAttribute("empty", "");
    EXPECT_TRUE(root.hasAttribute("empty"));
    root.setAttribute("a", "2");
    EXPECT_EQ(root.attributeValue(0), "2");
    root.setAttribute("bad name", "x");
    EXPECT_EQ(root.attributeCount(), 3u);

    XmlDocument ns;
    ASSERT_TRUE(ns.load(DataFile("namespaced.xml")));
    EXPECT_EQ(ns.documentElement().attributeName(0), "xmlns:xsi");
    EXPECT_EQ(ns.documentElement().attributeValue(1), "1");
    EXPECT_EQ(ns.documentElement().attributeValue(2), "M");
}

TEST_F(XmlDocTest, AppendAndRemoveChildren) {
    const fs::path path = copyOf("gb2312_manifest.xml");
    {
        XmlDocument doc;
        ASSERT_TRUE(doc.load(path));
        XmlNode list = doc.documentElement().selectNodes(".//fileList").at(1);
        for (const char* n : {"1", "2", "3"}) {
            XmlNode file = doc.createElement("file");
            XmlNode xh = doc.createElement("fileXh");
            xh.setText(n);
            xh.setAttribute("title", "文件序号");
            EXPECT_EQ(file.appendChild(xh), xh);
            EXPECT_EQ(list.appendChild(file), file);
        }
        XmlNode second = list.selectNodes(".//file").at(1);
        EXPECT_FALSE(second.appendChild(list));                  // would make a cycle
        EXPECT_FALSE(doc.documentElement().removeChild(second)); // not a direct child
        EXPECT_TRUE(list.removeChild(second));
        doc.createElement("never-placed"); // freed with the document
        EXPECT_TRUE(doc.createElement("bad name").isNull());
        ASSERT_TRUE(doc.save(path));
    }
    XmlDocument doc;
    ASSERT_TRUE(doc.load(path));
    std::string numbers;
    for (const XmlNode& xh :
         doc.documentElement().selectNodes(".//fileList")[1].selectNodes(".//fileXh")) {
        numbers += xh.text();
        EXPECT_EQ(xh.getAttribute("title"), "文件序号");
    }
    EXPECT_EQ(numbers, "13");
    EXPECT_EQ(doc.documentElement().selectSingleNode(".//fjmc").text(), "申请函");
}

TEST_F(XmlDocTest, NodesFromAnotherDocumentAreRefused) {
    XmlDocument a, b;
    ASSERT_TRUE(a.load(DataFile("utf8_manifest.xml")));
    XmlNode foreign = b.createElement("file");
    EXPECT_TRUE(a.documentElement().appendChild(foreign).isNull());
}

TEST_F(XmlDocTest, BuiltDocumentSavesAsUtf8) {
    XmlDocument doc;
    XmlNode root = doc.createElement("offer");
    doc.setDocumentElement(root);
    root.appendChild(doc.createElement("attachments")).setText("中");
    const fs::path path = dir_ / "新建.xml";
    ASSERT_TRUE(doc.save(path));
    XmlDocument again;
    ASSERT_TRUE(again.load(path));
    EXPECT_EQ(again.documentElement().selectSingleNode("attachments").text(), "中");
}

TEST_F(XmlDocTest, UndeclaredEncodingSavesChineseAsUtf8Text) {
    const fs::path path = dir_ / "无声明.xml";
    WriteBytes(path, "\xEF\xBB\xBF<offer a='1' b='标识'><fjmc>营业执照</fjmc></offer>");
    XmlDocument doc;
    ASSERT_TRUE(doc.load(path));
    doc.documentElement().selectSingleNode("fjmc").setText("申请函");
    ASSERT_TRUE(doc.save(path));
    const std::string bytes = ReadBytes(path);
    EXPECT_NE(bytes.find("<fjmc>申请函</fjmc>"), std::string::npos) << bytes;
    EXPECT_NE(bytes.find("b=\"标识\""), std::string::npos) << bytes;
    XmlDocument again;
    ASSERT_TRUE(again.load(path));
    EXPECT_EQ(again.documentElement().attributeValue(1), "标识");
}

TEST_F(XmlDocTest, SaveIntoMissingFolderFailsAndLeavesNothing) {
    XmlDocument doc;
    ASSERT_TRUE(doc.load(DataFile("utf8_manifest.xml")));
    EXPECT_FALSE(doc.save(dir_ / "no" / "such" / "x.xml"));
    EXPECT_FALSE(fs::exists(dir_ / "no"));
}

} // namespace

// ---- GB2312 written strictly ----

TEST_F(XmlDocTest, Gb2312KeepsItsOwnBytesAndWritesEverythingElseAsReferences) {
    const fs::path path = copyOf("gb2312_manifest.xml");
    const std::string original = ReadBytes(path);
    const auto gbk = [](const char* text) { return *platform::Utf8ToGbk(text); };
    {
        XmlDocument doc;
        ASSERT_TRUE(doc.load(path));
        doc.documentElement().selectSingleNode(".//fileTitle").setText("申请函喆€镕❤𠀀");
        doc.documentElement().selectSingleNode(".//fileList").setAttribute("k", "陶喆");
        ASSERT_TRUE(doc.save(path));
    }
    std::string expected = original;
    expected.replace(expected.find(gbk("镕")), 2, "&#38229;");
    const std::string title = gbk("<fileTitle>申请函</fileTitle>");
    expected.replace(expected.find(title), title.size(),
                     gbk("<fileTitle>申请函") + "&#21894;&#8364;&#38229;&#10084;&#131072;" +
                         gbk("</fileTitle>"));
    const std::string list = gbk("<fileList>");
    expected.replace(expected.find(list), list.size(),
                     "<fileList k=\"" + gbk("陶") + "&#21894;\">");
    EXPECT_EQ(ReadBytes(path), expected);
    // A strict GB2312 reader takes every byte (iconv is one).
    EXPECT_TRUE(platform::Utf8ToGbk(platform::GbkToUtf8(ReadBytes(path))).has_value());
    XmlDocument doc;
    ASSERT_TRUE(doc.load(path));
    EXPECT_EQ(doc.documentElement().selectSingleNode(".//fileTitle").text(), "申请函喆€镕❤𠀀");
}

// Found by fuzzing: a name cannot hold a character reference.
TEST_F(XmlDocTest, NamesOutsideTheDeclaredEncodingAreWrittenAsUtf8) {
    const fs::path path = dir_ / "names.xml";
    WriteBytes(path, *platform::Utf8ToGbk("<?xml version=\"1.0\" encoding=\"GB2312\"?>\n"
                                          "<offer 镕=\"喆\"><镕体>文字</镕体></offer>\n"));
    XmlDocument doc;
    ASSERT_TRUE(doc.load(path));
    ASSERT_TRUE(doc.save(path));
    EXPECT_EQ(ReadBytes(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                               "<offer 镕=\"喆\"><镕体>文字</镕体></offer>\n");
    ASSERT_TRUE(doc.load(path));
    EXPECT_EQ(doc.documentElement().getAttribute("镕"), "喆");
}

// ---- bounded reading ----

TEST_F(XmlDocTest, HostileFilesAreRefusedWithTheirReason) {
    using platform::XmlError;
    std::string laughs = "<?xml version=\"1.0\"?><!DOCTYPE offer [<!ENTITY l0 \"lol\">";
    for (int i = 1; i < 10; ++i) {
        laughs += "<!ENTITY l" + std::to_string(i) + " \"";
        for (int k = 0; k < 10; ++k)
            laughs += "&l" + std::to_string(i - 1) + ";";
        laughs += "\">";
    }
    laughs += "]><offer><fjmc>&l9;</fjmc></offer>";
    std::string deep;
    for (int i = 0; i < 100000; ++i)
        deep += "<a>";
    const struct {
        const char* name;
        std::string content;
        XmlError error;
        int line;
    } cases[] = {
        {"laughs.xml", laughs, XmlError::Entities, 1},
        {"external.xml",
         "<?xml version=\"1.0\"?>\n<!DOCTYPE o [<!ENTITY x SYSTEM "
         "\"file:///etc/passwd\">]><o>&x;</o>",
         XmlError::Entities, 2},
        {"deep.xml", deep, XmlError::TooDeep, 1},
        {"bom.xml", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<offer/>",
         XmlError::BomMismatch, 1},
        {"too_large.xml", "<offer>" + std::string(platform::kMaxXmlFileBytes, ' ') + "</offer>",
         XmlError::TooLarge, 0},
        {"bad_gb2312.xml", "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<offer>\xff\xff</offer>",
         XmlError::Encoding, 2},
        {"syntax.xml", "<offer>\n\n<a></b></offer>", XmlError::Syntax, 3},
        {"no_root.xml", "<?xml version=\"1.0\"?>", XmlError::Syntax, 1},
    };
    for (const auto& c : cases) {
        WriteBytes(dir_ / c.name, c.content);
        XmlDocument doc;
        EXPECT_FALSE(doc.load(dir_ / c.name)) << c.name;
        EXPECT_EQ(doc.lastError(), c.error) << c.name;
        EXPECT_EQ(doc.errorLine(), c.line) << c.name;
    }
    XmlDocument doc;
    EXPECT_FALSE(doc.load(dir_));
    EXPECT_EQ(doc.lastError(), XmlError::NotAFile);
    EXPECT_EQ(doc.errorText(), "不是普通文件");
    EXPECT_FALSE(doc.load(dir_ / "missing.xml"));
    EXPECT_EQ(doc.lastError(), XmlError::Missing);
    EXPECT_FALSE(doc.load(dir_ / "syntax.xml"));
    EXPECT_EQ(doc.errorText(), "第3行：XML格式错误");
}

#ifndef _WIN32
TEST_F(XmlDocTest, APipeIsRefusedWithoutWaitingForAWriter) {
    const fs::path pipe = dir_ / "APLPKG.XML";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    XmlDocument doc;
    EXPECT_FALSE(doc.load(pipe)); // would block for ever if the pipe were opened for reading
    EXPECT_EQ(doc.lastError(), platform::XmlError::NotAFile);
}
#endif

// ---- edits of nested nodes ----

TEST_F(XmlDocTest, EditsOfNestedNodesGoDeepestFirstAndTheOuterWins) {
    WriteBytes(dir_ / "nested.xml", "<r><u>a<f><u>b<f><u>c</u></f></u></f></u><f><u>d</u></f></r>");
    XmlDocument doc;
    ASSERT_TRUE(doc.load(dir_ / "nested.xml"));
    const std::vector<XmlNode> links = doc.documentElement().selectNodes(".//u");
    ASSERT_EQ(links.size(), 4u);
    const std::vector<XmlNode> entries = doc.documentElement().selectNodes(".//f");
    // In document order the outer text would free the inner nodes first.
    platform::ApplyEdits({{links[0], "外"},
                          {links[1], "中"},
                          {entries[1], {}, true},
                          {links[2], "内"},
                          {links[3], "末"}});
    ASSERT_TRUE(doc.save(dir_ / "nested.xml"));
    EXPECT_NE(ReadBytes(dir_ / "nested.xml").find("<r><u>外</u><f><u>末</u></f></r>"),
              std::string::npos);
}

// A UTF-16 file with a byte-order mark and its declaration loads; elements
// beyond the limit are refused as too large, at the limit they load.
TEST_F(XmlDocTest, Utf16LoadsAndElementsAreCounted) {
    const std::u16string text =
        u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><offer><fjmc>营业</fjmc></offer>";
    std::string bytes = "\xFF\xFE";
    for (char16_t unit : text)
        bytes += std::string{char(unit & 0xFF), char(unit >> 8)};
    WriteBytes(dir_ / "utf16.xml", bytes);
    platform::XmlDocument doc;
    ASSERT_TRUE(doc.load(dir_ / "utf16.xml")) << doc.errorText();
    EXPECT_EQ(doc.documentElement().selectSingleNode(".//fjmc").text(), "营业");
    for (const std::size_t elements : {platform::kMaxXmlElements, platform::kMaxXmlElements + 1}) {
        std::string xml = "<offer>";
        for (std::size_t i = 1; i < elements; ++i)
            xml += "<a/>";
        WriteBytes(dir_ / "many.xml", xml + "</offer>");
        EXPECT_EQ(doc.load(dir_ / "many.xml"), elements == platform::kMaxXmlElements);
    }
    EXPECT_EQ(doc.lastError(), platform::XmlError::TooLarge);
}

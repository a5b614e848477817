#include "materials/modfjgl.h"

#include "platform/utf8.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

using materials::DecimalText;
using materials::NumberText;
using materials::ToStandardName;

TEST(StandardName, ReplacesReservedCharactersAndTrims) {
    EXPECT_EQ(ToStandardName("  a/b:c*d?e|f \r\n"), "a╱b：c-d-e│f");
    EXPECT_EQ(ToStandardName(" a\\b<c>d\"e "), "a╲b[c]d＂e");
    EXPECT_EQ(ToStandardName("a;b"), "a；b"); // Joliet names cannot hold ";"
    EXPECT_EQ(ToStandardName("营业\t执照\n(副本)"), "营业执照(副本)");
    EXPECT_EQ(ToStandardName("     "), "");
    EXPECT_EQ(ToStandardName(""), "");
    EXPECT_EQ(ToStandardName("　全角空格　"), "　全角空格　"); // only ASCII spaces are trimmed
}

TEST(StandardName, TemplateFileNamesStayPlainNames) {
    using materials::TemplateFileName;
    EXPECT_EQ(TemplateFileName("营业执照"), "营业执照.doc");
    EXPECT_EQ(TemplateFileName("../../x"), "..╱..╱x.doc");
    EXPECT_EQ(TemplateFileName("C:\\Windows\\x"), "C：╲Windows╲x.doc");
    for (const std::string& unusable :
         {std::string(), std::string("   "), std::string("CON"), std::string(300, 'x')})
        EXPECT_EQ(TemplateFileName(unusable), "报盘模板.doc") << unusable;
}

TEST(StandardName, NumberTexts) {
    EXPECT_EQ(NumberText("01"), "1");
    EXPECT_EQ(NumberText(" 12abc"), "12");
    EXPECT_EQ(NumberText(""), "0");
    EXPECT_EQ(NumberText("2.5"), "2.5");
    EXPECT_EQ(DecimalText(10), "10");
}

// ---- paths and folders ----

TEST(PackagePaths, ExtensionParentFolderAndStorableNames) {
    const std::pair<const char*, const char*> extensions[] = {{"D:\\scan\\page.JPG", "JPG"},
                                                              {"/home/a/b.tar.gz", "gz"},
                                                              {"/a/b.c/d", ""},
                                                              {"C:\\a.b\\c", ""},
                                                              {"name.", ""},
                                                              {"noext", ""},
                                                              {".hidden", "hidden"}};
    for (const auto& [path, extension] : extensions)
        EXPECT_EQ(materials::GetExtension(path), extension) << path;
    const std::pair<const char*, const char*> parents[] = {{"C:\\a\\APLPKG.XML", "C:\\a\\"},
                                                           {"/p/q/APLPKG.XML", "/p/q/"},
                                                           {"plain", ""},
                                                           {"mixed/a\\b", "mixed/a\\"}};
    for (const auto& [path, parent] : parents)
        EXPECT_EQ(materials::GetParentFolder(path), parent) << path;

    for (const char* good :
         {"营业执照", "营业执照.JPG", "a b", "章程.x", "CONTRACT.pdf", "COM10", "报告[1]", "~x%"})
        EXPECT_TRUE(materials::IsStorableName(good)) << good;
    for (const char* bad :
         {"",         ".",    "..",   "...",   " . ",   "a/b", "a\\b", "C:",  "a:b",
          "a*b",      "a?b",  "a\"b", "a<b",   "a>b",   "a|b", "a\tb", "CON", "con.pdf",
          "LPT1.txt", "nul ", "Com3", "章程.", "章程 ", "a;b", "COM0", "LPT0"})
        EXPECT_FALSE(materials::IsStorableName(bad)) << bad;
}

#include "util/frmutil.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <vector>

using namespace util;

TEST(CleanText, TrimsAndRemovesLineBreaksAndTabs) {
    const std::string text = "  a b\r\n\tc　 ";
    EXPECT_EQ(CleanText(text, 0), "a bc　");
    EXPECT_EQ(CleanText(text, 1), "abc");
    EXPECT_EQ(CleanText("   ", 0), "");
}

TEST(ToHalfWidth, ReplacesFullWidthDigitsAndXLookAlikes) {
    std::string text = "１２３ｘ";
    EXPECT_EQ(ToHalfWidth(text), "123X");
    EXPECT_EQ(text, "123X");
    std::string others = "Ｘ×Ⅹx";
    EXPECT_EQ(ToHalfWidth(others), "XXXx");
}

TEST(CheckIdNumber, FollowsTheLengthDigitAndDateRules) {
    EXPECT_EQ(CheckIdNumber("110101800229123"), 0);    // 15 digits, 1980-02-29
    EXPECT_EQ(CheckIdNumber("110101810229123"), 3);    // 1981-02-29
    EXPECT_EQ(CheckIdNumber("11010119800229123x"), 0); // small x upper-cased
    EXPECT_EQ(CheckIdNumber("11010119800229123A"), 0); // last three unchecked
    EXPECT_EQ(CheckIdNumber("１１０１０１１９８００２２９１２３Ｘ"), 0);
    EXPECT_EQ(CheckIdNumber("110101 19800229\r\n123X"), 0);
    EXPECT_EQ(CheckIdNumber("1101011980022912"), 1);
    EXPECT_EQ(CheckIdNumber("11010180022912A"), 2);
    EXPECT_EQ(CheckIdNumber("11010119801301123X"), 3);
    EXPECT_EQ(CheckIdNumber(""), 1);
}

TEST(PathParts, SplitOnEitherSeparatorAndKeepRoots) {
    EXPECT_EQ(GetFolderPart("C:\\a.txt"), "C:\\");
    EXPECT_EQ(GetFolderPart("D:\\a\\b.txt"), "D:\\a");
    EXPECT_EQ(GetFilePart("D:\\a\\b.txt"), "b.txt");
    EXPECT_EQ(GetFolderPart("/a.txt"), "/");
    EXPECT_EQ(GetFolderPart("/ab/c.txt"), "/ab");
    EXPECT_EQ(GetFolderPart("/a/c.txt"), "/a");
    EXPECT_EQ(GetFolderPart("/home/用户/系统模板.mdb"), "/home/用户");
    EXPECT_EQ(GetFilePart("/home/用户/系统模板.mdb"), "系统模板.mdb");
    EXPECT_EQ(GetFolderPart("name.txt"), "\\");
    EXPECT_EQ(GetFilePart("name.txt"), "name.txt");
}

TEST(FileExists, IsTrueForReadableFilesOnly) {
    const auto dir = std::filesystem::temp_directory_path() / "quillor_fileexists";
    std::filesystem::create_directories(dir);
    const auto file = dir / "文件.txt";
    std::ofstream(file) << "x";
    EXPECT_TRUE(FileExists(file.string()));
    EXPECT_FALSE(FileExists((dir / "missing.txt").string()));
    EXPECT_FALSE(FileExists(dir.string()));
    EXPECT_FALSE(FileExists(""));
#ifndef _WIN32
    // A pipe is no file, and testing it must not wait for a writer.
    ASSERT_EQ(mkfifo((dir / "管道").c_str(), 0600), 0);
    EXPECT_FALSE(FileExists((dir / "管道").string()));
    EXPECT_FALSE(FileExists("/dev/null"));
#endif
    std::filesystem::remove_all(dir);
}

TEST(ReplaceAll, EndsWhenTheReplacementHoldsTheSearchedText) {
    EXPECT_EQ(ReplaceAll("请选择【名称】的【名称】", "【名称】", "名称"), "请选择名称的名称");
    EXPECT_EQ(ReplaceAll("a名称b名称", "名称", "【名称】"), "a【名称】b【名称】");
    EXPECT_EQ(ReplaceAll("xx", "x", "xx"), "xxxx");
    // Rescanning picks up occurrences formed by a replacement and its context.
    EXPECT_EQ(ReplaceAll("abb", "ab", "a"), "a");
    EXPECT_EQ(ReplaceAll("abc", "z", "y"), "abc");
    // Each replacement forms a new occurrence further on: it must still end.
    const std::string grown = ReplaceAll("甲甲乙", "甲乙", "乙乙甲甲");
    EXPECT_LT(grown.size(), 100000u);
    EXPECT_EQ(grown.rfind("乙乙", 0), 0u);
}

TEST(CountOccurrences, CountsOverlappingMatches) {
    EXPECT_EQ(CountOccurrences("a,b,,c", ","), 3);
    EXPECT_EQ(CountOccurrences("aaa", "aa"), 2);
    EXPECT_EQ(CountOccurrences("中中中", "中中"), 2);
    EXPECT_EQ(CountOccurrences("abc", "d"), 0);
    EXPECT_EQ(CountOccurrences(std::string(40000, ','), ","), 32767); // clamped to Integer
}

TEST(AnsiByteLength, CountsGbkBytes) {
    EXPECT_EQ(AnsiByteLength("中文ab"), 6);
    EXPECT_EQ(AnsiByteLength("镕"), 2); // GBK, not GB2312
    EXPECT_EQ(AnsiByteLength(""), 0);
    EXPECT_EQ(AnsiByteLength("𠀀"), 4); // outside GBK: kept in its four-byte form
}

namespace {
struct Box {
    double x1, y1, x2, y2;
    std::uint32_t rgb;
};
class RecordingTarget : public FillTarget {
  public:
    RecordingTarget(double w, double h) : w_(w), h_(h) {}
    double InnerWidth() const override { return w_; }
    double InnerHeight() const override { return h_; }
    void FillBox(double x1, double y1, double x2, double y2, std::uint32_t rgb) override {
        boxes.push_back({x1, y1, x2, y2, rgb});
    }
    std::vector<Box> boxes;

  private:
    double w_, h_;
};
} // namespace

TEST(PaintGradient, PaintsEightyBandsEndingAtTheEndColour) {
    RecordingTarget target(1000, 7900);
    float r = 0, g = 0, b = 255;
    PaintGradient(target, r, g, b, 255, 255, 255, -1);
    ASSERT_EQ(target.boxes.size(), 80u);
    const double band = 100; // round(7900 / 80 + 1) = round(99.75)
    EXPECT_EQ(target.boxes[0].y1, 0);
    EXPECT_EQ(target.boxes[0].y2, band);
    EXPECT_EQ(target.boxes[1].y1, band);
    EXPECT_EQ(target.boxes[0].x2, 1000);
    EXPECT_NE(target.boxes[0].rgb, 0x0000FFu); // first band is one step along already
    EXPECT_EQ(target.boxes[79].rgb, 0xFFFFFFu);
    EXPECT_NEAR(r, 255 * 80.0 / 79.0, 0.01);

    RecordingTarget wide(800, 100);
    float r2 = 255, g2 = 0, b2 = 0;
    PaintGradient(wide, r2, g2, b2, 0, 0, 0, 0);
    EXPECT_EQ(wide.boxes[0].x2, 11);   // round(800 / 80 + 1)
    EXPECT_EQ(wide.boxes[79].rgb, 0u); // components below zero are held at zero
}

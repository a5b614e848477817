// Text recognition on strips of two or three lines drawn here: what
// pdftotext and poppler find in the written PDF, where the words lie, pages
// turned upside down, the picture's bytes, stopping, and the missing module
// and data. One engine serves the whole program (starting one takes a
// second, reading a strip about as long).

#include "scan/recognition.h"

#include "scan/image_fixture.h"
#include "scan/jpeg.h"
#include "scan/pages.h"
#include "scan/recognition_fixture.h"

#include <QProcess>
#include <gtest/gtest.h>
#include <poppler-qt6.h>

#include <cstdlib>
#include <memory>

using namespace scan_test;

namespace {

std::string PdfText(const std::string& path) {
    QProcess p;
    p.start("pdftotext", {"-layout", QString::fromStdString(path), "-"});
    p.waitForFinished(30000);
    return p.readAllStandardOutput().toStdString();
}

struct Row {
    const char* name;
    const char* face;
    int turn; // the strip as the scanner saw it: clockwise from upright
};

class RecognitionTest : public ::testing::TestWithParam<Row> {};

TEST_P(RecognitionTest, TheWrittenPdfCarriesTheLinesWhereTheyStand) {
    const Row row = GetParam();
    ASSERT_TRUE(SharedRecogniser().ready()) << SharedRecogniser().error();
    const Strip strip = DrawStrip(row.face, 300);
    const std::vector<std::uint8_t> jpeg =
        MakeJpeg(scan::Turned(strip.pixels, row.turn), {.quality = 85, .density = 300});
    std::optional<scan::Page> page = scan::PrepareJpegFile(jpeg, "strip.jpg");
    ASSERT_TRUE(page);
    const scan::OcrResult r = SharedRecogniser().recognise(*page->source, 0, false, nullptr);
    ASSERT_EQ(r.outcome, scan::OcrOutcome::Done);
    // Turned back upright: the detected turn undoes the scanner's.
    EXPECT_EQ((row.turn + r.detected) % 360, 0);
    scan::PageList pages;
    const std::uint64_t id = pages.add(std::move(*page));
    pages.setText(id, r.text, r.detected);
    ASSERT_TRUE(pages.encodeMissing(scan::Quality::Clear));
    // The JPEG goes in as the file has it, text or no text.
    ASSERT_TRUE(pages.at(0).passthrough(scan::Quality::Clear));
    ScopedTempFolder folder;
    const std::string pdf = (folder.path() / "strip.pdf").string();
    ASSERT_EQ(scan::WritePdf(pages.pdfPages(scan::Quality::Clear), pdf), "");
    const std::string bytes = ReadFile(pdf);
    EXPECT_NE(bytes.find(std::string(jpeg.begin(), jpeg.end())), std::string::npos);

    const std::string text = PdfText(pdf);
    EXPECT_NE(text.find("营业执照"), std::string::npos) << text;
    for (const std::string& line : strip.lines)
        EXPECT_LE(ErrorRate(line, text), 0.1) << line << "\n" << text;

    // Where poppler finds the phrase is where it was drawn (in upright
    // page points: poppler turns the page by its /Rotate).
    auto doc = Poppler::Document::load(QString::fromStdString(pdf));
    ASSERT_TRUE(doc);
    std::unique_ptr<Poppler::Page> p(doc->page(0));
    const QList<QRectF> found = p->search(QStringLiteral("营业执照"));
    ASSERT_EQ(found.size(), 1);
    const QRectF drawn = strip.phrase; // pixels at 300 dpi → points
    const QRectF expected(drawn.x() * 0.24, drawn.y() * 0.24, drawn.width() * 0.24,
                          drawn.height() * 0.24);
    EXPECT_TRUE(expected.adjusted(-2, -2, 2, 2).contains(found[0].center()))
        << found[0].x() << "," << found[0].y() << " " << found[0].width() << "x"
        << found[0].height();
    EXPECT_GT(found[0].width(), expected.width() * 0.7);
    EXPECT_LT(found[0].width(), expected.width() * 1.4);
    EXPECT_LT(found[0].height(), expected.height() * 2);
}

INSTANTIATE_TEST_SUITE_P(Strips, RecognitionTest,
                         ::testing::Values(Row{"Song", "AR PL UMing CN", 0},
                                           Row{"HeiUpsideDown", "Noto Sans CJK SC", 180},
                                           Row{"KaiSideways", "AR PL UKai CN", 90}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Recognition, StoppingEndsAPageWithoutText) {
    ASSERT_TRUE(SharedRecogniser().ready());
    const Strip strip = DrawStrip("AR PL UMing CN", 300);
    std::atomic<bool> stop{true};
    const scan::OcrResult r = SharedRecogniser().recognisePixels(strip.pixels, 300, &stop);
    EXPECT_EQ(r.outcome, scan::OcrOutcome::Stopped);
    EXPECT_FALSE(r.text);
    // A deadline too short for the strip leaves it without text as well.
    const scan::OcrResult late =
        SharedRecogniser().recognisePixels(strip.pixels, 300, nullptr, false, 1);
    EXPECT_EQ(late.outcome, scan::OcrOutcome::TimedOut);
}

TEST(Recognition, MissingModuleOrDataIsNamed) {
    const scan::OcrSupport missingModule = scan::CheckOcr("quillor-no-such-module");
    EXPECT_FALSE(missingModule.available);
    EXPECT_NE(missingModule.note.find("libtesseract5"), std::string::npos);
    scan::TextRecogniser none("quillor-no-such-module");
    EXPECT_FALSE(none.ready());
    EXPECT_EQ(none.recognisePixels(DrawStrip("AR PL UMing CN", 100).pixels, 100, nullptr).outcome,
              scan::OcrOutcome::Failed);

    ScopedTempFolder empty;
    const char* old = std::getenv("TESSDATA_PREFIX");
    const std::string kept = old ? old : "";
    setenv("TESSDATA_PREFIX", empty.path().c_str(), 1);
    const scan::OcrSupport missingData = scan::CheckOcr();
    if (old)
        setenv("TESSDATA_PREFIX", kept.c_str(), 1);
    else
        unsetenv("TESSDATA_PREFIX");
    EXPECT_FALSE(missingData.available);
    EXPECT_NE(missingData.note.find("tesseract-ocr-chi-sim"), std::string::npos);
    EXPECT_TRUE(scan::CheckOcr().available) << scan::CheckOcr().note;
}

} // namespace

// The package check with the real content inspector (poppler and Qt's image
// reader) on a package of many files: every damaged, cut-short, encrypted or
// mislabelled file is found, and the findings come in the manifest's order
// although the files are checked on several threads. Each JPEG is decoded
// whole at 1/8 of its size through libjpeg, with the program's handling of its
// warnings; other pictures go through Qt within the program's memory limit.

#include "disc/package_check.h"
#include "disc/ui/content_checks.h"
#include "materials/manifest_fixture.h"
#include "materials/package_fixture.h"
#include "materials/save_folder.h"
#include "scan/jpeg.h"
#include "support/fake_prompter.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <gtest/gtest.h>

#include <cstdio>

using namespace materials_test;

namespace {

std::string RealPdf() {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        QPainter painter(&writer);
        painter.drawText(100, 100, QStringLiteral("营业执照"));
    }
    return bytes.toStdString();
}

std::string Png() {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::blue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

// A one-page PDF whose cross-reference table is right; `trailer` is added to
// its trailer dictionary, `extra` objects follow the page.
std::string HandMadePdf(const std::vector<std::string>& extra, const std::string& trailer) {
    std::vector<std::string> objects = {"<< /Type /Catalog /Pages 2 0 R >>",
                                        "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
                                        "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>"};
    objects.insert(objects.end(), extra.begin(), extra.end());
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (const std::string& body : objects) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(offsets.size()) + " 0 obj\n" + body + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char line[24];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    return pdf + "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R " +
           trailer + " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
}

// Encrypted with the standard handler (RC4, 40 bits) under a user password
// that is not empty: it opens only with that password.
std::string EncryptedPdf() {
    const std::string hex32(64, 'A');
    return HandMadePdf(
        {"<< /Filter /Standard /V 1 /R 2 /O <" + hex32 + "> /U <" + hex32 + "> /P -4 >>"},
        "/Encrypt 4 0 R /ID [<00112233445566778899AABBCCDDEEFF> "
        "<00112233445566778899AABBCCDDEEFF>]");
}

class ContentCheckTest : public TempFolderTest {
  protected:
    testsupport::ScopedFakePrompter prompter_;
};

TEST_F(ContentCheckTest, ManyFilesAreJudgedAsPopplerAndQtDoAndReportedInTheManifestsOrder) {
    const std::string pdf = RealPdf();
    struct Kind {
        const char* extension;
        std::string content;
        const char* problem; // "" when the file is good
    };
    const Kind kinds[] = {
        {"pdf", pdf, ""},
        {"pdf", HandMadePdf({}, ""), ""},
        {"pdf", pdf.substr(0, 40), "PDF文件无法打开（文件已损坏或不是PDF文件）"},
        {"pdf", EncryptedPdf(), "PDF文件有密码保护，审批机关无法打开"},
        {"pdf", Png(), "PDF文件无法打开（文件已损坏或不是PDF文件）"},
        {"pdf", "%PDF-1.4\nnot a document at all\n", "PDF文件无法打开（文件已损坏或不是PDF文件）"},
        {"png", Png(), ""},
        {"png", pdf, "图片无法解码（文件已损坏或不是图片文件）"},
    };
    // Three materials of many entries, each kind again and again, so that the
    // workers finish out of order.
    std::vector<package_test::Material> materials;
    std::vector<std::string> expected;
    int n = 0;
    for (const char* material : {"营业执照", "检测报告", "其他材料"}) {
        package_test::Material m{material, {}};
        for (int i = 0; i < 24; ++i, ++n) {
            const Kind& kind = kinds[(n * 5) % std::size(kinds)];
            const std::string name = "报件" + std::to_string(n);
            const fs::path source = dir_ / "源" / (name + "." + kind.extension);
            WriteBytes(source, kind.content + std::string(std::size_t(n), '\n'));
            m.entries.push_back({name, U8(source)});
            if (*kind.problem)
                expected.push_back("【" + std::string(material) + "】" + name + "（" + name + "." +
                                   kind.extension + "）：" + kind.problem);
        }
        materials.push_back(m);
    }
    const std::string work = writeManifest(package_test::PackageManifest(materials));
    ASSERT_TRUE(materials::SavePackage(package_test::Request(work, dir_ / "包", "")).saved());

    disc::ui::QtContentInspector inspector;
    for (int run = 0; run < 3; ++run) {
        const disc::PackageCheck check = disc::CheckPackage(U8(dir_ / "包"), &inspector);
        std::vector<std::string> lines;
        for (const disc::PackageFinding& f : check.findings)
            lines.push_back(disc::FindingLine(f));
        EXPECT_EQ(lines, expected) << "run " << run;
        EXPECT_EQ(check.discFiles.size(), std::size_t(n) + 2);
    }
}

TEST_F(ContentCheckTest, PicturesThatAViewerOpensPassAndDamagedOnesDoNot) {
    scan::Raster pixels = scan::MakeRaster(640, 480, 3);
    for (std::size_t i = 0; i < pixels.pixels.size(); ++i)
        pixels.pixels[i] = static_cast<std::uint8_t>(i * 7 % 251);
    const std::vector<std::uint8_t> jpeg = scan::EncodeJpeg(pixels, 80, 150);
    std::string stray(jpeg.begin(), jpeg.end());
    stray.insert(stray.find("\xFF\xDB"), std::string("\x00\x12\x34", 3));
    QImage page(4960, 7016, QImage::Format_RGB888); // A4 at 600 dpi: above Qt's own limit
    page.fill(Qt::white);
    ASSERT_TRUE(page.save(QString::fromStdString(U8(dir_ / "page.png"))));
    struct Case {
        const char* name;
        std::string bytes; // "" : made above
        disc::ContentInspector::Verdict verdict;
    };
    const Case cases[] = {
        {"good.jpg", std::string(jpeg.begin(), jpeg.end()), disc::ContentInspector::Verdict::Good},
        {"truncated.jpg", std::string(jpeg.begin(), jpeg.begin() + jpeg.size() * 2 / 3),
         disc::ContentInspector::Verdict::Unreadable},
        {"stray bytes before a marker.jpg", stray, disc::ContentInspector::Verdict::Good},
        {"named png but a jpeg.png", std::string(jpeg.begin(), jpeg.end()),
         disc::ContentInspector::Verdict::Good},
        {"page.png", "", disc::ContentInspector::Verdict::Good},
        {"broken.png", "\x89PNG\r\n\x1a\n broken", disc::ContentInspector::Verdict::Unreadable},
    };
    disc::ui::QtContentInspector inspector;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.bytes.empty())
            WriteBytes(dir_ / c.name, c.bytes);
        EXPECT_EQ(inspector.inspectImage(dir_ / c.name), c.verdict);
    }
}

} // namespace

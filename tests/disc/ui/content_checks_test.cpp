// The package check's look into pictures: every JPEG decoded whole at 1/8 of
// its size through libjpeg, with the program's handling of its warnings;
// other pictures through Qt within the program's memory limit.

#include "disc/ui/content_checks.h"

#include "materials/manifest_fixture.h"
#include "scan/jpeg.h"

#include <QImage>
#include <gtest/gtest.h>

using materials::ContentInspector;
using namespace materials_test;

namespace {
class ContentChecksTest : public TempFolderTest {};
} // namespace

TEST_F(ContentChecksTest, PicturesThatAViewerOpensPassAndDamagedOnesDoNot) {
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
        ContentInspector::Verdict verdict;
    };
    const Case cases[] = {
        {"good.jpg", std::string(jpeg.begin(), jpeg.end()), ContentInspector::Verdict::Good},
        {"truncated.jpg", std::string(jpeg.begin(), jpeg.begin() + jpeg.size() * 2 / 3),
         ContentInspector::Verdict::Unreadable},
        {"stray bytes before a marker.jpg", stray, ContentInspector::Verdict::Good},
        {"named png but a jpeg.png", std::string(jpeg.begin(), jpeg.end()),
         ContentInspector::Verdict::Good},
        {"page.png", "", ContentInspector::Verdict::Good},
        {"broken.png", "\x89PNG\r\n\x1a\n broken", ContentInspector::Verdict::Unreadable},
    };
    materials::ui::QtContentInspector inspector;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (!c.bytes.empty())
            WriteBytes(dir_ / c.name, c.bytes);
        EXPECT_EQ(inspector.inspectImage(dir_ / c.name), c.verdict);
    }
}

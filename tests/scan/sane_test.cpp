// The SANE implementation of the scanner seam, through SANE's "test" backend:
// a private configuration folder whose dll.conf names only "test".

#include "platform/scanner.h"

#include "materials/manifest_fixture.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace fs = std::filesystem;

namespace {

// SANE reads its configuration once per process: one folder for all tests.
const fs::path& SaneConfig() {
    static const fs::path folder = [] {
        fs::path dir = fs::temp_directory_path() / ("quillor_sane_" + std::to_string(getpid()));
        fs::create_directories(dir);
        materials_test::WriteBytes(dir / "dll.conf", "test\n");
        std::error_code ignored;
        fs::copy_file("/etc/sane.d/test.conf", dir / "test.conf",
                      fs::copy_options::overwrite_existing, ignored);
        setenv("SANE_CONFIG_DIR", dir.c_str(), 1);
        return dir;
    }();
    return folder;
}

} // namespace

TEST(SaneTest, TheTestBackendScansAtTheChosenSettings) {
    SaneConfig();
    auto scanner = platform::MakeSaneScanner();
    const auto devices = scanner->devices();
    ASSERT_FALSE(devices.empty());
    EXPECT_EQ(devices[0].name.rfind("test:", 0), 0u);
    struct Case {
        int dpi;
        platform::ScanColour colour;
        bool a4;
        int channels;
        double widthMm; // the test backend's area is at most 200 mm wide
    };
    const Case cases[] = {
        {150, platform::ScanColour::Grey, true, 1, 200},
        {100, platform::ScanColour::Colour, true, 3, 200},
        {150, platform::ScanColour::BlackWhite, false, 1, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        platform::ScanSettings s;
        s.device = devices[0].name;
        s.dpi = c.dpi;
        s.colour = c.colour;
        s.a4 = c.a4;
        int progressCalls = 0;
        platform::ScanControl control;
        control.progress = [&](double) { ++progressCalls; };
        const platform::ScanOutcome o = scanner->scan(s, control);
        ASSERT_EQ(o.status, platform::ScanStatus::Ok) << o.message;
        EXPECT_EQ(o.page.channels, c.channels);
        EXPECT_EQ(o.page.dpi, c.dpi);
        EXPECT_NEAR(o.page.width, c.widthMm / 25.4 * c.dpi, 2);
        EXPECT_EQ(o.page.pixels.size(),
                  static_cast<std::size_t>(o.page.width) * o.page.height * c.channels);
        EXPECT_GT(progressCalls, 0);
    }
}

TEST(SaneTest, ACancelledScanGivesNoPageAndAMissingDeviceAMessage) {
    SaneConfig();
    auto scanner = platform::MakeSaneScanner();
    std::atomic<bool> cancel{true};
    platform::ScanSettings s;
    s.device = "test:0";
    platform::ScanControl control;
    control.cancel = &cancel;
    EXPECT_EQ(scanner->scan(s, control).status, platform::ScanStatus::Cancelled);
    s.device = "nosuchbackend:0";
    const platform::ScanOutcome o = scanner->scan(s, {});
    EXPECT_EQ(o.status, platform::ScanStatus::Failed);
    EXPECT_FALSE(o.message.empty());
}

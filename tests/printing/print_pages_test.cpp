// Jobs of several pages: the same container printed once per page with the
// content each page is given, in one job.

#include "fake_control.h"
#include "printing/print_table.h"
#include "printing/recording_printer.h"

#include <gtest/gtest.h>

using namespace printing;
using printing::testing::FakeWindow;

namespace {

// A printer on which no further page can be started.
class SinglePagePrinter : public RecordingPrinter {
  protected:
    void startNewPage() override { throw twip::PrinterError("single sheet"); }
};

struct PageText {
    int page;
    std::string text;
    bool operator==(const PageText&) const = default;
};

std::vector<PageText> TextsByPage(const RecordingPrinter& printer) {
    std::vector<PageText> out;
    for (const auto& t : printer.visibleTexts())
        out.push_back({t.page, t.text});
    return out;
}

} // namespace

TEST(PrintPagesTest, EachPageGetsItsContentRulingAndOneJob) {
    FakeWindow window;
    auto& row = window.add(ControlKind::Label, 210, 2370, 1005, 210);
    window.add(ControlKind::Label, 210, 660, 1515, 195, "标题");
    window.addLine(210, 2310, 7980, 2310);
    RecordingPrinter printer;
    std::vector<int> prepared;
    const int printed = PrintControlPages(printer, window.controls(), "Pic2", 0, 3, [&](int page) {
        prepared.push_back(page);
        row.content = page == 1 ? std::string() : "行" + std::to_string(page);
    });
    EXPECT_EQ(printed, 3);
    EXPECT_EQ(prepared, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(
        TextsByPage(printer),
        (std::vector<PageText>{{0, "行0"}, {0, "标题"}, {1, "标题"}, {2, "行2"}, {2, "标题"}}));
    ASSERT_EQ(printer.lines.size(), 3u);
    for (int page = 0; page < 3; ++page)
        EXPECT_EQ(printer.lines[static_cast<std::size_t>(page)].page, page);
    EXPECT_EQ(printer.jobsEnded, 1);
    // Each page starts at the top: the same place on every page.
    EXPECT_EQ(printer.find("行0").y, printer.find("行2").y);
}

TEST(PrintPagesTest, APrinterWithoutFurtherPagesStopsInsteadOfOverprinting) {
    FakeWindow window;
    auto& row = window.add(ControlKind::Label, 210, 2370, 1005, 210);
    SinglePagePrinter printer;
    const int printed = PrintControlPages(printer, window.controls(), "Pic2", 0, 2, [&](int page) {
        row.content = "页" + std::to_string(page);
    });
    EXPECT_EQ(printed, 1);
    EXPECT_EQ(TextsByPage(printer), (std::vector<PageText>{{0, "页0"}}));
    EXPECT_EQ(printer.jobsEnded, 1);
}

TEST(PrintPagesTest, OnePageIsWhatPrintControlsPrints) {
    FakeWindow window;
    window.add(ControlKind::Label, 210, 660, 1515, 195, "标题");
    RecordingPrinter single, paged;
    PrintControls(single, window.controls(), "Pic2", 0);
    EXPECT_EQ(PrintControlPages(paged, window.controls(), "Pic2", 0, 1, {}), 1);
    ASSERT_EQ(single.texts.size(), paged.texts.size());
    for (std::size_t i = 0; i < single.texts.size(); ++i) {
        EXPECT_EQ(single.texts[i].text, paged.texts[i].text);
        EXPECT_EQ(single.texts[i].x, paged.texts[i].x);
        EXPECT_EQ(single.texts[i].y, paged.texts[i].y);
    }
    EXPECT_EQ(paged.pagesStarted, 0);
}

#include "fake_control.h"
#include "printing/print_action.h"
#include "printing/print_table.h"
#include "printing/recording_printer.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"

#include <gtest/gtest.h>

using namespace printing;
using printing::testing::FakeWindow;

namespace {

// Counts the paper set-up changes the engine asks for.
class CountingPrinter : public RecordingPrinter {
  public:
    int paperChanges = 0, orientationChanges = 0;
    void setPaperSize(int code) override {
        ++paperChanges;
        RecordingPrinter::setPaperSize(code);
    }
    void setOrientation(int code) override {
        ++orientationChanges;
        RecordingPrinter::setOrientation(code);
    }
};

#ifdef _WIN32
const char* const kNoPrinter =
    "你的 Windows 系统没有安装打印机，因此无法运行打印操作，请首先安装打印机。";
#else // no word of Windows, and the way to a PDF instead
const char* const kNoPrinter = "系统中没有安装打印机，因此无法运行打印操作。请首先安装打印机；"
                               "也可以点击“预 览”，在预览窗口中将页面保存为PDF文件。";
#endif
const char* const kWrongPage = "打印机页面设置不正确(应设置为A4[纵向]大小)...";

class PrintActionTest : public ::testing::Test {
  protected:
    PrintActionTest() {
        PrinterCount = 1;
        window.add(ControlKind::Label, 1000, 1000, 2000, 300, "申请书");
    }
    ~PrintActionTest() override { PrinterCount = 0; }
    bool printForm(int index = 0, float scaleY = 1.65f) {
        return PrintForm(printer, window.controls(), index, scaleY,
                         [this](bool busy) { busyCalls.push_back(busy); });
    }

    testsupport::ScopedFakePrompter prompter;
    FakeWindow window;
    RecordingPrinter printer;
    std::vector<bool> busyCalls;
};

} // namespace

TEST_F(PrintActionTest, NoPrinterShowsThePlainMessageAndPrintsNothing) {
    PrinterCount = 0;
    printer.forcePage(twip::PaperLetter, twip::OrientationLandscape);
    EXPECT_FALSE(printForm());
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, kNoPrinter);
    EXPECT_EQ(prompter->messages[0].title, "");
    EXPECT_EQ(prompter->messages[0].icon, platform::MsgIcon::None);
    EXPECT_EQ(prompter->messages[0].buttons, platform::MsgButtons::Ok);
    EXPECT_TRUE(printer.texts.empty());
    EXPECT_EQ(printer.jobsEnded, 0);
    EXPECT_EQ(printer.paperSize(), twip::PaperLetter); // page left alone
    EXPECT_TRUE(busyCalls.empty());
}

TEST_F(PrintActionTest, SetsA4PortraitAndPrintsWithTheCallersScale) {
    printer.forcePage(twip::PaperLetter, twip::OrientationLandscape);
    PageScaleY = 9;
    EXPECT_TRUE(printForm(0, 1.45f));
    EXPECT_TRUE(prompter->messages.empty());
    EXPECT_EQ(printer.paperSize(), twip::PaperA4);
    EXPECT_EQ(printer.orientation(), twip::OrientationPortrait);
    EXPECT_EQ(PageScaleX, 1.2f);
    EXPECT_EQ(PageScaleY, 1.45f);
    EXPECT_DOUBLE_EQ(printer.find("申请书").y, PageY(1000) + (BoxHeight(300) - 300.0375) / 2);
    EXPECT_EQ(printer.jobsEnded, 1);
    EXPECT_EQ(busyCalls, (std::vector<bool>{true, false}));
}

TEST_F(PrintActionTest, PrintsOnlyTheCallersContainerIndex) {
    EXPECT_TRUE(printForm(1));
    EXPECT_TRUE(printer.visibleTexts().empty());
    EXPECT_EQ(printer.jobsEnded, 1);
}

TEST_F(PrintActionTest, LandscapeThatCannotBeChangedIsRefused) {
    printer.forcePage(twip::PaperA4, twip::OrientationLandscape);
    printer.locked = true;
    EXPECT_FALSE(printForm());
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, kWrongPage);
    EXPECT_EQ(prompter->messages[0].title, "错误");
    EXPECT_EQ(prompter->messages[0].icon, platform::MsgIcon::Exclamation);
    EXPECT_TRUE(printer.texts.empty());
    EXPECT_TRUE(busyCalls.empty());
}

TEST_F(PrintActionTest, PageCheckAcceptsA4PortraitAndLargerPaperOnly) {
    RecordingPrinter page;
    EXPECT_TRUE(IsA4PortraitPage(page));
    page.forcePage(twip::PaperA3, twip::OrientationPortrait);
    EXPECT_TRUE(IsA4PortraitPage(page));
    page.forcePage(twip::PaperA4, twip::OrientationLandscape);
    EXPECT_FALSE(IsA4PortraitPage(page));
    page.forcePage(twip::PaperLetter, twip::OrientationPortrait);
    EXPECT_FALSE(IsA4PortraitPage(page)); // 279 mm high
    page.forcePage(twip::PaperB5, twip::OrientationPortrait);
    EXPECT_FALSE(IsA4PortraitPage(page));
}

TEST_F(PrintActionTest, LockedLargerPaperStillPrints) {
    printer.forcePage(twip::PaperA3, twip::OrientationPortrait);
    printer.locked = true;
    EXPECT_TRUE(printForm());
    EXPECT_EQ(printer.paperSize(), twip::PaperA3);
    EXPECT_NO_THROW(printer.find("申请书"));
}

TEST_F(PrintActionTest, SetPrinterPageDoesNothingWithoutPrinters) {
    PrinterCount = 0;
    printer.forcePage(twip::PaperLetter, twip::OrientationLandscape);
    SetPrinterPage(printer, twip::PaperA4, twip::OrientationPortrait);
    EXPECT_EQ(printer.paperSize(), twip::PaperLetter);
    EXPECT_EQ(printer.orientation(), twip::OrientationLandscape);
}

TEST_F(PrintActionTest, SetPrinterPageChangesOnlyWhatDiffers) {
    CountingPrinter page;
    SetPrinterPage(page, twip::PaperA4, twip::OrientationPortrait);
    EXPECT_EQ(page.paperChanges + page.orientationChanges, 0);
    page.forcePage(twip::PaperA4, twip::OrientationLandscape);
    SetPrinterPage(page, twip::PaperA4, twip::OrientationPortrait);
    EXPECT_EQ(page.paperChanges, 0);
    EXPECT_EQ(page.orientationChanges, 1);
    page.forcePage(twip::PaperLetter, twip::OrientationPortrait);
    SetPrinterPage(page, twip::PaperA4, twip::OrientationPortrait);
    EXPECT_EQ(page.paperChanges, 1);
    EXPECT_EQ(page.orientationChanges, 1);
    EXPECT_EQ(page.paperSize(), twip::PaperA4);
}

// The job's own failures, and what the print system says of the printer
// before and of the job after: only a job that reached the printer counts as
// printed, and each case is one message.
TEST_F(PrintActionTest, AJobThatDoesNotPrintIsReportedWithThePrintersNameAndTheReason) {
    using Outcome = platform::JobReport::Outcome;
    const struct {
        bool refuse, failEnd;
        platform::JobReport ready, job;
        const char* text;
        const char* title;
        bool printed, drawn;
    } cases[] = {
        {true,
         false,
         {},
         {},
         "打印机【办公室打印机】无法开始打印作业，未能打印。",
         "错误",
         false,
         false},
        {false,
         true,
         {},
         {},
         "打印机【办公室打印机】未能完成打印作业，打印结果可能不完整。",
         "错误",
         false,
         true},
        {false,
         false,
         {Outcome::Refused, "正在维护"},
         {},
         "打印机【办公室打印机】现在不接受打印作业，未能打印。\n原因：正在维护。",
         "错误",
         false,
         false},
        {false,
         true,
         {},
         {Outcome::Refused, "队列已满"},
         "打印机【办公室打印机】没有接受打印作业，未能打印。\n原因：队列已满。",
         "错误",
         false,
         true},
        {false,
         false,
         {},
         {Outcome::Failed, ""},
         "打印作业已送到打印机【办公室打印机】，但没有打印出来。",
         "错误",
         false,
         true},
        {false,
         false,
         {},
         {Outcome::Held, "缺纸"},
         "打印作业已送到打印机，但打印机已停止：打印机【办公室打印机】恢复工作后才会打印。"
         "\n原因：缺纸。",
         "提示",
         true,
         true},
    };
    for (const auto& c : cases) {
        RecordingPrinter refusing;
        refusing.name = "办公室打印机";
        refusing.refuseJob = c.refuse;
        refusing.failEnd = c.failEnd;
        refusing.readinessReport = c.ready;
        refusing.jobReport = c.job;
        prompter->messages.clear();
        EXPECT_EQ(PrintForm(refusing, window.controls(), 0, 1.65f), c.printed) << c.text;
        ASSERT_EQ(prompter->messages.size(), 1u) << c.text;
        EXPECT_EQ(prompter->messages[0].text, c.text);
        EXPECT_EQ(prompter->messages[0].title, c.title);
        EXPECT_EQ(refusing.visibleTexts().empty(), !c.drawn) << c.text;
    }
}

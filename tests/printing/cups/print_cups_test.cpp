// Printing through a real print system: a private CUPS daemon, a queue per
// case with the generic PDF driver (CUPS's pdftopdf applies paper, copies and
// page ranges; the job arrives as a PDF whose text can be read), the real
// QPrinter and the windows' own print actions. Each job is read back page by
// page against the PDF of the preview. Exits 77 (skipped) where cupsd cannot
// run.

#include "pdf_support.h"
#include "platform/executable.h"
#include "platform/program_module.h"
#include "printing/print_action.h"
#include "printing/ui/Fj_List.h"
#include "printing/ui/XZSPTab.h"
#include "printing/ui/twip_print_controls.h"
#include "private_cups.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "twip/ui/print_preview.h"
#include "twip/ui/qt_printer.h"
#include "ui/sample_form.h"
#include "util/ui/fonts.h"

#include <QApplication>
#include <QFile>
#include <QPageLayout>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace {

using cupstest::Job;
using pdftest::RunTool;
using pdftest::Word;

cupstest::PrivateCups* cups = nullptr;

constexpr double kPointsPerMm = 72 / 25.4;

// Size of each page in points, as pdfinfo gives it.
std::vector<QSizeF> PageSizes(const QString& pdf) {
    const QString info = RunTool("pdfinfo", {"-f", "1", "-l", "99", pdf});
    std::vector<QSizeF> sizes;
    static const QRegularExpression re("Page\\s+\\d+ size:\\s+([\\d.]+) x ([\\d.]+) pts");
    for (auto it = re.globalMatch(info); it.hasNext();) {
        const auto m = it.next();
        sizes.emplace_back(m.captured(1).toDouble(), m.captured(2).toDouble());
    }
    return sizes;
}

std::vector<Word> Sorted(std::vector<Word> words) {
    std::sort(words.begin(), words.end(), [](const Word& a, const Word& b) {
        return std::tuple(a.text, a.box.top(), a.box.left()) <
               std::tuple(b.text, b.box.top(), b.box.left());
    });
    return words;
}

// Page `jobPage` of the job holds the words of page `previewPage` of the
// preview's PDF, each within 1 mm of where the preview has it.
void ExpectSamePage(const QString& job, int jobPage, const QString& preview, int previewPage) {
    SCOPED_TRACE("job page " + std::to_string(jobPage));
    const std::vector<Word> printed = Sorted(pdftest::Words(job, jobPage));
    const std::vector<Word> shown = Sorted(pdftest::Words(preview, previewPage));
    ASSERT_FALSE(shown.empty());
    ASSERT_EQ(printed.size(), shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(printed[i].text.toStdString(), shown[i].text.toStdString());
        EXPECT_NEAR(printed[i].box.left(), shown[i].box.left(), kPointsPerMm)
            << shown[i].text.toStdString();
        EXPECT_NEAR(printed[i].box.top(), shown[i].box.top(), kPointsPerMm)
            << shown[i].text.toStdString();
    }
}

// The destinations of every ToUnicode map of a PDF (what a reader copies).
QStringList ToUnicodeDestinations(const QString& pdf) {
    const QString plain = pdf + ".qdf";
    RunTool("qpdf", {"--qdf", "--object-streams=disable", pdf, plain});
    QFile file(plain);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromLatin1(file.readAll());
    QStringList destinations;
    static const QRegularExpression ranges("beginbfrange(.*?)endbfrange",
                                           QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression range(
        "<[0-9A-Fa-f]+>\\s*<[0-9A-Fa-f]+>\\s*(\\[[^\\]]*\\]|<[0-9A-Fa-f]+>)");
    static const QRegularExpression chars("beginbfchar(.*?)endbfchar",
                                          QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression pair("<[0-9A-Fa-f]+>\\s*<([0-9A-Fa-f]+)>");
    static const QRegularExpression hex("<([0-9A-Fa-f]+)>");
    for (auto block = ranges.globalMatch(text); block.hasNext();)
        for (auto r = range.globalMatch(block.next().captured(1)); r.hasNext();)
            for (auto h = hex.globalMatch(r.next().captured(1)); h.hasNext();)
                destinations << h.next().captured(1).toUpper();
    for (auto block = chars.globalMatch(text); block.hasNext();)
        for (auto c = pair.globalMatch(block.next().captured(1)); c.hasNext();)
            destinations << c.next().captured(1).toUpper();
    return destinations;
}

// The Chinese is text in embedded fonts, no picture, and reads as drawn:
// ideographs, never the radicals some faces share glyphs with, and a space
// copies as a space, never as a tab.
void ExpectTextAsDrawn(const QString& pdf) {
    const QStringList fonts = RunTool("pdffonts", {pdf}).split('\n', Qt::SkipEmptyParts);
    ASSERT_GT(fonts.size(), 2) << "no fonts";
    for (qsizetype i = 2; i < fonts.size(); ++i)
        EXPECT_TRUE(
            fonts[i].contains(QRegularExpression("\\byes\\s+\\w+\\s+\\w+\\s+\\d+\\s+\\d+\\s*$")))
            << fonts[i].toStdString();
    EXPECT_EQ(RunTool("pdfimages", {"-list", pdf}).count('\n'), 2) << "pictures in the page";
    const QString text = RunTool("pdftotext", {"-enc", "UTF-8", pdf, "-"});
    EXPECT_FALSE(text.contains(QRegularExpression("[\\x{2E80}-\\x{2FDF}]")));
    const QStringList destinations = ToUnicodeDestinations(pdf);
    EXPECT_TRUE(destinations.contains("0020"));
    EXPECT_FALSE(destinations.contains("0009"));
}

std::string Manifest(int linked) {
    std::string entries;
    for (int i = 1; i <= linked; ++i)
        entries += "<file><fileXh>" + std::to_string(i) +
                   "</fileXh><fileName>n</fileName><fileTitle>报件" + std::to_string(i) +
                   "</fileTitle><fileUrl>f.pdf</fileUrl></file>";
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><offer bbh=\"1\" bpbs=\"T\"><attachments>"
           "<attachment fjid=\"1\"><fjmc>其他材料</fjmc><dzjs>" +
           std::to_string(linked) + "</dzjs><fileList>" + entries +
           "</fileList></attachment></attachments></offer>";
}

class PrintCupsTest : public ::testing::Test {
  protected:
    void TearDown() override {
        twip::ui::RememberChosenPrinter({});
        ResetGlobals();
    }
    QString file(const char* name) const { return cups->path(QString::fromUtf8(name)); }
    // The pages of the preview's own request, drawn into a PDF.
    QString previewPdf(const platform::PreviewRequest& request, const char* name) {
        const QString pdf = file(name);
        twip::ui::QtPrinter printer(pdf);
        EXPECT_TRUE(request.draw(printer));
        return pdf;
    }
    // The pages the preview window shows on the request's printer.
    static int previewPages(const platform::PreviewRequest& request) {
        twip::ui::PrintPreview preview(request);
        preview.show();
        QApplication::processEvents();
        return preview.pageCount();
    }

    testsupport::ScopedFakePrompter prompter;
};

// The application form on the system's default printer: one job of the
// preview's one A4 page.
TEST_F(PrintCupsTest, TheApplicationFormPrintsThePreviewsPageOnA4) {
    ASSERT_TRUE(cups->addQueue("form", cupstest::kGenericPdfPpd, "Letter"));
    ASSERT_TRUE(cups->run("lpadmin", {"-d", "form"}));
    testsupport::TempDir dir;
    pdftest::StartOnApplicationItem(dir, {{"审批结果接收方式", "10100"}});
    PrinterCount = static_cast<std::int16_t>(twip::ui::SystemPrinterCount());

    printing::ui::XZSPTab form;
    form.Form_Load();
    form.Command1_Click(3); // "预 览"
    ASSERT_EQ(prompter->previewRequests.size(), 1u);
    const platform::PreviewRequest request = prompter->previewRequests[0];
    EXPECT_EQ(previewPages(request), 1);
    const QString preview = previewPdf(request, "form_preview.pdf");
    EXPECT_TRUE(cups->jobs("form").empty()) << "the preview sent a job";

    form.Command1_Click(1); // "打 印"
    EXPECT_TRUE(prompter->messages.empty()) << prompter->messages[0].text;
    const std::vector<Job> jobs = cups->jobs("form");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].state, platform::JobState::Completed);
    const QString job = cups->output("form");
    const std::vector<QSizeF> sizes = PageSizes(job);
    ASSERT_EQ(sizes.size(), 1u);
    EXPECT_NEAR(sizes[0].width(), 595, 1);
    EXPECT_NEAR(sizes[0].height(), 842, 1);
    ExpectSamePage(job, 1, preview, 1);
    ExpectTextAsDrawn(job);
    ExpectTextAsDrawn(preview);
}

// The materials list of 30 rows on a printer chosen in the set-up dialog
// (Letter by default): both pages, then copies and a page range as the dialog
// sets them; the choice outlives the window.
TEST_F(PrintCupsTest, TheMaterialsListPrintsItsPagesCopiesAndRangesOnTheChosenPrinter) {
    ASSERT_TRUE(cups->addQueue("other", cupstest::kGenericPdfPpd, "A4"));
    ASSERT_TRUE(cups->run("lpadmin", {"-d", "other"}));
    ASSERT_TRUE(cups->addQueue("list", cupstest::kGenericPdfPpd, "Letter"));
    PrinterCount = static_cast<std::int16_t>(twip::ui::SystemPrinterCount());
    WorkManifestPath = file("TempXml.XML").toStdString();
    std::ofstream(WorkManifestPath) << Manifest(30);
    {
        printing::ui::Fj_List list;
        list.LoadListFiles(WorkManifestPath);
        list.T1LAB(0).setText("某某项目");
        list.T1LAB(3).setText("2008-5-1");
        prompter->printerSetupAnswers = {true, true};
        // Choosing the queue in the dialog shows its own default paper.
        prompter->printerSetupChoice = [](twip::Printer& printer) {
            QPrinter& device = dynamic_cast<twip::ui::QtPrinter&>(printer).device();
            device.setPrinterName("list");
            device.setPageSize(QPrinterInfo::printerInfo("list").defaultPageSize());
        };
        list.Command1_Click(2); // "设 置...": the queue "list"
        EXPECT_EQ(list.printer().paperSize(), twip::PaperLetter);
        list.Command1_Click(3); // "预 览"
        ASSERT_EQ(prompter->previewRequests.size(), 1u);
        EXPECT_EQ(previewPages(prompter->previewRequests[0]), 2);
        const QString preview = previewPdf(prompter->previewRequests[0], "list_preview.pdf");

        list.Command1_Click(0); // "打 印"
        std::vector<Job> jobs = cups->jobs("list");
        ASSERT_EQ(jobs.size(), 1u);
        const QString job = cups->output("list");
        const std::vector<QSizeF> sizes = PageSizes(job);
        ASSERT_EQ(sizes.size(), 2u);
        for (const QSizeF& size : sizes)
            EXPECT_NEAR(size.height(), 842, 1);
        ExpectSamePage(job, 1, preview, 1);
        ExpectSamePage(job, 2, preview, 2);

        // Two copies of the second page, as Qt's dialog keeps them.
        prompter->printerSetupChoice = [](twip::Printer& printer) {
            QPrinter& device = dynamic_cast<twip::ui::QtPrinter&>(printer).device();
            device.setCopyCount(2);
            device.printEngine()->setProperty(QPrintEngine::PrintEnginePropertyKey(0xfe00),
                                              QStringList{"page-ranges", "2"});
        };
        list.Command1_Click(2);
        list.Command1_Click(0);
        jobs = cups->jobs("list");
        ASSERT_EQ(jobs.size(), 2u);
        EXPECT_EQ(jobs[1].attributes["copies"], "2");
        ASSERT_EQ(PageSizes(job).size(), 2u);
        ExpectSamePage(job, 1, preview, 2);
        ExpectSamePage(job, 2, preview, 2);
        EXPECT_TRUE(prompter->messages.empty()) << prompter->messages[0].text;
    }
    EXPECT_EQ(twip::ui::QtPrinter().deviceName(), "list");
    EXPECT_TRUE(cups->jobs("other").empty());
}

// The print tags' sample on a queue whose driver declares 6 mm margins: the
// page is kept where the preview has it (not moved in by the margins), and
// duplex and greyscale chosen in the dialog reach the job.
TEST_F(PrintCupsTest, MarginsOfTheDriverMoveNothingAndDuplexAndGreyReachTheJob) {
    const QString driver = cupstest::DriverWithMargins(*cups, 6);
    ASSERT_FALSE(driver.isEmpty());
    ASSERT_TRUE(cups->addQueue("margins", driver, "A4"));
    PrinterCount = static_cast<std::int16_t>(twip::ui::SystemPrinterCount());
    printing::testing::SampleForm sample;
    const QString preview = file("sample_preview.pdf");
    {
        twip::ui::QtPrinter pdf(preview);
        EXPECT_EQ(printing::ui::DrawTwipFormPages(sample.form, 0, 1.65f, pdf, 1, {}), 1);
    }
    twip::ui::QtPrinter printer;
    QPrinter& device = printer.device();
    device.setPrinterName("margins");
    EXPECT_NEAR(device.pageLayout().minimumMargins().left(), 6 * kPointsPerMm, 0.5);
    EXPECT_NEAR(device.pageLayout().minimumMargins().top(), 6 * kPointsPerMm, 0.5);
    device.setDuplex(QPrinter::DuplexLongSide);
    device.setColorMode(QPrinter::GrayScale);
    EXPECT_TRUE(printing::ui::PrintTwipForm(sample.form, 0, 1.65f, printer));
    EXPECT_TRUE(prompter->messages.empty()) << prompter->messages[0].text;

    std::vector<Job> jobs = cups->jobs("margins");
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(jobs[0].attributes["sides"], "two-sided-long-edge");
    EXPECT_EQ(jobs[0].attributes["print-color-mode"], "monochrome");
    const QString job = cups->output("margins");
    ASSERT_EQ(PageSizes(job).size(), 1u);
    ExpectSamePage(job, 1, preview, 1);
    ExpectTextAsDrawn(job);
}

// A queue that refuses jobs, a stopped one and one whose device fails: each
// is told, none passes for printed.
TEST_F(PrintCupsTest, QueuesThatDoNotPrintAreReported) {
    struct Case {
        const char* queue;
        QStringList setUp;   // after the queue is added
        const char* message; // what the message says (in part)
        const char* reason;
        std::size_t jobs;
        int state; // of the job, when there is one
    };
    const QString missing = "serial:" + cups->path("missing/tty");
    const Case cases[] = {
        {"refusing",
         {"cupsreject", "-r", "正在维护", "refusing"},
         "打印机【refusing】现在不接受打印作业，未能打印。",
         "正在维护",
         0,
         0},
        {"stopped",
         {"cupsdisable", "stopped"},
         "已送到打印机，但打印机已停止",
         "打印队列已被暂停",
         1,
         platform::JobState::Pending},
        // A device that cannot be opened stops the printer, holds the job to
        // be tried again, or ends it, as the queue is told.
        {"failing",
         {"lpadmin", "-p", "failing", "-v", missing, "-o", "printer-error-policy=stop-printer"},
         "已送到打印机，但打印机已停止",
         "Unable to open",
         1,
         platform::JobState::Pending},
        {"retrying",
         {"lpadmin", "-p", "retrying", "-v", missing, "-o", "printer-error-policy=retry-job"},
         "已送到打印机，但打印机已停止",
         "Unable to open",
         1,
         platform::JobState::Held},
        {"broken",
         {"lpadmin", "-p", "broken", "-v", missing, "-o", "printer-error-policy=abort-job"},
         "打印作业已送到打印机【broken】，但没有打印出来。",
         "Unable to open",
         1,
         platform::JobState::Aborted},
    };
    PrinterCount = 1;
    printing::testing::SampleForm sample;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.queue);
        ASSERT_TRUE(cups->addQueue(c.queue, cupstest::kGenericPdfPpd, "A4"));
        ASSERT_TRUE(cups->run(c.setUp[0], c.setUp.mid(1)));
        prompter->messages.clear();
        twip::ui::QtPrinter printer;
        printer.device().setPrinterName(c.queue);
        printing::ui::PrintTwipForm(sample.form, 0, 1.65f, printer);
        ASSERT_EQ(prompter->messages.size(), 1u);
        EXPECT_NE(prompter->messages[0].text.find(c.message), std::string::npos)
            << prompter->messages[0].text;
        EXPECT_NE(prompter->messages[0].text.find(c.reason), std::string::npos)
            << prompter->messages[0].text;
        const std::vector<Job> jobs = cups->jobs(c.queue, false);
        ASSERT_EQ(jobs.size(), c.jobs);
        if (!jobs.empty()) {
            EXPECT_EQ(jobs[0].state, c.state);
        }
        EXPECT_FALSE(QFile::exists(cups->output(c.queue)));
    }
}

// Without any queue the print action says that no printer is installed.
TEST_F(PrintCupsTest, WithoutAQueueTheNoPrinterMessageShows) {
    cups->removeQueues();
    PrinterCount = static_cast<std::int16_t>(twip::ui::SystemPrinterCount());
    EXPECT_EQ(PrinterCount, 0);
    printing::testing::SampleForm sample;
    EXPECT_FALSE(printing::ui::PrintTwipForm(sample.form, 0, 1.65f));
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, printing::kNoPrinterText);
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The test programs lie one folder below the program's modules.
    platform::SetModuleFolder(platform::ExecutableFolder().parent_path());
    util::ui::LoadFontAliases(util::ui::FindFontAliasFile(util::ui::ExecutableFolder(argv[0])));
    cupstest::PrivateCups daemon; // before Qt's print support first asks CUPS
    QApplication app(argc, argv);
    if (!daemon.start()) {
        std::printf("SKIPPED: no CUPS daemon can run here (%s)\n", qPrintable(daemon.error()));
        return 77;
    }
    cups = &daemon;
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

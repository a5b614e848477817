// The materials list on paper: a list longer than one table prints further
// pages in the same PDF, each with the header, numbering continued.

#include "pdf_support.h"
#include "platform/gbk.h"
#include "printing/ui/Fj_List.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "twip/ui/qt_printer.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int RunProgram(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace {

using pdftest::RunTool;

QString PageText(const QString& pdf, int page) {
    const QString n = QString::number(page);
    return RunTool("pdftotext", {"-f", n, "-l", n, "-layout", "-enc", "UTF-8", pdf, "-"});
}

// Top edge (points) of the first word equal to `word` on a page.
std::optional<double> WordTop(const QString& pdf, int page, const QString& word) {
    const auto box = pdftest::Find(pdftest::Words(pdf, page), word);
    return box ? std::optional<double>(box->top()) : std::nullopt;
}

std::string Manifest(int linked) {
    std::string entries;
    for (int i = 1; i <= linked; ++i)
        entries += "<file><fileXh>" + std::to_string(i) +
                   "</fileXh><fileName>n</fileName>"
                   "<fileTitle>报件" +
                   std::to_string(i) + "</fileTitle><fileUrl>C:\\f" + std::to_string(i) +
                   ".pdf</fileUrl></file>";
    return platform::Utf8ToGbkLossless(
        "<?xml version=\"1.0\" encoding=\"GB2312\"?>\n<offer bbh=\"1\" bpbs=\"T\"><attachments>"
        "<attachment fjid=\"1\"><fjmc>其他材料</fjmc><dzjs>" +
        std::to_string(linked) + "</dzjs><fileList>" + entries +
        "</fileList></attachment></attachments></offer>\n");
}

} // namespace

TEST(ListPdfTest, ContinuationPagesCarryTheHeaderAndTheFollowingNumbers) {
    QTemporaryDir dir;
    testsupport::ScopedFakePrompter prompter;
    PrinterCount = 1; // a PDF file is always there to print on
    const QString manifest = dir.filePath("TempXml.XML");
    {
        QFile file(manifest);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        const std::string bytes = Manifest(30);
        file.write(bytes.data(), static_cast<qint64>(bytes.size()));
    }
    const QString pdf = dir.filePath("list.pdf");
    {
        printing::ui::Fj_List list;
        list.usePrinter(std::make_unique<twip::ui::QtPrinter>(pdf));
        list.LoadListFiles(manifest.toStdString());
        list.T1LAB(0).setText("某某项目");
        list.T1LAB(1).setText("某某勘查院");
        list.T1LAB(2).setText("资质申请");
        list.T1LAB(3).setText("2008-5-1");
        list.Command1_Click(0);
    }
    EXPECT_TRUE(prompter->messages.empty());
    const QString info = RunTool("pdfinfo", {pdf});
    EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+2\\n"))) << info.toStdString();
    EXPECT_TRUE(info.contains("(A4)")) << info.toStdString();

    const QString first = PageText(pdf, 1), second = PageText(pdf, 2);
    for (const QString* page : {&first, &second})
        for (const char* header : {"申报材料清单(电子文档)", "某某项目", "某某勘查院", "资质申请",
                                   "2008年5月1日", "申报材料名称(标题)"})
            EXPECT_TRUE(page->contains(QString::fromUtf8(header)))
                << header << " missing on page " << (page == &first ? 1 : 2);
    const QRegularExpression row28("\\b28\\s+报件28\\b"), row29("\\b29\\s+报件29\\b"),
        row30("\\b30\\s+报件30\\b");
    EXPECT_TRUE(first.contains(row28)) << first.toStdString();
    EXPECT_FALSE(first.contains(QString::fromUtf8("报件29")));
    EXPECT_TRUE(second.contains(row29)) << second.toStdString();
    EXPECT_TRUE(second.contains(row30));
    EXPECT_FALSE(second.contains(QRegularExpression(QString::fromUtf8("报件1\\b"))));
    // Read back as ideographs, never as the radicals they share glyphs with.
    EXPECT_FALSE((first + second).contains(QRegularExpression("[\\x{2E80}-\\x{2FDF}]")));

    // Page 2 is laid out like page 1: its first row stands where row 1 stands.
    const auto rowOne = WordTop(pdf, 1, QString::fromUtf8("报件1"));
    const auto rowTwentyNine = WordTop(pdf, 2, QString::fromUtf8("报件29"));
    ASSERT_TRUE(rowOne && rowTwentyNine);
    EXPECT_NEAR(*rowOne, *rowTwentyNine, 0.5);
}

// "预 览" of the application form and of the materials list: the preview
// window's page against the PDF that "打 印" writes, the PDF saved from the
// preview against the printed one, and the preview's own "打 印".

#include "pdf_support.h"
#include "printing/ui/Fj_List.h"
#include "printing/ui/XZSPTab.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "support/fixture_db.h"
#include "twip/ui/print_preview.h"
#include "twip/ui/qt_printer.h"
#include "twip/ui/twipform.h"

#include <QApplication>
#include <QFileInfo>
#include <QGraphicsView>
#include <QImage>
#include <QKeyEvent>
#include <QPrintPreviewWidget>
#include <QScreen>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <poppler-qt6.h>

#include <algorithm>
#include <fstream>
#include <memory>

namespace {

// The first page of a PDF at the given size, in shades of grey.
QImage Render(const QString& pdf, QSize size) {
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(pdf);
    if (!document || document->numPages() < 1) {
        ADD_FAILURE() << "cannot open " << pdf.toStdString();
        return {};
    }
    document->setRenderHint(Poppler::Document::Antialiasing, true);
    document->setRenderHint(Poppler::Document::TextAntialiasing, true);
    std::unique_ptr<Poppler::Page> page = document->page(0);
    const QSizeF points = page->pageSizeF();
    const QImage image = page->renderToImage(72.0 * size.width() / points.width(),
                                             72.0 * size.height() / points.height());
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_Grayscale8);
}

// The page as the preview window shows it: the white sheet in its view.
QImage PreviewPage(twip::ui::PrintPreview& preview) {
    auto* view = preview.previewWidget().findChild<QGraphicsView*>();
    if (!view) {
        ADD_FAILURE() << "no view in the preview";
        return {};
    }
    const QImage shot = view->viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    QRect sheet;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            if (shot.pixel(x, y) == qRgb(255, 255, 255))
                sheet |= QRect(x, y, 1, 1);
    return shot.copy(sheet).convertToFormat(QImage::Format_Grayscale8);
}

// Share of the inked pixels of `a` (darker than `ink`) that have a pixel of
// `b` that is not white within two pixels: 1 when everything drawn in one is
// drawn in the other. The two renderers shade thin strokes differently (the
// ruling is a fraction of a pixel wide at preview size), so only "drawn" and
// "not drawn" are compared.
double Covered(const QImage& a, const QImage& b, int ink = 160) {
    int dark = 0, covered = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            if (qGray(a.pixel(x, y)) >= ink)
                continue;
            ++dark;
            bool near = false;
            for (int dy = -2; dy <= 2 && !near; ++dy)
                for (int dx = -2; dx <= 2 && !near; ++dx) {
                    const int bx = x + dx, by = y + dy;
                    near = bx >= 0 && by >= 0 && bx < b.width() && by < b.height() &&
                           qGray(b.pixel(bx, by)) < 250;
                }
            covered += near ? 1 : 0;
        }
    return dark == 0 ? 0.0 : double(covered) / dark;
}

class PreviewPdfTest : public ::testing::Test {
  protected:
    void SetUp() override {
        pdftest::StartOnApplicationItem(dir_, {{"审批结果接收方式", "10100"}});
    }
    void TearDown() override { ResetGlobals(); }

    QString Out(const char* name) const { return out_.filePath(QString::fromUtf8(name)); }

    testsupport::ScopedFakePrompter prompter_;
    testsupport::TempDir dir_;
    QTemporaryDir out_;
};

TEST_F(PreviewPdfTest, TheApplicationFormPreviewShowsAndSavesWhatPrintSends) {
    printing::ui::XZSPTab form;
    form.Form_Load();
    twip::ui::QtPrinter printer(Out("printed.pdf"));
    form.usePrinter(&printer);
    form.Command1_Click(1); // "打 印"
    ASSERT_TRUE(prompter_->messages.empty());

    form.Command1_Click(3); // "预 览"
    ASSERT_EQ(prompter_->previewRequests.size(), 1u);
    const platform::PreviewRequest request = prompter_->previewRequests[0];
    EXPECT_EQ(request.printer, &printer);
    EXPECT_EQ(request.pdfName, "行政审批申请书.pdf");

    // The preview window on the request, shown without its own event loop.
    platform::PreviewRequest onScreen = request;
    twip::ui::QtPrinter screen; // the preview draws on a printer of its own here
    onScreen.printer = &screen;
    twip::ui::PrintPreview preview(onScreen);
    preview.resize(700, 1000);
    preview.show();
    QApplication::processEvents();
    preview.previewWidget().fitInView();
    QApplication::processEvents();
    EXPECT_EQ(preview.pageCount(), 1);
    const QImage shown = PreviewPage(preview);
    ASSERT_GT(shown.height(), 600);
    EXPECT_NEAR(double(shown.height()) / shown.width(), 297.0 / 210.0, 0.02);
    const QImage printed = Render(Out("printed.pdf"), shown.size());
    EXPECT_GT(Covered(shown, printed), 0.999);
    EXPECT_GT(Covered(printed, shown), 0.999);

    // "保存PDF..." writes the same page as "打 印".
    prompter_->saveAnswers.push_back(Out("saved.pdf").toStdString());
    EXPECT_TRUE(preview.savePdf());
    EXPECT_EQ(prompter_->saveRequests.back().proposedName, "行政审批申请书.pdf");
    EXPECT_EQ(prompter_->messages.back().text, "已保存PDF文件：" + Out("saved.pdf").toStdString());
    const QSize large(1240, 1754);
    EXPECT_EQ(Render(Out("saved.pdf"), large), Render(Out("printed.pdf"), large));
    // Cancelling the file dialog writes nothing.
    EXPECT_FALSE(preview.savePdf());

    // Another form's page is told apart: the comparison can fail.
    form.Text2(0).setText(QStringLiteral("另一个单位的很长很长的名称"));
    form.Text3().setText(QStringLiteral("完全不同的项目名称"));
    form.Command1_Click(1);
    const QImage other = Render(Out("printed.pdf"), shown.size());
    EXPECT_LT(std::min(Covered(other, shown), Covered(shown, other)), 0.99);
    preview.close();
}

TEST_F(PreviewPdfTest, TheMaterialsListPreviewDrawsItsPagesAndPrintsFromThePreview) {
    WorkManifestPath = (dir_.path() / "TempXml.XML").string();
    std::ofstream(WorkManifestPath)
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?><offer bbh=\"1\" bpbs=\"T\"><attachments>"
           "<attachment fjid=\"1\"><fjxh>1</fjxh><fjmc>营业执照</fjmc><dzjs>2</dzjs><fileList>"
           "<file><fileXh>1</fileXh><fileTitle>营业执照(副本)</fileTitle><fileUrl>a.pdf</fileUrl></"
           "file>"
           "<file><fileXh>2</fileXh><fileTitle>章程</fileTitle><fileUrl>b.pdf</fileUrl></file>"
           "</fileList></attachment></attachments></offer>";
    printing::ui::Fj_List list;
    list.Form_Load();
    EXPECT_EQ(list.FJLab(1).text(), QStringLiteral("章程"));
    list.usePrinter(std::make_unique<twip::ui::QtPrinter>(Out("list.pdf")));
    list.Command1_Click(3); // "预 览"
    ASSERT_EQ(prompter_->previewRequests.size(), 1u);
    const platform::PreviewRequest request = prompter_->previewRequests[0];
    EXPECT_EQ(request.printer, &list.printer());

    twip::ui::QtPrinter pdf(Out("list_preview.pdf"));
    EXPECT_TRUE(request.draw(pdf));
    EXPECT_GT(QFileInfo(Out("list_preview.pdf")).size(), 0);
    request.print(); // the preview's "打 印": the window's own print action
    const QSize size(620, 877);
    EXPECT_EQ(Render(Out("list_preview.pdf"), size), Render(Out("list.pdf"), size));
    EXPECT_TRUE(prompter_->messages.empty()) << prompter_->messages[0].text;
}

// The preview fits the screen's free area, and Enter presses its focused button.
TEST_F(PreviewPdfTest, ThePreviewFitsTheScreenAndTakesEnterOnItsButtons) {
    twip::ui::QtPrinter screen;
    platform::PreviewRequest request;
    request.printer = &screen;
    twip::ui::PrintPreview preview(request);
    const QSize free = QApplication::primaryScreen()->availableGeometry().size() -
                       twip::ui::TwipForm::FrameAllowance();
    EXPECT_LE(preview.height(), free.height());
    EXPECT_LE(preview.width(), free.width());
    preview.show();
    QApplication::setActiveWindow(&preview);
    QWidget* close = preview.findChild<QWidget*>(QStringLiteral("CmdClose"));
    ASSERT_NE(close, nullptr);
    close->setFocus();
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(close, &enter);
    EXPECT_FALSE(preview.isVisible());
}

} // namespace

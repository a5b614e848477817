// The windows "扫描与合并" and "压缩..." with the materials window: a fake
// scanner behind the seam (and SANE's test backend for one full scan), image
// files, editing, errors, and linking the result as ">>>" links a file.

#include "app/ui/program.h"
#include "materials/ui/FrmFjgl.h"
#include "scan/ui/ScanWindow.h"
#include "scan/ui/ShrinkWindow.h"

#include "materials/manifest_fixture.h"
#include "platform/xmldoc.h"
#include "scan/image_fixture.h"
#include "scan/jpeg.h"
#include "scan/recognition_fixture.h"
#include "scan/scan_fixture.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "support/fixture_db.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <gtest/gtest.h>
#include <poppler-qt6.h>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFWriter.hh>

#include <deque>
#include <variant>

using materials::ui::FlexGrid;
using materials::ui::FrmFjgl;
using namespace materials_test;
using namespace scan_test;
using scan::ui::ScanWindow;
using scan::ui::ShrinkWindow;

namespace {

bool WaitUntil(const std::function<bool()>& done, int ms = 60000) {
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(1);
    }
    return done();
}

// What pdftotext finds on a page (numbered from 1).
std::string PdfToText(const std::string& pdf, int page) {
    QProcess p;
    p.start("pdftotext", {"-f", QString::number(page), "-l", QString::number(page),
                          QString::fromStdString(pdf), "-"});
    p.waitForFinished(30000);
    return p.readAllStandardOutput().toStdString();
}

// Runs `script` on the window of type W once it is shown modally.
template <class W> void WhenShown(std::function<void(W&)> script) {
    auto* timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [timer, script] {
        if (auto* w = qobject_cast<W*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            script(*w);
        }
    });
    timer->start(5);
}

// Pages on cue: a width gives a grey page of that width with a line of text,
// a text is a scanner error after half the page; `hold` scans until cancelled.
class FakeScanner final : public platform::Scanner {
  public:
    std::vector<platform::ScannerDevice> list{{"fake:0", "Fake", "Flatbed"}};
    std::deque<std::variant<int, std::string>> script;
    std::atomic<bool> hold{false};
    std::atomic<bool> slowSearch{false}; // a network scanner waiting for its time-out
    std::atomic<int> searches{0};
    std::string why; // what unavailable() says

    std::vector<platform::ScannerDevice> devices() override {
        while (slowSearch)
            QThread::msleep(5);
        ++searches;
        return list;
    }
    std::string unavailable() override { return why; }
    platform::ScanOutcome scan(const platform::ScanSettings& s,
                               const platform::ScanControl& control) override {
        platform::ScanOutcome o;
        while (hold) {
            if (control.progress)
                control.progress(0.5);
            if (control.cancelled()) {
                o.status = platform::ScanStatus::Cancelled;
                return o;
            }
            QThread::msleep(5);
        }
        if (script.empty()) {
            o.message = "no page scripted";
            return o;
        }
        auto next = script.front();
        script.pop_front();
        if (control.progress)
            control.progress(0.5);
        if (auto* error = std::get_if<std::string>(&next)) {
            o.message = *error;
            return o;
        }
        const int w = std::get<int>(next);
        scan::Raster page = scan::MakeRaster(w, w * 7 / 5, 1);
        TextLine(page, s.dpi, 20);
        o.page = {page.width, page.height, 1, static_cast<double>(s.dpi), page.pixels};
        o.status = platform::ScanStatus::Ok;
        return o;
    }
};

// A TIFF of several 8-bit grey pages, uncompressed, widths as given.
std::string MultiPageTiff(const std::vector<int>& widths) {
    std::string out = std::string("II*\0", 4) + std::string(4, '\0');
    auto put32 = [](std::string& s, std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            s[at + i] = static_cast<char>(v >> (8 * i));
    };
    std::size_t link = 4; // where the offset of the next IFD goes
    for (int w : widths) {
        const int h = w * 7 / 5;
        const std::size_t data = out.size();
        out += std::string(static_cast<std::size_t>(w) * h, '\xF0');
        const std::size_t ifd = out.size();
        put32(out, link, static_cast<std::uint32_t>(ifd));
        const std::uint32_t tags[][2] = {{256, static_cast<std::uint32_t>(w)},
                                         {257, static_cast<std::uint32_t>(h)},
                                         {258, 8},
                                         {259, 1},
                                         {262, 1},
                                         {273, static_cast<std::uint32_t>(data)},
                                         {277, 1},
                                         {278, static_cast<std::uint32_t>(h)},
                                         {279, static_cast<std::uint32_t>(w * h)}};
        out += std::string{static_cast<char>(std::size(tags)), '\0'};
        for (const auto& t : tags) {
            std::string e(12, '\0');
            e[0] = static_cast<char>(t[0] & 0xff), e[1] = static_cast<char>(t[0] >> 8);
            e[2] = 4; // LONG
            e[4] = 1;
            put32(e, 8, t[1]);
            out += e;
        }
        link = out.size();
        out += std::string(4, '\0');
    }
    return out;
}

class ScanWindowTest : public TempFolderTest {
  protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        program_ = dir_ / "程序";
        fs::create_directories(program_);
        db_ = std::make_unique<testsupport::FixtureDb>(program_ / "系统模板.mdb");
        db_->AddParameters();
        previous_ = platform::SetScanner(scanner_);
    }
    void TearDown() override {
        window_.reset();
        platform::SetScanner(previous_);
        ResetGlobals();
        db_.reset();
        TempFolderTest::TearDown();
    }
    FrmFjgl& Open() {
        db_->AddItem();
        db_->Close();
        StartupHooks hooks;
        hooks.countPrinters = [] { return 1; };
        EXPECT_TRUE(Main(program_, hooks));
        SelectedItem = 0;
        ReloadPending = -1;
        window_ = std::make_unique<FrmFjgl>(app::ui::MaterialsWindowParts());
        window_->Form_Load();
        return *window_;
    }
    scan::ui::ScanRequest Request() { return {"测试", "营业执照", "营业执照", U8(program_), 1, 0}; }
    std::string Link() {
        platform::XmlDocument doc;
        EXPECT_TRUE(doc.load(WorkManifestPath));
        return doc.documentElement().selectNodes(".//fileUrl")[0].text();
    }
    // Everything linking shows: the working copy and both grids with colours.
    std::string Snapshot() {
        std::string s = ReadBytes(platform::PathFromUtf8(WorkManifestPath));
        for (FlexGrid* g : {&window_->MedFlex1(), &window_->MedFlex2()})
            for (int r = 0; r < g->rows(); ++r)
                for (int c = 0; c < g->cols(); ++c)
                    s += "|" + g->textMatrix(r, c).toStdString() + "#" +
                         g->cellBackColor(r, c).name().toStdString();
        return s + "|" + window_->Label3(0).text().toStdString();
    }
    std::string File(const std::string& name, const std::string& bytes) {
        WriteBytes(dir_ / name, bytes);
        return U8(dir_ / name);
    }
    static void ScanPages(ScanWindow& w, int count, bool back = false) {
        for (int i = 0; i < count; ++i) {
            w.scanPage(back);
            ASSERT_TRUE(WaitUntil([&] { return !w.busy(); }));
        }
    }

    testsupport::ScopedFakePrompter prompter_;
    std::shared_ptr<FakeScanner> scanner_ = std::make_shared<FakeScanner>();
    std::shared_ptr<platform::Scanner> previous_;
    fs::path program_;
    std::unique_ptr<testsupport::FixtureDb> db_;
    std::unique_ptr<FrmFjgl> window_;
};

} // namespace

TEST_F(ScanWindowTest, AScanIsLinkedExactlyAsAFileChosenByHand) {
    FrmFjgl& w = Open();
    ASSERT_TRUE(w.CmdScan().enabled());
    EXPECT_FALSE(w.CmdShrink().enabled()); // nothing linked yet
    scanner_->script = {400, 500};
    WhenShown<ScanWindow>([](ScanWindow& s) {
        ASSERT_TRUE(WaitUntil([&] { return !s.searching(); }));
        ScanPages(s, 2);
        s.finish();
    });
    w.CmdScan_Click();
    const std::string pdf = Link();
    EXPECT_EQ(fs::path(pdf).parent_path(), program_ / "扫描文件");
    EXPECT_EQ(fs::path(pdf).filename().string().rfind("测试-营业执照-营业执照-", 0), 0u);
    EXPECT_EQ(ReadPdf(pdf).size(), 2u);
    // The entry row shows the linked file's size at once.
    EXPECT_EQ(w.MedFlex2().textMatrix(1, 5).toStdString(),
              std::to_string((fs::file_size(pdf) + 1023) / 1024));
    EXPECT_TRUE(w.CmdShrink().enabled());
    const std::string scanned = Snapshot();

    // The same file, cleared and chosen with ">>>" (whose size shows once the
    // material is listed again).
    prompter_->answers = {platform::MsgAnswer::Yes};
    w.CmdRemoveFJ_Click();
    EXPECT_EQ(Link(), "");
    prompter_->openAnswers = {pdf};
    w.selectWjlbFile();
    w.MedFlex1_Click();
    EXPECT_EQ(Snapshot(), scanned);
}

TEST_F(ScanWindowTest, AFullScanThroughSanesTestBackend) {
    const fs::path config = dir_ / "sane";
    WriteBytes(config / "dll.conf", "test\n");
    fs::copy_file("/etc/sane.d/test.conf", config / "test.conf");
    setenv("SANE_CONFIG_DIR", U8(config).c_str(), 1);
    platform::SetScanner(platform::MakeSaneScanner());
    FrmFjgl& w = Open();
    WhenShown<ScanWindow>([](ScanWindow& s) {
        ASSERT_TRUE(WaitUntil([&] { return !s.searching(); }));
        ASSERT_GT(s.deviceCount(), 0);
        s.setDpi(150);
        s.setColour(platform::ScanColour::Grey);
        ScanPages(s, 2);
        s.finish();
    });
    w.CmdScan_Click();
    const std::string pdf = Link();
    std::unique_ptr<Poppler::Document> doc = Poppler::Document::load(QString::fromStdString(pdf));
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->numPages(), 2);
    const auto pages = ReadPdf(pdf);
    for (const auto& p : pages) {
        EXPECT_NEAR(p.imageWidth, 200 / 25.4 * 150, 2); // the backend's 200 mm at 150 dpi
        EXPECT_NEAR(p.width, p.imageWidth * 72.0 / 150, 0.01);
        EXPECT_NEAR(doc->page(0)->pageSizeF().width(), p.width, 0.01);
    }
}

TEST_F(ScanWindowTest, PagesFromFilesAreEditedIntoThePdf) {
    QImage png(101, 141, QImage::Format_RGB32), bmp(102, 142, QImage::Format_RGB32);
    png.fill(Qt::white), bmp.fill(Qt::gray);
    png.save(QString::fromStdString(U8(dir_ / "a.png")));
    bmp.save(QString::fromStdString(U8(dir_ / "b.bmp")));
    const auto jpeg = scan::EncodeJpeg(PhotoLike(103, 144, 1), 80, 100);
    const std::string jpegPath = File("c.jpg", std::string(jpeg.begin(), jpeg.end()));
    ScanWindow s(Request());
    struct Add {
        std::string path;
        std::size_t pages; // 0: refused with a message
    };
    const Add adds[] = {{U8(dir_ / "a.png"), 1},
                        {U8(dir_ / "b.bmp"), 1},
                        {jpegPath, 1},
                        {File("d.tif", MultiPageTiff({104, 105})), 2},
                        {File("broken.png", "\x89PNG\r\n\x1a\n broken"), 0},
                        {File("broken.jpg", std::string(jpeg.begin(), jpeg.begin() + 300)), 0}};
    std::size_t expected = 0;
    for (const Add& a : adds) {
        SCOPED_TRACE(a.path);
        const std::size_t messages = prompter_->messages.size();
        s.addImageFile(a.path);
        s.waitForPages();
        expected += a.pages;
        EXPECT_EQ(s.pages().size(), expected);
        EXPECT_EQ(prompter_->messages.size(), messages + (a.pages ? 0 : 1));
    }
    EXPECT_NE(prompter_->messages.back().text.find("broken.jpg"), std::string::npos);
    // 101 102 103 104 105 → 102 101 104@90 105
    s.selectPage(0), s.moveDown();
    s.selectPage(2), s.removePage();
    s.selectPage(2), s.rotate();
    s.selectPage(3), s.moveUp(), s.moveDown();
    s.finish();
    const auto pdf = ReadPdf(s.resultPath());
    ASSERT_EQ(pdf.size(), 4u);
    const int widths[] = {102, 101, 104, 105}, rotations[] = {0, 0, 90, 0};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(pdf[i].imageWidth, widths[i]) << i;
        EXPECT_EQ(pdf[i].rotate, rotations[i]) << i;
    }
    s.addImageFile(jpegPath);
    s.finish();                                          // waits for the page
    EXPECT_EQ(ReadPdf(s.resultPath()).back().raw, jpeg); // byte for byte
}

TEST_F(ScanWindowTest, ScannerErrorsKeepThePagesAndCancelStopsAScan) {
    ScanWindow s(Request());
    ASSERT_TRUE(WaitUntil([&] { return !s.searching(); }));
    scanner_->script = {300, std::string("扫描仪卡纸，请取出纸张后重试。")};
    ScanPages(s, 2);
    EXPECT_EQ(s.pages().size(), 1u);
    ASSERT_EQ(prompter_->messages.size(), 1u);
    EXPECT_EQ(prompter_->messages[0].text, "扫描仪卡纸，请取出纸张后重试。");
    EXPECT_EQ(prompter_->messages[0].title, "错误");
    // A scan that goes on: the window answers meanwhile, and cancel ends it.
    scanner_->hold = true;
    s.scanPage(false);
    EXPECT_TRUE(s.busy());
    EXPECT_TRUE(s.findChild<QPushButton*>("cancelScan")->isEnabled());
    EXPECT_FALSE(s.findChild<QPushButton*>("finish")->isEnabled());
    s.cancelScan();
    ASSERT_TRUE(WaitUntil([&] { return !s.busy(); }));
    scanner_->hold = false;
    EXPECT_EQ(s.pages().size(), 1u);
    EXPECT_EQ(prompter_->messages.size(), 1u); // cancelling is no error
}

TEST_F(ScanWindowTest, BacksBlanksQualityAndCancel) {
    scan::ui::ScanRequest request = Request();
    request.limitMb = 1;
    request.otherLinkedKb = 1000;
    ScanWindow s(request);
    ASSERT_TRUE(WaitUntil([&] { return !s.searching(); }));
    scanner_->script = {401, 402, 403, 503, 502, 501};
    ScanPages(s, 3);
    ScanPages(s, 3, true);
    std::vector<int> widths;
    for (const scan::Page& p : s.pages().pages())
        widths.push_back(p.image(scan::Quality::Standard).width);
    EXPECT_EQ(widths, (std::vector<int>{401, 501, 402, 502, 403, 503}));
    // A blank back: marked, removed with one click.
    QImage empty(400, 560, QImage::Format_Grayscale8);
    empty.fill(250);
    empty.save(QString::fromStdString(U8(dir_ / "empty.png")));
    s.addImageFile(U8(dir_ / "empty.png"));
    s.waitForPages();
    EXPECT_EQ(s.pages().blankCount(), 1u);
    EXPECT_EQ(s.pages().size(), 7u);
    s.removeBlankPages();
    EXPECT_EQ(s.pages().size(), 6u);
    // The size follows the quality at once, and tells whether it fits.
    s.setQuality(scan::Quality::Clear);
    EXPECT_GE(s.estimatedBytes(), s.pages().estimatedBytes(scan::Quality::Standard));
    EXPECT_EQ(s.findChild<QLabel*>("size")->text(), s.sizeText());
    EXPECT_TRUE(s.sizeText().contains(QStringLiteral("尚余 24 KB")));
    EXPECT_EQ(s.fits(), false);
    s.reject();
    EXPECT_EQ(s.resultPath(), "");
    EXPECT_FALSE(fs::exists(program_ / "扫描文件")); // 取消 writes nothing
}

TEST_F(ScanWindowTest, WithoutScannersPagesStillComeFromFiles) {
    scanner_->list.clear();
    ScanWindow s(Request());
    ASSERT_TRUE(WaitUntil([&] { return !s.searching(); }));
    EXPECT_TRUE(
        s.findChild<QLabel*>("deviceNote")->text().contains(QStringLiteral("未找到扫描仪")));
    EXPECT_FALSE(s.findChild<QPushButton*>("scanPage")->isEnabled());
    EXPECT_TRUE(s.findChild<QPushButton*>("addImages")->isEnabled());
    // Without the program's scanner component the note says so instead.
    scanner_->why = "本程序的扫描组件缺失。";
    ScanWindow missing(Request());
    ASSERT_TRUE(WaitUntil([&] { return !missing.searching(); }));
    EXPECT_EQ(missing.findChild<QLabel*>("deviceNote")->text(),
              QStringLiteral("本程序的扫描组件缺失。仍可通过“添加图片...”从文件添加页面。"));
}

TEST_F(ScanWindowTest, ShrinkingKeepsPagesAndTextAndLinksTheCopy) {
    FrmFjgl& w = Open();
    // A JPEG linked by hand: the smaller copy replaces it in the entry.
    const auto big = scan::EncodeJpeg(PhotoLike(2480, 3508, 2), 95, 300);
    const std::string original = File("photo.jpg", std::string(big.begin(), big.end()));
    prompter_->openAnswers = {original};
    w.selectWjlbFile();
    ASSERT_TRUE(w.CmdShrink().enabled());
    WhenShown<ShrinkWindow>([](ShrinkWindow& s) {
        ASSERT_TRUE(WaitUntil([&] { return !s.running(); }));
        EXPECT_TRUE(s.previewShown());
        EXPECT_LT(s.result().bytesAfter, s.result().bytesBefore);
        s.acceptCopy();
    });
    // Offered after a save over the limit: a question, and on Yes the window.
    prompter_->answers = {platform::MsgAnswer::Yes};
    w.offerShrink();
    EXPECT_EQ(prompter_->messages.back().icon, platform::MsgIcon::Question);
    EXPECT_EQ(fs::path(Link()).parent_path(), program_ / "扫描文件");
    EXPECT_NE(Link(), original);
    EXPECT_NE(prompter_->messages.back().text.find("photo.jpg"), std::string::npos);
    EXPECT_EQ(ReadBytes(original), std::string(big.begin(), big.end()));
    EXPECT_EQ(w.MedFlex2().textMatrix(1, 5).toStdString(),
              std::to_string((fs::file_size(Link()) + 1023) / 1024));
    // The copy a shrink made is not offered again.
    const std::size_t asked = prompter_->messages.size();
    w.offerShrink();
    EXPECT_EQ(prompter_->messages.size(), asked);

    // PDFs: pages and text kept; a password-protected one refused.
    struct Case {
        const char* name;
        std::string password;
        bool ok;
    };
    for (const Case& c : {Case{"text.pdf", "", true}, Case{"locked.pdf", "secret", false}}) {
        SCOPED_TRACE(c.name);
        TextAndImagePdf(U8(dir_ / c.name), 2, 200, c.password);
        ShrinkWindow s({U8(dir_ / c.name), "测试", "营业执照", "营业执照", U8(program_)});
        ASSERT_EQ(s.compute(), c.ok);
        if (!c.ok) {
            EXPECT_EQ(prompter_->messages.back().text, "该PDF文件有密码保护，无法压缩。");
            continue;
        }
        s.acceptCopy();
        auto doc = Poppler::Document::load(QString::fromStdString(s.resultPath()));
        ASSERT_TRUE(doc);
        ASSERT_EQ(doc->numPages(), 2);
        for (int i = 0; i < 2; ++i)
            EXPECT_TRUE(doc->page(i)->text(QRectF()).contains(
                QStringLiteral("Quillor page %1").arg(i + 1)));
        EXPECT_LT(s.result().bytesAfter, s.result().bytesBefore);
    }
}

TEST_F(ScanWindowTest, ClosingNeverWaitsForTheScannerSearch) {
    const int before = scanner_->searches;
    scanner_->slowSearch = true;
    QElapsedTimer t;
    t.start();
    {
        ScanWindow s(Request());
        EXPECT_TRUE(s.searching());
    }
    EXPECT_LT(t.elapsed(), 2000);
    scanner_->slowSearch = false; // the search ends on its own
    ASSERT_TRUE(WaitUntil([&] { return scanner_->searches > before; }));
    QCoreApplication::processEvents();
}

TEST_F(ScanWindowTest, PagesAreThrownAwayOnlyWhenTheApplicantSaysSo) {
    ScanWindow s(Request());
    s.show();
    ASSERT_TRUE(WaitUntil([&] { return !s.searching(); }));
    scanner_->script = {401, 402};
    ScanPages(s, 2);
    QImage empty(400, 560, QImage::Format_Grayscale8);
    empty.fill(250);
    empty.save(QString::fromStdString(U8(dir_ / "empty.png")));
    s.addImageFile(U8(dir_ / "empty.png"));
    s.waitForPages();
    ASSERT_EQ(s.pages().size(), 3u);
    // 删除空白页 names the pages it would remove; 否 keeps them.
    for (auto answer : {platform::MsgAnswer::No, platform::MsgAnswer::Yes}) {
        prompter_->answers = {answer};
        s.removeBlankPages();
        EXPECT_EQ(prompter_->messages.back().text,
                  "将删除几乎空白的第3页，删除后不能恢复。确认吗？");
        EXPECT_EQ(s.pages().size(), answer == platform::MsgAnswer::No ? 3u : 2u);
    }
    // 取消 and the close box ask; 否 keeps the window and its pages.
    prompter_->answers = {platform::MsgAnswer::No, platform::MsgAnswer::No};
    s.reject();
    s.close();
    EXPECT_EQ(prompter_->messages.back().text, "已扫描的2页将被放弃，确认吗？");
    EXPECT_TRUE(s.isVisible());
    EXPECT_EQ(s.pages().size(), 2u);
    prompter_->answers = {platform::MsgAnswer::Yes};
    s.close();
    EXPECT_FALSE(s.isVisible());
    EXPECT_EQ(s.resultPath(), "");
}

TEST_F(ScanWindowTest, ThumbnailsAndTheEstimateShowWhatWillBeWritten) {
    ScanWindow s(Request());
    JpegOptions sideways;
    sideways.orientation = 6;
    const auto photo = MakeJpeg(MarkedCorner(300, 400, 6), sideways);
    QImage stamp(300, 400, QImage::Format_ARGB32);
    stamp.fill(Qt::transparent);
    for (int y = 0; y < 75; ++y)
        for (int x = 0; x < 75; ++x)
            stamp.setPixelColor(x, y, QColor(220, 0, 0));
    stamp.save(QString::fromStdString(U8(dir_ / "stamp.png")));
    s.addImageFile(File("photo.jpg", std::string(photo.begin(), photo.end())));
    s.addImageFile(U8(dir_ / "stamp.png"));
    s.waitForPages();
    s.waitForText();
    ASSERT_EQ(s.pages().size(), 2u);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const QImage thumb = s.thumbnail(i).toImage();
        EXPECT_GT(thumb.height(), thumb.width()); // upright, as written
        const QColor corner = thumb.pixelColor(thumb.width() / 10, thumb.width() / 10);
        const QColor paper = thumb.pixelColor(thumb.width() * 9 / 10, thumb.height() * 9 / 10);
        EXPECT_GT(corner.red(), 150);
        EXPECT_LT(corner.green(), 100);
        EXPECT_GT(paper.green(), 200); // transparency shows white paper, not black
    }
    // Every page encoded before 完成: the estimate is what is written.
    EXPECT_FALSE(s.sizeText().contains(QStringLiteral("正在计算")));
    const double estimate = static_cast<double>(s.estimatedBytes());
    s.finish();
    ASSERT_FALSE(s.resultPath().empty());
    EXPECT_NEAR(static_cast<double>(fs::file_size(s.resultPath())), estimate, estimate * 0.05);
}

TEST_F(ScanWindowTest, AShrinkCanBeStoppedAndACopyNotSmallerIsNotAccepted) {
    TextAndImagePdf(U8(dir_ / "scan.pdf"), 2, 100);
    const fs::path folder = program_ / "扫描文件";
    const auto previews = [&] {
        int n = 0;
        for (const auto& e : fs::directory_iterator(folder))
            n += e.path().filename().string().rfind("~", 0) == 0;
        return n;
    };
    {
        ShrinkWindow s({U8(dir_ / "scan.pdf"), "测试", "营业执照", "营业执照", U8(program_)});
        s.start();
        EXPECT_TRUE(s.running());
        s.reject(); // 停止 while it runs
        ASSERT_TRUE(WaitUntil([&] { return !s.running(); }));
        EXPECT_EQ(s.result().status, scan::ShrinkStatus::Cancelled);
        EXPECT_EQ(previews(), 0);
    }
    // A small JPEG already: its copy is not smaller, and 接受 stays off.
    const auto tiny = scan::EncodeJpeg(PhotoLike(300, 400, 3), 20, 100);
    ShrinkWindow s({File("tiny.jpg", std::string(tiny.begin(), tiny.end())), "测试", "营业执照",
                    "营业执照", U8(program_)});
    ASSERT_TRUE(s.compute());
    EXPECT_GE(s.result().bytesAfter, s.result().bytesBefore);
    EXPECT_FALSE(s.findChild<QPushButton*>("accept")->isEnabled());
    EXPECT_TRUE(s.afterText().contains(QStringLiteral("未能变小")));
    EXPECT_EQ(previews(), 1); // under its preview name until 接受
    s.acceptCopy();
    EXPECT_EQ(s.resultPath(), "");
    s.reject();
    EXPECT_EQ(previews(), 0);
}

// Three strips, one upside down: each page's text is recognised as it
// arrives, the upside-down one turned, and the text follows the pages as
// they are moved, deleted and turned by hand.
TEST_F(ScanWindowTest, RecognitionFollowsItsPage) {
    ScanWindow s(Request());
    ASSERT_TRUE(s.recognising()) << s.textNote().toStdString();
    const std::string places[] = {"北京市海淀区中关村大街27号", "上海市浦东新区世纪大道100号",
                                  "广州市天河区体育西路5号"};
    const char* faces[] = {"AR PL UMing CN", "Noto Sans CJK SC", "AR PL UKai CN"};
    for (int i = 0; i < 3; ++i) {
        const Strip strip =
            DrawStrip(faces[i], 300, {"营业执照注册号：91110108MA01234X", places[i]});
        const auto jpeg = MakeJpeg(scan::Turned(strip.pixels, i == 1 ? 180 : 0), {.density = 300});
        s.addImageFile(
            File("strip" + std::to_string(i) + ".jpg", std::string(jpeg.begin(), jpeg.end())));
    }
    s.waitForPages();
    EXPECT_TRUE(s.findChild<QLabel*>("working")->text().contains(QStringLiteral("正在识别文字")));
    s.waitForText();
    ASSERT_EQ(s.pages().size(), 3u);
    EXPECT_EQ(s.pages().at(1).rotation(), 180);
    EXPECT_EQ(s.pages().at(0).rotation(), 0);
    s.selectPage(2), s.moveUp();     // 北京 广州 上海
    s.selectPage(0), s.removePage(); // 广州 上海
    s.selectPage(0), s.rotate();     // 广州 turned by hand
    s.finish();
    ASSERT_FALSE(s.resultPath().empty());
    auto doc = Poppler::Document::load(QString::fromStdString(s.resultPath()));
    ASSERT_TRUE(doc);
    ASSERT_EQ(doc->numPages(), 2);
    for (int i = 0; i < 2; ++i) {
        const std::string text = PdfToText(s.resultPath(), i + 1);
        EXPECT_LE(ErrorRate(places[i == 0 ? 2 : 1], text), 0.15) << i << ": " << text;
        EXPECT_EQ(ErrorRate(places[0], text) < 0.5, false) << text;
    }
}

// "停止" leaves the pages without text; without the language data the box
// is off with a note, and pages are combined as before.
TEST_F(ScanWindowTest, StoppedOrMissingRecognitionWritesPicturesOnly) {
    const Strip strip = DrawStrip("AR PL UMing CN", 300);
    const auto jpeg = MakeJpeg(strip.pixels, {.density = 300});
    const std::string path = File("strip.jpg", std::string(jpeg.begin(), jpeg.end()));
    const auto pdfText = [](const std::string& pdf) {
        auto doc = Poppler::Document::load(QString::fromStdString(pdf));
        std::unique_ptr<Poppler::Page> page(doc->page(0));
        return page->text(QRectF()).trimmed().toStdString();
    };
    {
        ScanWindow s(Request());
        s.addImageFile(path);
        s.waitForPages();
        ASSERT_EQ(s.textLeft(), 1);
        s.stopRecognition();
        s.finish();
        EXPECT_EQ(s.textLeft(), 0);
        ASSERT_FALSE(s.resultPath().empty());
        EXPECT_EQ(pdfText(s.resultPath()), "");
    }
    const fs::path empty = dir_ / "无数据";
    fs::create_directories(empty);
    setenv("TESSDATA_PREFIX", U8(empty).c_str(), 1);
    ScanWindow s(Request());
    unsetenv("TESSDATA_PREFIX");
    EXPECT_FALSE(s.recognising());
    EXPECT_FALSE(s.findChild<QCheckBox*>("recognise")->isEnabled());
    EXPECT_TRUE(s.textNote().contains(QStringLiteral("tesseract-ocr-chi-sim")));
    s.addImageFile(path);
    s.waitForPages();
    s.finish();
    ASSERT_FALSE(s.resultPath().empty());
    EXPECT_EQ(pdfText(s.resultPath()), "");
}

// "识别文字" on a PDF of pictures: a page turned by /Rotate with a crop box
// gets its text where the picture shows it; a page with text is left alone.
TEST_F(ScanWindowTest, RecognitionAddsTextToAPdfOfPictures) {
    const Strip strip = DrawStrip("AR PL UMing CN", 300);
    // Stored a quarter turn back, shown upright through /Rotate 90.
    const auto jpeg = MakeJpeg(scan::Turned(strip.pixels, 270), {.density = 300});
    std::optional<scan::Page> page = scan::PrepareJpegFile(jpeg, "strip.jpg");
    ASSERT_TRUE(page);
    page->turn.manual = 90;
    auto typed = std::make_shared<scan::PageText>();
    typed->width = 1000, typed->height = 1000;
    typed->lines.push_back({{{"已有文字", 100, 100, 400, 150}}});
    scan::PageList pages;
    pages.add(std::move(*page));
    ASSERT_TRUE(pages.encodeMissing(scan::Quality::Clear));
    std::vector<scan::PdfPage> written = pages.pdfPages(scan::Quality::Clear);
    written.push_back({written[0].image, 0, typed});
    const std::string plain = U8(dir_ / "plain.pdf");
    ASSERT_EQ(scan::WritePdf(written, plain), "");
    // The unturned page's bottom 8 points cropped: the shown page's left.
    const std::string source = U8(dir_ / "scan.pdf");
    {
        QPDF pdf;
        pdf.processFile(plain.c_str());
        QPDFObjectHandle first = QPDFPageDocumentHelper(pdf).getAllPages()[0].getObjectHandle();
        QPDFObjectHandle media = first.getKey("/MediaBox");
        first.replaceKey("/CropBox",
                         QPDFObjectHandle::parse("[0 8 " + media.getArrayItem(2).unparse() + " " +
                                                 media.getArrayItem(3).unparse() + "]"));
        QPDFWriter w(pdf, source.c_str());
        w.write();
    }
    ShrinkWindow s({source, "测试", "营业执照", "营业执照", U8(program_)});
    ASSERT_TRUE(s.findChild<QPushButton*>("recogniseText")->isEnabled());
    s.recogniseText();
    ASSERT_TRUE(s.waitForCopy()) << s.result().message;
    EXPECT_EQ(s.result().pages, 1);
    EXPECT_TRUE(s.findChild<QPushButton*>("accept")->isEnabled());
    s.acceptCopy();
    ASSERT_FALSE(s.resultPath().empty());
    EXPECT_NE(s.resultPath().find("-文字"), std::string::npos);
    EXPECT_EQ(ReadBytes(platform::PathFromUtf8(source)).size(), fs::file_size(source)); // untouched

    const std::string text = PdfToText(s.resultPath(), 1);
    for (const std::string& line : strip.lines)
        EXPECT_LE(ErrorRate(line, text), 0.1) << line << "\n" << text;
    EXPECT_EQ(WithoutSpace(PdfToText(s.resultPath(), 2)), U"已有文字");
    auto doc = Poppler::Document::load(QString::fromStdString(s.resultPath()));
    std::unique_ptr<Poppler::Page> shown(doc->page(0));
    const QList<QRectF> found = shown->search(QStringLiteral("营业执照"));
    ASSERT_EQ(found.size(), 1);
    const QRectF drawn(strip.phrase.x() * 0.24 - 8, strip.phrase.y() * 0.24,
                       strip.phrase.width() * 0.24, strip.phrase.height() * 0.24);
    EXPECT_TRUE(drawn.adjusted(-2, -2, 2, 2).contains(found[0].center()))
        << found[0].x() << "," << found[0].y();
}

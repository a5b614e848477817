#include "twip/ui/qt_printer.h"

#include "platform/print_queue.h"
#include "platform/prompter.h"
#include "twip/pdf_tounicode.h"

#include <QCoreApplication>
#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageRanges>
#include <QPageSize>
#include <QPaintEngine>
#include <QPainter>
#include <QPen>
#include <QPrintEngine>
#include <QPrinter>
#include <QPrinterInfo>
#include <QRawFont>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <atomic>
#include <filesystem>
#include <map>
#include <utility>

namespace twip::ui {
namespace {

constexpr double kTwipsPerInch = 1440.0;
constexpr double kTwipsPerMm = kTwipsPerInch / 25.4;
// Draw widths count dots of a 600 dpi printer, whatever the device resolution.
constexpr double kTwipsPerDot = kTwipsPerInch / 600.0;
constexpr int kUserPaper = 256;

const std::array<std::pair<int, QPageSize::PageSizeId>, 5> kPapers = {{
    {PaperLetter, QPageSize::Letter},
    {PaperA3, QPageSize::A3},
    {PaperA4, QPageSize::A4},
    {PaperA5, QPageSize::A5},
    {PaperB5, QPageSize::JisB5},
}};

QString ToQString(const std::string& text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// What a PDF reader should read for the code points that Qt's PDF writer may
// give a glyph shared with a better one: the radicals U+2E80–U+2FDF, which
// some CJK faces draw with the glyph of the ideograph (U+2F8F for 行), and
// the control characters, drawn with the glyph of the space. The writer takes
// the lowest code point of the glyph; the reader gets the ideograph (or the
// printable character) of the same glyph in the same face instead.
std::map<char32_t, char32_t> PreferredCodePoints(const QList<QFont>& fonts) {
    struct Span {
        char32_t first, last;
    };
    const auto text = [](std::initializer_list<Span> spans) {
        QString s;
        for (const Span& span : spans)
            for (char32_t c = span.first; c <= span.last; ++c)
                s += QChar(static_cast<char16_t>(c));
        return s;
    };
    const QString avoided = text({{0x01, 0x1F}, {0x2E80, 0x2FDF}});
    const QString preferred =
        text({{0x20, 0x7E}, {0x3400, 0x4DBF}, {0x4E00, 0x9FFF}, {0xF900, 0xFAFF}});
    std::map<char32_t, char32_t> better;
    for (const QFont& font : fonts) {
        const QRawFont raw = QRawFont::fromFont(font);
        if (!raw.isValid())
            continue;
        const QList<quint32> avoidedGlyphs = raw.glyphIndexesForString(avoided);
        const QList<quint32> preferredGlyphs = raw.glyphIndexesForString(preferred);
        if (avoidedGlyphs.size() != avoided.size() || preferredGlyphs.size() != preferred.size())
            continue;
        std::map<quint32, char32_t> byGlyph;
        for (qsizetype i = 0; i < preferred.size(); ++i)
            if (preferredGlyphs[i] != 0)
                byGlyph.emplace(preferredGlyphs[i], preferred[i].unicode());
        for (qsizetype i = 0; i < avoided.size(); ++i) {
            const auto found = byGlyph.find(avoidedGlyphs[i]);
            if (avoidedGlyphs[i] != 0 && found != byGlyph.end())
                better.emplace(avoided[i].unicode(), found->second);
        }
    }
    return better;
}

// A PDF file just written: its text reads as it was drawn. A failure keeps
// the file as Qt wrote it, which prints the same. Without the program's PDF
// writer the applicant is told once that such files cannot be searched.
void RewriteToUnicode(const QString& pdf, const QList<QFont>& fonts) {
    try {
        const std::map<char32_t, char32_t> better = PreferredCodePoints(fonts);
        if (better.empty())
            return;
        const int rewritten = twip::RewriteToUnicodeMaps(
            std::filesystem::path(pdf.toStdU16String()), [&](char32_t c) {
                const auto found = better.find(c);
                return found == better.end() ? c : found->second;
            });
        static std::atomic<bool> told{false};
        if (rewritten == twip::kNoPdfWriter && !told.exchange(true))
            platform::Notify(
                "本程序的PDF组件（quillor-pdfwrite）缺失：PDF文件照常保存，但其中的部分文字"
                "不能被检索或复制。请重新安装本程序。",
                "提示", platform::MsgIcon::Exclamation);
    } catch (const std::exception&) {
    }
}

// The options Qt's print dialog keeps for CUPS on the print engine, as
// name-value pairs (page-ranges, page-set, number-up, the driver's options).
const auto kCupsOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// The job options of a printer as its dialog left them: what Qt's own CUPS
// engine sends, and the colour mode (Qt's engine only draws in grey; the
// driver is told too, so that a colour printer prints in black).
std::vector<std::pair<std::string, std::string>> JobOptions(QPrinter& printer) {
    std::vector<std::pair<std::string, std::string>> options;
    options.emplace_back("media", printer.pageLayout().pageSize().key().toStdString());
    if (printer.copyCount() > 1) {
        options.emplace_back("copies", std::to_string(printer.copyCount()));
        if (printer.collateCopies())
            options.emplace_back("Collate", "True");
    }
    const bool portrait = printer.pageLayout().orientation() == QPageLayout::Portrait;
    switch (printer.duplex()) {
    case QPrinter::DuplexNone:
        options.emplace_back("sides", "one-sided");
        break;
    case QPrinter::DuplexAuto:
        options.emplace_back("sides", portrait ? "two-sided-long-edge" : "two-sided-short-edge");
        break;
    case QPrinter::DuplexLongSide:
        options.emplace_back("sides", "two-sided-long-edge");
        break;
    case QPrinter::DuplexShortSide:
        options.emplace_back("sides", "two-sided-short-edge");
        break;
    }
    if (printer.colorMode() == QPrinter::GrayScale)
        options.emplace_back("print-color-mode", "monochrome");
    if (printer.printRange() == QPrinter::PageRange && !printer.pageRanges().isEmpty())
        options.emplace_back("page-ranges", printer.pageRanges().toString().toStdString());
    const QStringList cups = printer.printEngine()->property(kCupsOptions).toStringList();
    for (qsizetype i = 0; i + 1 < cups.size(); i += 2)
        options.emplace_back(cups[i].toStdString(), cups[i + 1].toStdString());
    return options;
}

QString& ChosenPrinterName() {
    static QString name;
    return name;
}

} // namespace

// The PDF file a job for a queue is drawn into, on a PDF printer with the
// queue's page, resolution and colour mode.
struct QtPrinter::Spool {
    explicit Spool(const QPrinter& queue) : pdf(QPrinter::HighResolution) {
        pdf.setOutputFormat(QPrinter::PdfFormat);
        pdf.setOutputFileName(folder.filePath(QStringLiteral("job.pdf")));
        pdf.setResolution(queue.resolution());
        pdf.setPageLayout(queue.pageLayout());
        pdf.setFullPage(queue.fullPage());
        pdf.setColorMode(queue.colorMode());
        pdf.setDocName(queue.docName());
        pdf.setCreator(queue.creator());
    }

    QTemporaryDir folder;
    QPrinter pdf;
};

QtPrinter::QtPrinter() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    const QString chosen = ChosenPrinter();
    if (!chosen.isEmpty() && !QPrinterInfo::printerInfo(chosen).isNull())
        printer_->setPrinterName(chosen);
}

QtPrinter::QtPrinter(const QString& pdfPath)
    : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    printer_->setOutputFormat(QPrinter::PdfFormat);
    printer_->setOutputFileName(pdfPath);
    printer_->setPageSize(QPageSize(QPageSize::A4));
}

QtPrinter::~QtPrinter() {
    if (painter_ && painter_->isActive())
        painter_->end();
}

int QtPrinter::paperSize() const {
    auto id = printer_->pageLayout().pageSize().id();
    for (const auto& [code, pageId] : kPapers)
        if (pageId == id)
            return code;
    return kUserPaper;
}

void QtPrinter::setPaperSize(int code) {
    for (const auto& [paper, pageId] : kPapers)
        if (paper == code) {
            if (!printer_->setPageSize(QPageSize(pageId)))
                throw PrinterError("paper size refused");
            return;
        }
    throw PrinterError("unknown paper size");
}

int QtPrinter::orientation() const {
    return printer_->pageLayout().orientation() == QPageLayout::Landscape ? OrientationLandscape
                                                                          : OrientationPortrait;
}

void QtPrinter::setOrientation(int code) {
    if (code != OrientationPortrait && code != OrientationLandscape)
        throw PrinterError("unknown orientation");
    auto wanted = code == OrientationLandscape ? QPageLayout::Landscape : QPageLayout::Portrait;
    if (!printer_->setPageOrientation(wanted))
        throw PrinterError("orientation refused");
}

double QtPrinter::pageWidth() const {
    return printer_->pageLayout().fullRect(QPageLayout::Millimeter).width() * kTwipsPerMm;
}

double QtPrinter::pageHeight() const {
    return printer_->pageLayout().fullRect(QPageLayout::Millimeter).height() * kTwipsPerMm;
}

// The painter works in twips, so a font needs the point size that gives the
// true size after the painter's scaling: the device's dots per twip cancel.
QFont QtPrinter::deviceFont(const PrinterFont& font) const {
    QFont f(ToQString(font.name));
    f.setPointSizeF(font.size * kTwipsPerInch / printer_->resolution());
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    return f;
}

double QtPrinter::measureWidth(const PrinterFont& font, const std::string& text) const {
    return QFontMetricsF(deviceFont(font), printer_.get()).horizontalAdvance(ToQString(text));
}

double QtPrinter::measureHeight(const PrinterFont& font, const std::string&) const {
    return QFontMetricsF(deviceFont(font), printer_.get()).height();
}

// A printer whose engine writes PDF for CUPS (not the preview's engine, not
// a PDF file), with the print system at hand to send it.
bool QtPrinter::spoolsToQueue() const {
    const QPaintEngine* engine = printer_->paintEngine();
    return printer_->outputFormat() == QPrinter::NativeFormat &&
           !printer_->printerName().isEmpty() && engine && engine->type() == QPaintEngine::Pdf &&
           platform::HavePrintSystem();
}

QPainter& QtPrinter::painter() {
    if (!painter_)
        painter_ = std::make_unique<QPainter>();
    if (!painter_->isActive()) {
        // The origin at the sheet's corner, after the printer (and with it
        // its paper and margins) has been chosen.
        printer_->setFullPage(true);
        lastJob_ = {};
        QPaintDevice* device = printer_.get();
        if (spoolsToQueue()) {
            auto spool = std::make_unique<Spool>(*printer_);
            if (!spool->folder.isValid())
                throw PrinterError("no temporary folder for the print job");
            spool_ = std::move(spool);
            device = &spool_->pdf;
        }
        if (!painter_->begin(device)) {
            spool_.reset();
            throw PrinterError("cannot start the print job");
        }
        double scale = printer_->resolution() / kTwipsPerInch;
        painter_->scale(scale, scale);
        painter_->setRenderHint(QPainter::Antialiasing);
    }
    return *painter_;
}

void QtPrinter::drawText(double x, double y, const PrinterFont& font, const std::string& text) {
    QPainter& p = painter();
    QFont f = deviceFont(font);
    const auto sameFace = [&f](const QFont& used) {
        return used.family() == f.family() && used.bold() == f.bold() &&
               used.italic() == f.italic();
    };
    if (std::none_of(usedFonts_.begin(), usedFonts_.end(), sameFace))
        usedFonts_.push_back(f);
    p.setFont(f);
    p.setPen(Qt::black);
    double ascent = QFontMetricsF(f, printer_.get()).ascent();
    p.drawText(QPointF(x, y + ascent), ToQString(text));
}

void QtPrinter::drawLine(double x1, double y1, double x2, double y2, int drawWidth) {
    QPainter& p = painter();
    QPen pen(Qt::black, drawWidth * kTwipsPerDot, Qt::SolidLine, Qt::SquareCap);
    p.setPen(pen);
    p.drawLine(QPointF(x1, y1), QPointF(x2, y2));
}

platform::JobReport QtPrinter::readiness() {
    if (!spoolsToQueue())
        return {};
    return platform::QueueReadiness(printer_->printerName().toStdString());
}

void QtPrinter::rememberAsChosen() const {
    if (printer_->outputFormat() == QPrinter::NativeFormat)
        RememberChosenPrinter(printer_->printerName());
}

std::string QtPrinter::deviceName() const {
    const QString name = printer_->outputFormat() == QPrinter::PdfFormat
                             ? printer_->outputFileName()
                             : printer_->printerName();
    return name.toStdString();
}

void QtPrinter::startJob() {
    painter();
}

void QtPrinter::finishJob() {
    painter(); // a job without any drawing still sends its (empty) page
    if (!painter_->end()) {
        spool_.reset();
        usedFonts_.clear();
        throw PrinterError("cannot end the print job");
    }
    if (printer_->outputFormat() == QPrinter::PdfFormat)
        RewriteToUnicode(printer_->outputFileName(), usedFonts_);
    if (spool_)
        sendSpool();
    usedFonts_.clear();
    if (lastJob_.outcome == platform::JobReport::Outcome::Refused)
        throw PrinterError("the print system did not take the job");
}

void QtPrinter::sendSpool() {
    const std::unique_ptr<Spool> spool = std::move(spool_);
    RewriteToUnicode(spool->pdf.outputFileName(), usedFonts_);
    platform::PrintJob job;
    job.queue = printer_->printerName().toStdString();
    job.pdf = std::filesystem::path(spool->pdf.outputFileName().toStdU16String());
    const QString title = printer_->docName();
    job.title = (title.isEmpty() ? QCoreApplication::applicationName() : title).toStdString();
    job.options = JobOptions(*printer_);
    lastJob_ = platform::SendPrintJob(job);
}

void QtPrinter::startNewPage() {
    painter(); // the first page is begun even when nothing was drawn on it
    QPrinter& device = spool_ ? spool_->pdf : *printer_;
    if (!device.newPage())
        throw PrinterError("cannot start a new page");
}

void QtPrinter::abortJob() {
    usedFonts_.clear();
    if (painter_ && painter_->isActive()) {
        (spool_ ? spool_->pdf : *printer_).abort();
        painter_->end();
    }
    spool_.reset(); // nothing goes to the queue
}

int SystemPrinterCount() {
    return int(QPrinterInfo::availablePrinterNames().size());
}

void RememberChosenPrinter(const QString& name) {
    ChosenPrinterName() = name;
}

QString ChosenPrinter() {
    return ChosenPrinterName();
}

} // namespace twip::ui

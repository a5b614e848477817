#include "platform/ui/qt_printer.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPen>
#include <QPrinter>
#include <QPrinterInfo>

#include <array>
#include <utility>

namespace platform::ui {
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

} // namespace

QtPrinter::QtPrinter() : printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)) {}

QtPrinter::QtPrinter(const QString& pdfPath) : QtPrinter() {
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

QPainter& QtPrinter::painter() {
    if (!painter_)
        painter_ = std::make_unique<QPainter>();
    if (!painter_->isActive()) {
        // Origin at the printable area: no margins beyond what the device needs.
        printer_->setFullPage(false);
        printer_->setPageMargins(printer_->pageLayout().minimumMargins(),
                                 printer_->pageLayout().units());
        if (!painter_->begin(printer_.get()))
            throw PrinterError("cannot start the print job");
        double scale = printer_->resolution() / kTwipsPerInch;
        painter_->scale(scale, scale);
        painter_->setRenderHint(QPainter::Antialiasing);
    }
    return *painter_;
}

void QtPrinter::drawText(double x, double y, const PrinterFont& font, const std::string& text) {
    QPainter& p = painter();
    QFont f = deviceFont(font);
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
    if (!painter_->end())
        throw PrinterError("cannot end the print job");
}

void QtPrinter::startNewPage() {
    painter(); // the first page is begun even when nothing was drawn on it
    if (!printer_->newPage())
        throw PrinterError("cannot start a new page");
}

void QtPrinter::abortJob() {
    if (painter_ && painter_->isActive()) {
        printer_->abort();
        painter_->end();
    }
}

int SystemPrinterCount() {
    return int(QPrinterInfo::availablePrinterNames().size());
}

} // namespace platform::ui

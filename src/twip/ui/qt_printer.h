#pragma once
// The printer interface on a Qt printer: the system's default printer, or a
// PDF file. Page units are twips from the printable area's top-left corner;
// text is drawn from its top-left corner; fonts keep their true point sizes.

#include "twip/printer.h"

#include <QFont>
#include <QList>
#include <QString>

#include <memory>

class QPainter;
class QPrinter;

namespace platform::ui {

class QtPrinter final : public Printer {
  public:
    // The system's default printer.
    QtPrinter();
    // Writes the job into a PDF file instead.
    explicit QtPrinter(const QString& pdfPath);
    ~QtPrinter() override;
    QtPrinter(const QtPrinter&) = delete;
    QtPrinter& operator=(const QtPrinter&) = delete;

    // The underlying device, for a printer set-up dialog.
    QPrinter& device() { return *printer_; }

    int paperSize() const override;
    void setPaperSize(int code) override;
    int orientation() const override;
    void setOrientation(int code) override;
    double pageWidth() const override;
    double pageHeight() const override;
    std::string deviceName() const override;

  protected:
    double measureWidth(const PrinterFont& font, const std::string& text) const override;
    double measureHeight(const PrinterFont& font, const std::string& text) const override;
    void drawText(double x, double y, const PrinterFont& font, const std::string& text) override;
    void drawLine(double x1, double y1, double x2, double y2, int drawWidth) override;
    void startJob() override;
    void finishJob() override;
    void startNewPage() override;
    void abortJob() override;

  private:
    QFont deviceFont(const PrinterFont& font) const;
    QPainter& painter();

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<QPainter> painter_;
    // The faces drawn with in this job (family, bold, italic), for the
    // ToUnicode maps of a PDF.
    QList<QFont> usedFonts_;
};

// Number of printers the system knows.
int SystemPrinterCount();

} // namespace platform::ui

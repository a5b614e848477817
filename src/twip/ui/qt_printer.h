#pragma once
// The printer interface on a Qt printer: the system's default printer (or the
// one chosen in a set-up dialog), or a PDF file. Page units are twips from
// the sheet's top-left corner: the page stands on every printer where the
// preview and its PDF show it, and a printer whose driver declares margins
// leaves out only what lies in them (the forms keep well clear of the edges).
// Text is drawn from its top-left corner; fonts keep their true point sizes.
//
// Through CUPS a job is written into a PDF file of its own, its ToUnicode
// maps made to read as drawn (as in a PDF file the program writes), and
// handed to the queue with the printer's options (copies, page ranges,
// sides, colour mode) through platform/print_queue.h, which also says what
// became of it. Qt's own CUPS engine does the same without either.

#include "twip/printer.h"

#include <QFont>
#include <QList>
#include <QString>

#include <memory>

class QPainter;
class QPrinter;

namespace twip::ui {

class QtPrinter final : public Printer {
  public:
    // The printer chosen in a set-up dialog while the program runs
    // (RememberChosenPrinter), else the system's default printer.
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
    platform::JobReport readiness() override;
    platform::JobReport lastJob() const override { return lastJob_; }

    // Makes this printer the one printers made afterwards start on.
    void rememberAsChosen() const;

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
    struct Spool;

    QFont deviceFont(const PrinterFont& font) const;
    QPainter& painter();
    // Whether jobs go through the print system's queue (CUPS) as a PDF file.
    bool spoolsToQueue() const;
    void sendSpool();

    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<Spool> spool_; // the running job's PDF for the queue
    std::unique_ptr<QPainter> painter_;
    platform::JobReport lastJob_;
    // The faces drawn with in this job (family, bold, italic), for the
    // ToUnicode maps of a PDF.
    QList<QFont> usedFonts_;
};

// Number of printers the system knows.
int SystemPrinterCount();

// The printer chosen in a set-up dialog, by name: printers made afterwards
// start on it (while the system still has it) until the program ends. An
// empty name forgets it.
void RememberChosenPrinter(const QString& name);
QString ChosenPrinter();

} // namespace twip::ui

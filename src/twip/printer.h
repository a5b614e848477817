#pragma once
// The printer object the print engine draws on: a current position, a current
// font, text measurement and drawing in page units, a draw width for lines and
// the paper set-up. Page units are twips measured from the top-left corner of
// the printable area (the whole sheet on the Qt printer, qt_printer.h); font
// sizes are points. Every operation the device cannot carry out throws
// PrinterError, which callers may skip.

#include "platform/print_queue.h"

#include <stdexcept>
#include <string>

namespace twip {

class PrinterError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// Paper-size and orientation codes of the printer set-up.
inline constexpr int PaperLetter = 1;
inline constexpr int PaperA3 = 8;
inline constexpr int PaperA4 = 9;
inline constexpr int PaperA5 = 11;
inline constexpr int PaperB5 = 13;
inline constexpr int OrientationPortrait = 1;
inline constexpr int OrientationLandscape = 2;

struct PrinterFont {
    std::string name = "宋体";
    double size = 10.0; // points
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

class Printer {
  public:
    virtual ~Printer() = default;

    // Paper set-up; the setters throw PrinterError when the device refuses.
    virtual int paperSize() const = 0;
    virtual void setPaperSize(int code) = 0;
    virtual int orientation() const = 0;
    virtual void setOrientation(int code) = 0;
    // The whole sheet in the current orientation, in twips.
    virtual double pageWidth() const = 0;
    virtual double pageHeight() const = 0;

    const PrinterFont& font() const { return font_; }
    const std::string& fontName() const { return font_.name; }
    void setFontName(const std::string& name);
    double fontSize() const { return font_.size; }
    // Throws PrinterError for a size that is not a positive finite number.
    void setFontSize(double points);
    bool fontBold() const { return font_.bold; }
    void setFontBold(bool bold);

    double currentX() const { return currentX_; }
    double currentY() const { return currentY_; }
    void setCurrentX(double x) { currentX_ = x; }
    void setCurrentY(double y) { currentY_ = y; }

    // Line width in dots of a 600 dpi printer; at least 1.
    int drawWidth() const { return drawWidth_; }
    void setDrawWidth(int dots);

    // Extent of a text in the current font, in twips.
    double textWidth(const std::string& text) const;
    double textHeight(const std::string& text) const;

    // Draws one line of text with its top-left corner at the current position,
    // then moves the position to the start of the next line (x 0, y one text
    // height lower). The job starts with the first drawing.
    void print(const std::string& text);
    // A black line of the current draw width.
    void line(double x1, double y1, double x2, double y2);

    // The name the user knows the device by (the printer's, or the file a
    // job is written to); "" when the device has none.
    virtual std::string deviceName() const { return {}; }

    // Starts the job now (drawing starts it otherwise); throws PrinterError
    // when the device cannot start one (printer gone, spooler refusing, file
    // not writable). Does nothing while a job is running.
    void startDoc();
    // Ends the current page and starts the next one of the same job; the
    // position goes back to the top-left corner. Throws PrinterError on a
    // device that cannot start a further page.
    void newPage();
    // Ends the job: the page goes to the device. Aborts it instead with killDoc.
    void endDoc();
    void killDoc();

    // Asks the print system whether the device takes a job now: Refused, with
    // the reason, when it does not. A device without a print system to ask
    // has nothing against it (Unknown).
    virtual platform::JobReport readiness() { return {}; }
    // What became of the last job ended with endDoc, looked at shortly after
    // it was handed over (Refused when the print system did not take it:
    // endDoc has thrown then). Unknown for a device without a print system.
    virtual platform::JobReport lastJob() const { return {}; }

  protected:
    virtual double measureWidth(const PrinterFont& font, const std::string& text) const = 0;
    virtual double measureHeight(const PrinterFont& font, const std::string& text) const = 0;
    virtual void drawText(double x, double y, const PrinterFont& font, const std::string& text) = 0;
    virtual void drawLine(double x1, double y1, double x2, double y2, int drawWidth) = 0;
    virtual void startJob() {}
    virtual void finishJob() = 0;
    virtual void startNewPage() { throw PrinterError("no further page"); }
    virtual void abortJob() = 0;
    // Called after the font changed, for devices that keep a font object.
    virtual void fontChanged() {}

  private:
    PrinterFont font_;
    double currentX_ = 0;
    double currentY_ = 0;
    int drawWidth_ = 1;
};

} // namespace twip

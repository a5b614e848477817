#pragma once
// A printer that draws nothing and records every text (with its font and
// position), every line and the end of each job, for tests of the print engine.
//
// Measurement rule, in twips, with em = font size × 20:
//   width  = sum over the characters: 0.5 em for U+0020..U+007F, 0 for CR and
//            LF, 1 em for every other character;
//   height = 1.25 em for any text (one line).
// Paper: the codes of printer.h with their real sizes (A4 11906 × 16838 twips
// in portrait); unknown codes are refused, as are all changes when `locked`.

#include "twip/printer.h"

#include <set>
#include <string>
#include <vector>

namespace printing {

struct PrintedText {
    int order = 0; // position among all texts and lines of the printer
    std::string text;
    double x = 0, y = 0;
    twip::PrinterFont font;
    int page = 0; // page of the job it was drawn on, from 0
};

struct PrintedLine {
    int order = 0;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int drawWidth = 0;
    int page = 0;
};

class RecordingPrinter : public twip::Printer {
  public:
    std::vector<PrintedText> texts;
    std::vector<PrintedLine> lines;
    int jobsEnded = 0;
    int jobsKilled = 0;
    int pagesStarted = 0;                // newPage calls in the current job
    bool locked = false;                 // refuses every paper or orientation change
    std::set<std::string> failingTexts;  // drawing these throws PrinterError
    bool refuseJob = false;              // a job cannot start (startDoc throws)
    bool failEnd = false;                // a job cannot end (endDoc throws)
    platform::JobReport readinessReport; // what readiness() answers
    platform::JobReport jobReport;       // what lastJob() answers after a job
    std::string name = "记录打印机";

    RecordingPrinter();

    int paperSize() const override { return paper_; }
    void setPaperSize(int code) override;
    int orientation() const override { return orientation_; }
    void setOrientation(int code) override;
    double pageWidth() const override;
    double pageHeight() const override;
    std::string deviceName() const override { return name; }
    platform::JobReport readiness() override { return readinessReport; }
    platform::JobReport lastJob() const override { return jobReport; }

    // Sets paper and orientation without the checks (a printer set up elsewhere).
    void forcePage(int paper, int orientation);

    // The texts that are not empty, in drawing order.
    std::vector<PrintedText> visibleTexts() const;
    // The first recorded text equal to `text`; throws std::out_of_range if none.
    const PrintedText& find(const std::string& text) const;

    static double EmWidth(double points) { return points * 20; }

  protected:
    double measureWidth(const twip::PrinterFont& font, const std::string& text) const override;
    double measureHeight(const twip::PrinterFont& font, const std::string& text) const override;
    void drawText(double x, double y, const twip::PrinterFont& font,
                  const std::string& text) override;
    void drawLine(double x1, double y1, double x2, double y2, int drawWidth) override;
    void startJob() override {
        if (refuseJob)
            throw twip::PrinterError("job refused");
    }
    void finishJob() override {
        if (failEnd)
            throw twip::PrinterError("job not ended");
        ++jobsEnded;
        pagesStarted = 0;
    }
    void startNewPage() override { ++pagesStarted; }
    void abortJob() override { ++jobsKilled; }

  private:
    int paper_ = twip::PaperA4;
    int orientation_ = twip::OrientationPortrait;
    int drawings_ = 0;
};

} // namespace printing

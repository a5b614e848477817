#include "printing/recording_printer.h"

#include <cmath>
#include <map>
#include <stdexcept>
#include <utility>

namespace printing {
namespace {

// Portrait sheet sizes in twips.
const std::map<int, std::pair<double, double>>& Sheets() {
    static const std::map<int, std::pair<double, double>> sheets = {
        {twip::PaperLetter, {12240, 15840}}, {twip::PaperA3, {16838, 23811}},
        {twip::PaperA4, {11906, 16838}},     {twip::PaperA5, {8391, 11906}},
        {twip::PaperB5, {10319, 14572}},
    };
    return sheets;
}

} // namespace

RecordingPrinter::RecordingPrinter() = default;

void RecordingPrinter::setPaperSize(int code) {
    if (locked || !Sheets().count(code))
        throw twip::PrinterError("paper size refused");
    paper_ = code;
}

void RecordingPrinter::setOrientation(int code) {
    if (locked || (code != twip::OrientationPortrait && code != twip::OrientationLandscape))
        throw twip::PrinterError("orientation refused");
    orientation_ = code;
}

void RecordingPrinter::forcePage(int paper, int orientation) {
    paper_ = paper;
    orientation_ = orientation;
}

double RecordingPrinter::pageWidth() const {
    auto [w, h] = Sheets().at(paper_);
    return orientation_ == twip::OrientationLandscape ? h : w;
}

double RecordingPrinter::pageHeight() const {
    auto [w, h] = Sheets().at(paper_);
    return orientation_ == twip::OrientationLandscape ? w : h;
}

std::vector<PrintedText> RecordingPrinter::visibleTexts() const {
    std::vector<PrintedText> out;
    for (const auto& t : texts)
        if (!t.text.empty())
            out.push_back(t);
    return out;
}

const PrintedText& RecordingPrinter::find(const std::string& text) const {
    for (const auto& t : texts)
        if (t.text == text)
            return t;
    throw std::out_of_range("not printed: " + text);
}

double RecordingPrinter::measureWidth(const twip::PrinterFont& font,
                                      const std::string& text) const {
    double em = EmWidth(font.size);
    double width = 0;
    for (std::size_t pos = 0; pos < text.size();) {
        auto lead = static_cast<unsigned char>(text[pos]);
        if (lead < 0x80) {
            width += (lead == '\r' || lead == '\n') ? 0 : (lead >= 0x20 ? em / 2 : em);
            ++pos;
            continue;
        }
        width += em;
        ++pos;
        while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80)
            ++pos;
    }
    return width;
}

double RecordingPrinter::measureHeight(const twip::PrinterFont& font, const std::string&) const {
    return EmWidth(font.size) * 1.25;
}

void RecordingPrinter::drawText(double x, double y, const twip::PrinterFont& font,
                                const std::string& text) {
    if (failingTexts.count(text))
        throw twip::PrinterError("cannot draw " + text);
    texts.push_back({++drawings_, text, x, y, font, pagesStarted});
}

void RecordingPrinter::drawLine(double x1, double y1, double x2, double y2, int drawWidth) {
    lines.push_back({++drawings_, x1, y1, x2, y2, drawWidth, pagesStarted});
}

} // namespace printing

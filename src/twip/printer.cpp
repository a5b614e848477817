#include "twip/printer.h"

#include <cmath>

namespace twip {

void Printer::setFontName(const std::string& name) {
    if (name.empty())
        throw PrinterError("empty font name");
    font_.name = name;
    fontChanged();
}

void Printer::setFontSize(double points) {
    if (!std::isfinite(points) || points <= 0)
        throw PrinterError("font size out of range");
    font_.size = points;
    fontChanged();
}

void Printer::setFontBold(bool bold) {
    font_.bold = bold;
    fontChanged();
}

void Printer::setDrawWidth(int dots) {
    if (dots < 1)
        throw PrinterError("draw width out of range");
    drawWidth_ = dots;
}

double Printer::textWidth(const std::string& text) const {
    return measureWidth(font_, text);
}

double Printer::textHeight(const std::string& text) const {
    return measureHeight(font_, text);
}

void Printer::print(const std::string& text) {
    drawText(currentX_, currentY_, font_, text);
    currentY_ += measureHeight(font_, text);
    currentX_ = 0;
}

void Printer::line(double x1, double y1, double x2, double y2) {
    drawLine(x1, y1, x2, y2, drawWidth_);
}

void Printer::newPage() {
    startNewPage();
    currentX_ = 0;
    currentY_ = 0;
}

void Printer::startDoc() {
    startJob();
}

void Printer::endDoc() {
    finishJob();
}

void Printer::killDoc() {
    abortJob();
}

} // namespace twip

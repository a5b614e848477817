#pragma once
// Module_PrintTable: prints the controls of one container of a window onto a
// printer page, scaled up from the window's layout. Labels, text boxes and
// combo boxes become text fitted into their boxes, option buttons and check
// boxes marked captions, lines and rectangles ruled lines; the print tag of
// each control adjusts its printing (print_tag.h).

#include "printing/print_control.h"
#include "twip/printer.h"

#include <functional>
#include <string>
#include <vector>

namespace printing {

// Factors from window coordinates to page coordinates; the print action sets
// them and they keep the values of the last print.
extern float PageScaleX;
extern float PageScaleY;

// Window twips to page twips (1000 twips of margin), rounded.
int PageX(double x);
int PageY(double y);
// Box sizes scaled the same way, without the margin.
int BoxWidth(double width);
int BoxHeight(double height);

enum class VerticalAlignment { Top = 0, Bottom = 1, Middle = 2 };

// Character-wraps `text` into a box of the given page size with the printer's
// current font, lowering the font size (half points while one character is
// wider than the box, quarter points while the lines are taller than it).
// Replaces `text` by the wrapped text (each line ended by CR LF), adds the
// alignment offsets to xOffset and yOffset, sets fontSize to the final size and
// returns the number of lines. Throws twip::PrinterError when the font
// cannot be made small enough for a single character.
int FitText(twip::Printer& target, double boxWidth, double boxHeight, double& xOffset,
            double& yOffset, std::string& text, Alignment horizontal, VerticalAlignment vertical,
            double& fontSize);

// Prints every control (given in the window's creation order) whose container
// has the name `containerName` (ignoring case) and the index `containerIndex`
// in its control array onto one page, then ends the job. A step that fails is
// skipped; the job is always ended and every control keeps its geometry.
void PrintControls(twip::Printer& target, const std::vector<PrintControl*>& controls,
                   const std::string& containerName, int containerIndex);

// Called before each page of a job of several pages with the page number
// (from 0), to put that page's content into the controls.
using PreparePage = std::function<void(int page)>;

// The same for `pageCount` pages of one job: before each page `prepare` fills
// the controls, every page after the first starts with a new page, and the
// job is ended once. Returns the number of pages printed; printing stops
// early when the printer cannot start a further page (the rest would be
// drawn over the page before).
int PrintControlPages(twip::Printer& target, const std::vector<PrintControl*>& controls,
                      const std::string& containerName, int containerIndex, int pageCount,
                      const PreparePage& prepare);

// Sets paper size and orientation, each only when it differs; a refusal is
// ignored. Does nothing when the system has no printer.
void SetPrinterPage(twip::Printer& target, int paperSize, int orientation);

} // namespace printing

#pragma once
// The print action behind the "打 印" buttons: checks that a printer exists and
// that the page is A4 portrait, then prints the window's container "Pic2" with
// the given control-array index onto one page.

#include "printing/print_control.h"
#include "printing/print_table.h"
#include "twip/printer.h"

#include <functional>
#include <vector>

namespace printing {

inline constexpr float kPrintScaleX = 1.2f;

// The message when the system has no printer: the original text on Windows;
// elsewhere it says that no printer is installed and that "预 览" can save
// the page as a PDF file.
extern const char* const kNoPrinterText;

// Shows or hides the busy mouse pointer.
using BusyPointer = std::function<void(bool busy)>;

// Returns true when the page was printed; false after one of the two messages,
// or after "打印机【name】无法开始打印作业，未能打印。" when the job cannot start
// and "打印机【name】未能完成打印作业，打印结果可能不完整。" when it cannot end
// (both "错误"). Where the printer has a print system to ask (a CUPS queue):
// a queue that takes no job now is reported before anything is drawn
// ("打印机【name】现在不接受打印作业，未能打印。" and the reason, "错误");
// afterwards a job the queue did not take or gave up is reported as not
// printed ("错误", false), one held at a stopped printer with
// "打印作业已送到打印机，但打印机已停止：…" ("提示"; it counts as printed).
bool PrintForm(twip::Printer& printer, const std::vector<PrintControl*>& windowControls,
               int containerIndex, float scaleY, const BusyPointer& busy = {});

// The same for a window whose content runs over `pageCount` pages of one job
// (`prepare` fills the controls for each page). Returns the number of pages
// printed: 0 after one of the two messages, fewer than pageCount when the
// printer could not start a further page.
int PrintFormPages(twip::Printer& printer, const std::vector<PrintControl*>& windowControls,
                   int containerIndex, float scaleY, int pageCount, const PreparePage& prepare,
                   const BusyPointer& busy = {});

// What the print action puts on the printer, without asking whether the
// system has a printer at all or whether it takes jobs: the page check (A4
// portrait, "错误" message otherwise), the pages and what became of the job. The preview and PDF
// output draw with it, so they show exactly what "打 印" prints. Returns the number of pages drawn.
int DrawFormPages(twip::Printer& printer, const std::vector<PrintControl*>& windowControls,
                  int containerIndex, float scaleY, int pageCount, const PreparePage& prepare,
                  const BusyPointer& busy = {});

// Whether the printer's sheet is at least A4 portrait (209 × 296 mm).
bool IsA4PortraitPage(const twip::Printer& printer);

} // namespace printing

#pragma once
// The controls of a twip form as the print engine sees them, and the print
// action for a form's "打 印" button.

#include "printing/print_control.h"
#include "printing/print_table.h"
#include "twip/printer.h"

#include <memory>
#include <vector>

namespace twip::ui {
class Control;
class TwipForm;
} // namespace twip::ui

namespace printing::ui {

// Views of every control of the form in creation order; they refer to the
// form's controls and must not outlive them.
class TwipPrintControls {
  public:
    explicit TwipPrintControls(const twip::ui::TwipForm& form);
    ~TwipPrintControls();
    TwipPrintControls(const TwipPrintControls&) = delete;
    TwipPrintControls& operator=(const TwipPrintControls&) = delete;

    const std::vector<PrintControl*>& controls() const { return pointers_; }

  private:
    std::vector<std::unique_ptr<PrintControl>> views_;
    std::vector<PrintControl*> pointers_;
};

// The print action of a form: container "Pic2" with the given index, vertical
// scale `scaleY`, on the system's default printer, with the busy pointer.
bool PrintTwipForm(const twip::ui::TwipForm& form, int containerIndex, float scaleY);
// The same on a given printer (a PDF file, a printer set up by the window).
bool PrintTwipForm(const twip::ui::TwipForm& form, int containerIndex, float scaleY,
                   twip::Printer& printer);
// A form whose content runs over several pages of one job (PrintFormPages).
int PrintTwipFormPages(const twip::ui::TwipForm& form, int containerIndex, float scaleY,
                       twip::Printer& printer, int pageCount, const PreparePage& prepare);
// What that print action draws, for the preview and PDF output (DrawFormPages:
// no printer needed on the system).
int DrawTwipFormPages(const twip::ui::TwipForm& form, int containerIndex, float scaleY,
                      twip::Printer& printer, int pageCount, const PreparePage& prepare);

} // namespace printing::ui

// Prints the sample form of the print tests into the PDF file named on the
// command line, through the Qt printer and the form print action.

#include "platform/ui/qt_printer.h"
#include "printing/ui/twip_print_controls.h"
#include "support/fake_prompter.h"
#include "ui/sample_form.h"

#include <QString>
#include <cstdio>

int RunProgram(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: quillor-print-sample OUT.pdf\n");
        return 2;
    }
    testsupport::ScopedFakePrompter prompter; // a PDF file is always there to print on
    printing::testing::SampleForm sample;
    platform::ui::QtPrinter printer(QString::fromLocal8Bit(argv[1]));
    return printing::ui::PrintTwipForm(sample.form, 0, 1.65f, printer) ? 0 : 1;
}

// Prints the sample form of the print tests into the PDF file named on the
// command line, through the Qt printer and the form print action; with a second
// file name, also saves a picture of the window for comparison.

#include "printing/ui/twip_print_controls.h"
#include "startup/mainbas.h"
#include "support/fake_prompter.h"
#include "twip/ui/qt_printer.h"
#include "ui/sample_form.h"

#include <QString>
#include <cstdio>

int RunProgram(int argc, char** argv) {
    if (argc != 2 && argc != 3) {
        std::fprintf(stderr, "usage: quillor-print-sample OUT.pdf [WINDOW.png]\n");
        return 2;
    }
    testsupport::ScopedFakePrompter prompter;
    PrinterCount = 1; // a PDF file is always there to print on
    printing::testing::SampleForm sample;
    if (argc == 3) {
        sample.form.show();
        sample.form.grab().save(QString::fromLocal8Bit(argv[2]));
    }
    twip::ui::QtPrinter printer(QString::fromLocal8Bit(argv[1]));
    return printing::ui::PrintTwipForm(sample.form, 0, 1.65f, printer) ? 0 : 1;
}

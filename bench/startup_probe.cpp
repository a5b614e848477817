// The program itself, ended at the first paint of its main window.
#include "app/ui/program.h"
#include "startup_paint_probe.h"

int main(int argc, char** argv) {
    return app::ui::RunQuillor(argc, argv,
                               [](QWidget& window) { new bench::FirstPaintProbe(window); });
}

// The program itself, ended at the first paint of its main window.
#include "startup/ui/app_main.h"
#include "startup_paint_probe.h"

int main(int argc, char** argv) {
    return startup::RunProgram(argc, argv,
                               [](QWidget& window) { new bench::FirstPaintProbe(window); });
}

// The yardstick: a minimal Qt 6 program showing one empty window, ended at its
// first paint in the same way.
#include "startup_paint_probe.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget window;
    window.resize(444, 268);
    window.show();
    new bench::FirstPaintProbe(window);
    return app.exec();
}

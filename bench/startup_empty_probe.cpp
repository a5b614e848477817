// The yardstick: a minimal Qt 6 program showing one empty window, ended at its
// first paint in the same way. With "--text" the window also shows one line of
// Chinese in a Song face, which measures what any window with Chinese text pays
// (font configuration, font loading, glyphs) before its first paint.
#include "startup_paint_probe.h"

#include <QApplication>
#include <QLabel>

#include <cstring>

int main(int argc, char** argv) {
    const bool withText = argc > 1 && std::strcmp(argv[1], "--text") == 0;
    QApplication app(argc, argv);
    QWidget window;
    window.resize(444, 268);
    if (withText) {
        auto* label = new QLabel(QStringLiteral("地质灾害危险性评估资质审批"), &window);
        label->setFont(QFont(QStringLiteral("AR PL UMing CN"), 9));
        label->move(20, 20);
    }
    window.show();
    new bench::FirstPaintProbe(window);
    return app.exec();
}

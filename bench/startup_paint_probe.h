#pragma once
// Reports the first paint of a window on standard output ("painted") and then
// ends the event loop: the benchmark measures from process start to that line.

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace bench {

class FirstPaintProbe final : public QObject {
  public:
    explicit FirstPaintProbe(QWidget& window) : QObject(&window) {
        window.installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen_) {
            seen_ = true;
            // Reported once the paint in progress has finished.
            QTimer::singleShot(0, [] {
                std::fputs("painted\n", stdout);
                std::fflush(stdout);
                QCoreApplication::quit();
            });
        }
        return QObject::eventFilter(watched, event);
    }

  private:
    bool seen_ = false;
};

} // namespace bench

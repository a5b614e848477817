#pragma once
// The error barrier of the windows: an exception thrown while an event is
// handled (a database error while a form loads, checks or saves, say) must
// not cross Qt's event loop, where it would end the program without a word.
// It is caught where the event was dispatched, shown to the user in a message
// box that names it, and the program goes on.

#include <QApplication>

#include <exception>
#include <string>
#include <utility>

namespace twip::ui {

// The text shown for a failure: what was being done and what went wrong.
std::string FailureText(const std::string& action, const std::exception_ptr& failure);

// Shows the failure in a message box ("错误", critical icon) through the prompter.
void ReportFailure(const std::string& action, const std::exception_ptr& failure);

// Runs `work`; an exception is reported (naming `action`) and false returned.
template <class Work> bool Guarded(const std::string& action, Work&& work) {
    try {
        std::forward<Work>(work)();
        return true;
    } catch (...) {
        ReportFailure(action, std::current_exception());
        return false;
    }
}

// The application object of the program: every event is dispatched behind
// the barrier.
class GuardedApplication : public QApplication {
  public:
    GuardedApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace twip::ui

#include "twip/ui/error_barrier.h"

#include "platform/db.h"
#include "platform/prompter.h"

#include <new>

namespace twip::ui {

std::string FailureText(const std::string& action, const std::exception_ptr& failure) {
    std::string cause;
    try {
        if (failure)
            std::rethrow_exception(failure);
        cause = "未知错误";
    } catch (const platform::db::DbError& e) {
        cause = std::string("模板数据库错误：") + e.what();
    } catch (const std::bad_alloc&) {
        cause = "内存不足";
    } catch (const std::exception& e) {
        cause = e.what();
    } catch (...) {
        cause = "未知错误";
    }
    return (action.empty() ? std::string("操作") : action) + "未能完成。\r\n" + cause;
}

void ReportFailure(const std::string& action, const std::exception_ptr& failure) {
    const std::string text = FailureText(action, failure);
    try {
        platform::Notify(text, "错误", platform::MsgIcon::Critical);
    } catch (...) {
        // A failing message box must not take the program down with it.
    }
}

bool GuardedApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ReportFailure("", std::current_exception());
        return false;
    }
}

} // namespace twip::ui

#include "twip/ui/error_barrier.h"

#include "platform/db.h"
#include "support/fake_prompter.h"

#include <QEvent>
#include <QWidget>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

class ThrowingWidget : public QWidget {
  protected:
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User)
            throw platform::db::DbError("no such column: 字段类型");
        return QWidget::event(e);
    }
};

TEST(ErrorBarrier, AnExceptionInAnEventHandlerIsShownAndTheProgramGoesOn) {
    testsupport::ScopedFakePrompter prompter;
    ThrowingWidget widget;
    QEvent event(QEvent::User);
    EXPECT_FALSE(QApplication::sendEvent(&widget, &event));
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].title, "错误");
    EXPECT_EQ(prompter->messages[0].icon, platform::MsgIcon::Critical);
    EXPECT_EQ(prompter->messages[0].text,
              "操作未能完成。\r\n模板数据库错误：no such column: 字段类型");
    QEvent again(QEvent::User);
    QApplication::sendEvent(&widget, &again);
    EXPECT_EQ(prompter->messages.size(), 2u);
}

TEST(ErrorBarrier, GuardedWorkNamesTheActionAndReportsOnlyFailures) {
    testsupport::ScopedFakePrompter prompter;
    EXPECT_TRUE(twip::ui::Guarded("打开项目基本信息表", [] {}));
    EXPECT_TRUE(prompter->messages.empty());
    EXPECT_FALSE(twip::ui::Guarded("打开项目基本信息表", [] { throw std::runtime_error("disk"); }));
    ASSERT_EQ(prompter->messages.size(), 1u);
    EXPECT_EQ(prompter->messages[0].text, "打开项目基本信息表未能完成。\r\ndisk");
    EXPECT_FALSE(twip::ui::Guarded("x", [] { throw 42; }));
    EXPECT_EQ(prompter->messages.back().text, "x未能完成。\r\n未知错误");
}

} // namespace

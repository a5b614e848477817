#include "platform/ui/qt_prompter.h"

#include <gtest/gtest.h>

using platform::ui::ToQtFilter;

TEST(QtPrompterFilter, ConvertsEntriesAndPatternLists) {
    EXPECT_EQ(ToQtFilter("所有文件|*.*"), "所有文件 (*.*)");
    EXPECT_EQ(ToQtFilter("图片|*.jpg;*.bmp|所有文件|*.*"), "图片 (*.jpg *.bmp);;所有文件 (*.*)");
}

TEST(QtPrompterFilter, KeepsADescriptionThatShowsItsPatterns) {
    EXPECT_EQ(ToQtFilter("报盘模板文件(*.DOC)|*.DOC"), "报盘模板文件(*.DOC)");
}

TEST(QtPrompterFilter, IgnoresAnIncompleteTrailingEntry) {
    EXPECT_EQ(ToQtFilter(""), "");
    EXPECT_EQ(ToQtFilter("文本|*.txt|孤立"), "文本 (*.txt)");
}

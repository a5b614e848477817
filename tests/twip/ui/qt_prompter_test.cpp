#include "twip/ui/qt_prompter.h"

#include <gtest/gtest.h>

using twip::ui::ToQtFilter;

TEST(QtPrompterFilter, ConvertsEntriesAndPatternLists) {
    EXPECT_EQ(ToQtFilter("所有文件|*.*"), "所有文件 (*.*)");
    EXPECT_EQ(ToQtFilter("图片|*.jpg;*.bmp|所有文件|*.*"), "图片 (*.jpg *.bmp);;所有文件 (*.*)");
}

TEST(QtPrompterFilter, MatchesThePatternListNotTheDescription) {
    EXPECT_EQ(ToQtFilter("报盘模板文件(*.DOC)|*.DOC"), "报盘模板文件(*.DOC) (*.DOC)");
    // The description lists its patterns with commas, which Qt would take as one pattern.
    EXPECT_EQ(ToQtFilter("申报材料(*.doc,*.xls,*.jpeg,*.pdf)|*.doc;*.xls;*.jpg;*.jpeg;*.pdf|"
                         "所有文件(*.*)|*.*"),
              "申报材料(*.doc,*.xls,*.jpeg,*.pdf) (*.doc *.xls *.jpg *.jpeg *.pdf);;"
              "所有文件(*.*) (*.*)");
}

TEST(QtPrompterFilter, IgnoresAnIncompleteTrailingEntry) {
    EXPECT_EQ(ToQtFilter(""), "");
    EXPECT_EQ(ToQtFilter("文本|*.txt|孤立"), "文本 (*.txt)");
}

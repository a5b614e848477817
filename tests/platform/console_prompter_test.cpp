#include "platform/console_prompter.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

using platform::MsgAnswer;
using platform::MsgButtons;
using platform::MsgIcon;

TEST(ConsolePrompter, WritesEveryMessageAndGivesTheCautiousAnswer) {
    std::ostringstream out;
    platform::ConsolePrompter prompter(out);
    EXPECT_EQ(prompter.message("缺少系统必须的参数文件,无法运行...", "严重错误", MsgIcon::Critical,
                               MsgButtons::Ok),
              MsgAnswer::Ok);
    EXPECT_EQ(prompter.message("删除吗?", "提示", MsgIcon::Question, MsgButtons::YesNo),
              MsgAnswer::No);
    EXPECT_EQ(prompter.message("a", "t", MsgIcon::None, MsgButtons::YesNoCancel),
              MsgAnswer::Cancel);
    EXPECT_EQ(prompter.message("b", "t", MsgIcon::None, MsgButtons::OkCancel), MsgAnswer::Cancel);
    EXPECT_EQ(out.str(), "[严重错误] 缺少系统必须的参数文件,无法运行...\n[提示] 删除吗?\n"
                         "[t] a\n[t] b\n");
    EXPECT_FALSE(prompter.openFile({}));
    EXPECT_FALSE(prompter.saveFile({}));
    EXPECT_FALSE(prompter.pickFolder("选择", "/"));
    EXPECT_EQ(prompter.printerCount(), 0);
}

} // namespace

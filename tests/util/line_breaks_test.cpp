#include "util/line_breaks.h"

#include <gtest/gtest.h>

TEST(LineBreaks, CrLfCrAloneAndLfAloneEachEndOneLine) {
    struct Case {
        const char* text;
        std::vector<std::string_view> lines;
    };
    const Case cases[] = {
        {"", {""}},
        {"注册资本", {"注册资本"}},
        {"注册资本\r\n(万元)", {"注册资本", "(万元)"}},
        {"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
        {"a\r\r\nb", {"a", "", "b"}}, // CR, then CR LF: an empty line between
        {"a\n\rb", {"a", "", "b"}},   // LF then CR is two breaks, not one
        {"末尾\r\n", {"末尾", ""}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(util::CaptionLines(c.text), c.lines) << c.text;
        EXPECT_EQ(util::CaptionLineCount(c.text), static_cast<int>(c.lines.size()));
    }
    EXPECT_EQ(util::JoinCaptionLines("a\rb\r\nc\nd", "\n"), "a\nb\nc\nd");
    EXPECT_EQ(util::JoinCaptionLines("a\nb", "\r\n"), "a\r\nb");
}

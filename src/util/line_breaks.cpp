#include "util/line_breaks.h"

namespace util {

std::vector<std::string_view> CaptionLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n')
            continue;
        lines.push_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    lines.push_back(text.substr(start));
    return lines;
}

int CaptionLineCount(std::string_view text) {
    return static_cast<int>(CaptionLines(text).size());
}

std::string JoinCaptionLines(std::string_view text, std::string_view lineEnd) {
    std::string joined;
    joined.reserve(text.size());
    bool first = true;
    for (std::string_view line : CaptionLines(text)) {
        if (!first)
            joined += lineEnd;
        joined += line;
        first = false;
    }
    return joined;
}

} // namespace util

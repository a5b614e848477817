#pragma once
// Line breaks in captions. The field definitions break a caption with a
// carriage return, normally followed by a line feed; texts written elsewhere
// may hold a line feed alone. CR LF, a lone CR and a lone LF each end one
// line, wherever a caption is measured or drawn.

#include <string>
#include <string_view>
#include <vector>

namespace util {

// The lines of a caption, without their breaks; an empty text is one empty line.
std::vector<std::string_view> CaptionLines(std::string_view text);

// The number of lines CaptionLines gives: one more than the number of breaks.
int CaptionLineCount(std::string_view text);

// The caption with every break written as `lineEnd`.
std::string JoinCaptionLines(std::string_view text, std::string_view lineEnd);

} // namespace util

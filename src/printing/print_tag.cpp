#include "printing/print_tag.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace printing {
namespace {

std::vector<std::string> SplitCodes(const std::string& tag) {
    std::vector<std::string> codes;
    std::string::size_type start = 0;
    while (true) {
        auto comma = tag.find(',', start);
        codes.push_back(TrimSpaces(tag.substr(start, comma - start)));
        if (comma == std::string::npos)
            return codes;
        start = comma + 1;
    }
}

char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool StartsWithCode(const std::string& code, const char* prefix) {
    std::string::size_type i = 0;
    for (; prefix[i] != '\0'; ++i)
        if (i >= code.size() || Upper(code[i]) != prefix[i])
            return false;
    return true;
}

int MarginValue(const std::string& code) {
    return static_cast<int>(std::lround(LeadingNumber(code.substr(2))));
}

void ApplyCode(PrintTag& tag, const std::string& code) {
    if (code.empty())
        return;
    if (code == "X") {
        tag.underline = true;
    } else if (code == "XL") {
        tag.underlineLong = true;
    } else if (code == "[V]") {
        tag.printHidden = true;
    } else if (StartsWithCode(code, "ZN")) {
        tag.fontName = code.substr(2);
    } else if (StartsWithCode(code, "ZS")) {
        tag.fontSize = LeadingNumber(code.substr(2));
    } else if (StartsWithCode(code, "ZB")) {
        tag.toggleBold = true;
    } else if (StartsWithCode(code, "MT")) {
        tag.moveTop += MarginValue(code);
    } else if (StartsWithCode(code, "MB")) {
        tag.moveBottom += MarginValue(code);
    } else if (StartsWithCode(code, "ML")) {
        tag.moveLeft += MarginValue(code);
    } else if (StartsWithCode(code, "MR")) {
        tag.moveRight += MarginValue(code);
    } else {
        switch (Upper(code[0])) {
        case 'D':
            tag.date = true;
            break;
        case 'F':
            tag.spread = true;
            break;
        case 'P':
            tag.hideText = true;
            break;
        case 'Y':
            tag.nameAfterSpace = true;
            break;
        default:
            break; // unknown codes are ignored
        }
    }
}

// Reads an unsigned decimal number at text[pos]; advances pos past it.
std::optional<int> ReadInt(const std::string& text, std::string::size_type& pos) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data() + pos, text.data() + text.size(), value);
    if (ec != std::errc() || text[pos] == '-' || text[pos] == '+')
        return std::nullopt;
    pos = static_cast<std::string::size_type>(end - text.data());
    return value;
}

bool ReadLiteral(const std::string& text, std::string::size_type& pos, const std::string& lit) {
    if (text.compare(pos, lit.size(), lit) != 0)
        return false;
    pos += lit.size();
    return true;
}

bool ReadSeparator(const std::string& text, std::string::size_type& pos, const std::string& cjk) {
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '/' || text[pos] == '.')) {
        ++pos;
        return true;
    }
    return !cjk.empty() && ReadLiteral(text, pos, cjk);
}

bool IsValidDate(int year, int month, int day) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1)
        return false;
    bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    int days = kDays[month - 1] + (month == 2 && leap ? 1 : 0);
    return day <= days;
}

// Accepts nothing more, or a blank followed by a time such as 10:30 or 10:30:15.
bool IsTimeTail(const std::string& text, std::string::size_type pos) {
    if (pos == text.size())
        return true;
    if (text[pos] != ' ')
        return false;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    for (int part = 0; part < 3 && pos < text.size(); ++part) {
        if (part > 0 && !ReadLiteral(text, pos, ":"))
            return false;
        auto value = ReadInt(text, pos);
        if (!value || *value > 59 || (part == 0 && *value > 23))
            return false;
    }
    return pos == text.size();
}

} // namespace

PrintTag ParsePrintTag(const std::string& tag) {
    PrintTag result;
    if (tag.empty())
        return result;
    for (const auto& code : SplitCodes(tag))
        ApplyCode(result, code);
    return result;
}

PrintTag EffectivePrintTag(const std::string& tag, bool visible) {
    if (tag.empty() || (!visible && tag.find("[V]") == std::string::npos))
        return {};
    return ParsePrintTag(tag);
}

std::string FormatTagDate(const std::string& text) {
    std::string s = TrimSpaces(text);
    std::string::size_type pos = 0;
    auto year = ReadInt(s, pos);
    if (!year || !ReadSeparator(s, pos, "年"))
        return text;
    auto month = ReadInt(s, pos);
    if (!month || !ReadSeparator(s, pos, "月"))
        return text;
    auto day = ReadInt(s, pos);
    if (!day)
        return text;
    ReadLiteral(s, pos, "日");
    if (!IsValidDate(*year, *month, *day) || !IsTimeTail(s, pos))
        return text;
    return std::to_string(*year) + "年" + std::to_string(*month) + "月" + std::to_string(*day) +
           "日";
}

double LeadingNumber(const std::string& text) {
    std::string::size_type pos = 0;
    while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
        ++pos;
    if (pos < text.size() && text[pos] == '+')
        ++pos;
    double value = 0;
    auto [end, ec] = std::from_chars(text.data() + pos, text.data() + text.size(), value,
                                     std::chars_format::general);
    (void)end;
    if (ec != std::errc() || !std::isfinite(value))
        return 0;
    return value;
}

std::string TrimSpaces(const std::string& text) {
    auto first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

std::string TrimTrailingSpaces(const std::string& text) {
    auto last = text.find_last_not_of(' ');
    return last == std::string::npos ? std::string() : text.substr(0, last + 1);
}

std::string RemoveBlanks(const std::string& text) {
    std::string result;
    for (char c : TrimSpaces(text))
        if (c != ' ' && c != '\t')
            result += c;
    return result;
}

} // namespace printing

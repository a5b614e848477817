#include "materials/name_rule.h"

#include "platform/gbk.h"
#include "platform/utf8.h"

#include <unicode/uchar.h>
#include <unicode/ustring.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <vector>

namespace materials {
namespace {

// Units of the name in UTF-16.
std::size_t Utf16Units(const std::u32string& text) {
    std::size_t units = 0;
    for (char32_t c : text)
        units += c > 0xFFFF ? 2 : 1;
    return units;
}

bool IsControl(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

// Windows forbids * ? " < > | \ / : in names; libisofs replaces ; in Joliet
// names (and * / : ? \ and the controls) with "_".
bool IsReserved(char32_t c) {
    return std::u32string_view(U"\\/:*?\"<>|;").find(c) != std::u32string_view::npos;
}

// Bidirectional controls, zero-width and other invisible format characters,
// and the non-characters: a name holding one can look like another name.
bool IsInvisible(char32_t c) {
    return c == 0x00AD || c == 0x034F || c == 0x061C || c == 0x115F || c == 0x1160 || c == 0x17B4 ||
           c == 0x17B5 || (c >= 0x180B && c <= 0x180F) || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0x3164 ||
           (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFEFF || c == 0xFFA0 ||
           (c >= 0xFFF0 && c <= 0xFFFF);
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 (also with the superscript digits ¹ ² ³
// that Windows takes as digits there), CONIN$, CONOUT$ and CLOCK$: with or
// without an extension, and with spaces before the extension.
bool IsDeviceName(std::string_view name) {
    std::string base(name.substr(0, name.find('.')));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.'))
        base.pop_back();
    base = util::AsciiUpper(base);
    static constexpr std::array<std::string_view, 7> kPlain = {"CON",    "PRN",     "AUX",   "NUL",
                                                               "CONIN$", "CONOUT$", "CLOCK$"};
    if (std::find(kPlain.begin(), kPlain.end(), base) != kPlain.end())
        return true;
    if (!base.starts_with("COM") && !base.starts_with("LPT"))
        return false;
    const std::string_view digit = std::string_view(base).substr(3);
    if (digit.size() == 1 && digit[0] >= '0' && digit[0] <= '9')
        return true;
    return digit == "\u00B9" || digit == "\u00B2" || digit == "\u00B3";
}

// The characters GB18030 (the list's code page) cannot hold: none of a valid
// text in practice, but the list must hold every name as it is.
std::optional<char32_t> FirstWithoutGb18030(const std::u32string& text, std::string_view utf8) {
    if (platform::Utf8ToGb18030(utf8))
        return std::nullopt;
    for (char32_t c : text)
        if (!platform::Utf8ToGb18030(util::ToUtf8(c)))
            return c;
    return std::nullopt;
}

} // namespace

std::string CharacterText(char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    const bool visible = !IsControl(c) && !IsInvisible(c);
    return (visible ? "“" + util::ToUtf8(c) + "”" : std::string()) + "（" + code + "）";
}

std::string NameProblem(std::string_view name) {
    if (name.find_first_not_of(". ") == std::string_view::npos)
        return "名称为空或只有句点和空格";
    if (name.size() > kMaxNameBytes)
        return "名称超过" + std::to_string(kMaxNameBytes) + "字节";
    const std::u32string text = util::ToU32(name);
    if (util::ToUtf8(text) != name)
        return "名称不是有效的UTF-8文字";
    if (Utf16Units(text) > kJolietNameUnits)
        return "名称超过" + std::to_string(kJolietNameUnits) +
               "个字符（光盘Joliet格式的上限），刻录后会被截短";
    for (char32_t c : text) {
        if (IsControl(c))
            return "含有控制字符";
        if (IsReserved(c))
            return "含有光盘或Windows不允许的字符“" + util::ToUtf8(c) + "”";
        if (c > 0xFFFF)
            return "含有光盘Joliet格式不能保存的字符“" + util::ToUtf8(c) + "”";
        if (IsInvisible(c))
            return "含有不可见的格式控制字符" + CharacterText(c) + "，名称看起来会与实际不同";
    }
    if (name.back() == ' ' || name.back() == '.')
        return "以空格或句点结尾，Windows读出时会被改名";
    if (IsDeviceName(name))
        return "是Windows的设备名（CON、PRN、AUX、NUL、COM1、LPT1等），不能用作文件名";
    if (const auto c = FirstWithoutGb18030(text, name))
        return "含有材料清单.txt（GB18030编码）不能保存的字符" + CharacterText(*c);
    return {};
}

std::size_t JolietPathBytes(std::string_view material, std::string_view file) {
    // libisofs (joliet.c): the root counts 1, and each level 1 + 2 bytes per
    // unit of its Joliet name (the version ";1" is not counted).
    return 1 + (1 + 2 * Utf16Units(util::ToU32(material))) +
           (1 + 2 * Utf16Units(util::ToU32(file)));
}

std::string PathProblem(std::string_view material, std::string_view file) {
    if (JolietPathBytes(material, file) <= kJolietPathBytes)
        return {};
    return "材料名称与文件名合计超过" + std::to_string((kJolietPathBytes - 3) / 2) +
           "个字符（光盘Joliet格式的路径上限），刻录时会被略去";
}

std::string TitleProblem(std::string_view material, std::string_view title) {
    if (std::string problem = NameProblem(title); !problem.empty())
        return problem;
    const std::string longest = std::string(title) + ".jpeg";
    if (std::string problem = NameProblem(longest); !problem.empty())
        return problem;
    return material.empty() ? std::string() : PathProblem(material, longest);
}

std::string NameKey(std::string_view name) {
    const std::u32string text = util::ToU32(name);
    std::vector<UChar> units;
    units.reserve(text.size() + 2);
    for (char32_t c : text) {
        if (c > 0xFFFF) {
            units.push_back(UChar(0xD800 + ((c - 0x10000) >> 10)));
            units.push_back(UChar(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            units.push_back(UChar(c));
        }
    }
    // Full case folding can make a text longer (ß → ss): at most three units
    // per unit.
    std::vector<UChar> folded(units.size() * 3 + 1);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = u_strFoldCase(folded.data(), int32_t(folded.size()), units.data(),
                                         int32_t(units.size()), U_FOLD_CASE_DEFAULT, &status);
    if (U_FAILURE(status))
        return util::AsciiUpper(std::string(name));
    std::u32string out;
    for (int32_t i = 0; i < length; ++i) {
        char32_t c = folded[std::size_t(i)];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length) {
            const char32_t low = folded[std::size_t(i) + 1];
            c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
            ++i;
        }
        out += c;
    }
    return util::ToUtf8(out);
}

} // namespace materials

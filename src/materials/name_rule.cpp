#include "materials/name_rule.h"

#include "platform/gbk.h"
#include "platform/utf8.h"

#include <unicode/uchar.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>
#include <string>

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

// Characters a name may hold without showing them, so that it looks like
// another name: Unicode's default-ignorable code points (bidirectional
// controls, zero-width characters, variation selectors, the Hangul fillers),
// the other format characters, the line and paragraph separators and the
// non-characters.
bool IsInvisible(char32_t c) {
    const UChar32 u = UChar32(c);
    const int8_t category = u_charType(u);
    return u_hasBinaryProperty(u, UCHAR_DEFAULT_IGNORABLE_CODE_POINT) ||
           u_hasBinaryProperty(u, UCHAR_NONCHARACTER_CODE_POINT) || category == U_FORMAT_CHAR ||
           category == U_LINE_SEPARATOR || category == U_PARAGRAPH_SEPARATOR;
}

std::u16string ToUtf16(std::string_view utf8) {
    std::u16string units;
    units.reserve(utf8.size());
    for (char32_t c : platform::ToU32(utf8)) {
        if (U_IS_BMP(c)) {
            units.push_back(char16_t(c));
        } else {
            units.push_back(U16_LEAD(c));
            units.push_back(U16_TRAIL(c));
        }
    }
    return units;
}

std::string FromUtf16(const std::u16string& units) {
    std::u32string text;
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size()) {
            c = 0x10000 + ((c - 0xD800) << 10) + (char32_t(units[i + 1]) - 0xDC00);
            ++i;
        }
        text += c;
    }
    return platform::ToUtf8(text);
}

// ICU's transformations of a whole text, measured first; false when ICU fails
// (its data missing).
template <class Transform> bool TransformWithIcu(std::u16string& text, Transform transform) {
    if (text.empty())
        return true;
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = transform(text, nullptr, 0, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR && U_FAILURE(status))
        return false;
    std::u16string out(std::size_t(length), u'\0');
    status = U_ZERO_ERROR;
    transform(text, out.data(), length, &status);
    if (U_FAILURE(status))
        return false;
    text = std::move(out);
    return true;
}

bool Normalize(std::u16string& text, const UNormalizer2* form) {
    return form && TransformWithIcu(text, [form](const std::u16string& in, UChar* out,
                                                 int32_t capacity, UErrorCode* status) {
               return unorm2_normalize(form, in.data(), int32_t(in.size()), out, capacity, status);
           });
}

bool FoldCase(std::u16string& text) {
    return TransformWithIcu(
        text, [](const std::u16string& in, UChar* out, int32_t capacity, UErrorCode* status) {
            return u_strFoldCase(out, capacity, in.data(), int32_t(in.size()), U_FOLD_CASE_DEFAULT,
                                 status);
        });
}

const UNormalizer2* Nfd() {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* form = unorm2_getNFDInstance(&status);
    return U_SUCCESS(status) ? form : nullptr;
}

const UNormalizer2* Nfc() {
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* form = unorm2_getNFCInstance(&status);
    return U_SUCCESS(status) ? form : nullptr;
}

// The character a message names for a text that is not in NFC: the first
// that cannot stand in NFC as it is (a combining mark after the letter it
// composes with, a compatibility ideograph, marks out of order).
char32_t FirstNotComposed(const std::u32string& text) {
    for (char32_t c : text)
        if (u_getIntPropertyValue(UChar32(c), UCHAR_NFC_QUICK_CHECK) != UNORM_YES)
            return c;
    for (char32_t c : text)
        if (u_getCombiningClass(UChar32(c)) != 0)
            return c;
    return text.empty() ? 0 : text.front();
}

// CON, PRN, AUX, NUL, COM0-9, LPT0-9 (also with the superscript digits ¹ ² ³
// that Windows takes as digits there), CONIN$, CONOUT$ and CLOCK$: with or
// without an extension, and with spaces before the extension.
bool IsDeviceName(std::string_view name) {
    std::string base(name.substr(0, name.find('.')));
    while (!base.empty() && (base.back() == ' ' || base.back() == '.'))
        base.pop_back();
    base = platform::AsciiUpper(base);
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
        if (!platform::Utf8ToGb18030(platform::ToUtf8(c)))
            return c;
    return std::nullopt;
}

} // namespace

std::string CharacterText(char32_t c) {
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    const bool visible = !IsControl(c) && !IsInvisible(c);
    return (visible ? "“" + platform::ToUtf8(c) + "”" : std::string()) + "（" + code + "）";
}

std::string NameProblem(std::string_view name) {
    if (name.find_first_not_of(". ") == std::string_view::npos)
        return "名称为空或只有句点和空格";
    if (name.size() > kMaxNameBytes)
        return "名称超过" + std::to_string(kMaxNameBytes) + "字节";
    const std::u32string text = platform::ToU32(name);
    if (platform::ToUtf8(text) != name)
        return "名称不是有效的UTF-8文字";
    if (Utf16Units(text) > kJolietNameUnits)
        return "名称超过" + std::to_string(kJolietNameUnits) +
               "个字符（光盘Joliet格式的上限），刻录后会被截短";
    for (char32_t c : text) {
        if (IsControl(c))
            return "含有控制字符";
        if (IsReserved(c))
            return "含有光盘或Windows不允许的字符“" + platform::ToUtf8(c) + "”";
        if (c > 0xFFFF)
            return "含有光盘Joliet格式不能保存的字符“" + platform::ToUtf8(c) + "”";
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
    return 1 + (1 + 2 * Utf16Units(platform::ToU32(material))) +
           (1 + 2 * Utf16Units(platform::ToU32(file)));
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
    // A typed name has one written form: a decomposed "é" or a compatibility
    // ideograph would look like the composed name and be another one to a
    // file system that does not normalise.
    std::u16string composed = ToUtf16(title);
    if (Normalize(composed, Nfc()) && FromUtf16(composed) != title)
        return "含有未按规范形式（Unicode NFC）书写的字符" +
               CharacterText(FirstNotComposed(platform::ToU32(title))) +
               "，名称看起来会与另一种写法相同，实际却不同";
    const std::string longest = std::string(title) + ".jpeg";
    if (std::string problem = NameProblem(longest); !problem.empty())
        return problem;
    return material.empty() ? std::string() : PathProblem(material, longest);
}

std::string NameKey(std::string_view name) {
    // The canonical caseless form of Unicode: NFD, full case folding, NFD
    // again (folding can undo the order of marks).
    std::u16string text = ToUtf16(name);
    if (!Normalize(text, Nfd()) || !FoldCase(text) || !Normalize(text, Nfd()))
        return platform::AsciiUpper(std::string(name));
    return FromUtf16(text);
}

std::string CanonicalForm(std::string_view name) {
    std::u16string text = ToUtf16(name);
    return Normalize(text, Nfd()) ? FromUtf16(text) : std::string(name);
}

} // namespace materials

#include "util/frmutil.h"

#include "platform/file_read.h"
#include "platform/gbk.h"
#include "platform/utf8.h"
#include "util/convert.h"
#include "util/template_db.h"

#include <algorithm>
#include <cmath>

namespace util {
namespace {

std::u32string Substr(const std::u32string& text, std::size_t from1, std::size_t count) {
    return text.substr(from1 - 1, count);
}

int ToInt(const std::u32string& digits) {
    int value = 0;
    for (char32_t c : digits)
        value = value * 10 + static_cast<int>(c - U'0');
    return value;
}

std::string RemoveAll(std::string text, const std::string& searched) {
    return ReplaceAll(text, searched, "");
}

// One left-to-right pass: used where rescanning from the start would never end.
std::string ReplaceOnePass(const std::string& text, const std::string& searched,
                           const std::string& replacement) {
    std::string out;
    std::size_t pos = 0;
    for (std::size_t hit; (hit = text.find(searched, pos)) != std::string::npos;
         pos = hit + searched.size())
        out += text.substr(pos, hit - pos) + replacement;
    return out + text.substr(pos);
}

std::size_t LastSeparator(const std::string& path) {
    return path.find_last_of("\\/");
}

} // namespace

std::string& ToHalfWidth(std::string& text) {
    static const char* const kFullDigits[] = {"０", "１", "２", "３", "４",
                                              "５", "６", "７", "８", "９"};
    for (int d = 0; d < 10; ++d)
        text = ReplaceAll(text, kFullDigits[d], std::string(1, static_cast<char>('0' + d)));
    for (const char* x : {"Ｘ", "ｘ", "×", "Ⅹ"})
        text = ReplaceAll(text, x, "X");
    return text;
}

std::string CleanText(const std::string& text, std::int16_t mode) {
    const std::size_t first = text.find_first_not_of(' ');
    std::string out;
    if (first != std::string::npos)
        out = text.substr(first, text.find_last_not_of(' ') - first + 1);
    for (const char* control : {"\r", "\n", "\t"})
        out = RemoveAll(out, control);
    if (mode == 1) {
        out = RemoveAll(out, " ");
        out = RemoveAll(out, "　");
    }
    return out;
}

std::int16_t CheckIdNumber(const std::string& text) {
    std::string cleaned = CleanText(platform::AsciiUpper(text), 1);
    ToHalfWidth(cleaned);
    const std::u32string t = platform::ToU32(cleaned);
    if (t.size() != 18 && t.size() != 15)
        return 1;
    const std::u32string digitsPart = t.size() == 15 ? t : t.substr(0, 15);
    if (!IsNumericText(platform::ToUtf8(digitsPart)))
        return 2;
    const std::u32string date = t.size() == 15 ? U"19" + Substr(t, 7, 6) : Substr(t, 7, 8);
    for (char32_t c : date)
        if (c < U'0' || c > U'9')
            return 3;
    const int year = ToInt(date.substr(0, 4));
    const int month = ToInt(date.substr(4, 2));
    const int day = ToInt(date.substr(6, 2));
    return IsValidDate(year, month, day) ? 0 : 3;
}

bool FileExists(const std::string& path) {
    if (path.empty())
        return false;
    // Only a regular file counts, and the test never opens anything else: a
    // pipe of that name would block the opening for as long as nobody writes.
    return platform::IsReadableRegularFile(platform::PathFromUtf8(path));
}

std::string GetFolderPart(const std::string& path) {
    const std::size_t sep = LastSeparator(path);
    if (sep == std::string::npos)
        return "\\";
    std::string folder = path.substr(0, sep);
    const bool driveLike = folder.size() == 2 && folder[1] == ':';
    if (path[sep] == '\\' ? folder.size() <= 2 : (folder.empty() || driveLike))
        folder += path[sep];
    return folder;
}

std::string GetFilePart(const std::string& path) {
    const std::size_t sep = LastSeparator(path);
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::int32_t GetRecordCount(const platform::db::Recordset& recordset) {
    try {
        platform::db::Recordset clone = recordset.Clone();
        if (!clone.Eof())
            clone.MoveLast();
        const long count = clone.RecordCount();
        clone.Close();
        return static_cast<std::int32_t>(count);
    } catch (const std::exception&) {
        return -1;
    }
}

bool HasField(const std::string& name, platform::db::Recordset& recordset) {
    const std::string wanted = platform::AsciiUpper(name);
    for (int i = 0; i < recordset.FieldCount(); ++i)
        if (platform::AsciiUpper(recordset.Fields(i).Name()) == wanted)
            return true;
    return false;
}

std::string FieldText(const platform::db::Field& field) {
    return field.GetValue().toText();
}

std::int16_t AnsiByteLength(const std::string& text) {
    return static_cast<std::int16_t>(std::min<std::size_t>(platform::GbkByteLength(text), 32767));
}

std::string ReplaceAll(const std::string& text, const std::string& searched,
                       const std::string& replacement) {
    if (searched.empty())
        return text;
    if (replacement.find(searched) != std::string::npos)
        return ReplaceOnePass(text, searched, replacement);
    // Rescanning from the start finds occurrences the replacements form with
    // the text around them; any new one overlaps the last replacement, so the
    // scan can resume just before it. Some pairs form new occurrences for ever
    // ("ab" by "bbaa" in "aab"): the number of rescans is bounded by the
    // original text, after which one pass finishes the job.
    std::string out = text;
    std::size_t from = 0;
    const std::size_t maxRounds = text.size() * 4 + 1024;
    for (std::size_t rounds = 0;; ++rounds) {
        const std::size_t hit = out.find(searched, from);
        if (hit == std::string::npos)
            return out;
        if (rounds > maxRounds)
            return ReplaceOnePass(out, searched, replacement);
        out = out.substr(0, hit) + replacement + out.substr(hit + searched.size());
        from = hit >= searched.size() ? hit - searched.size() + 1 : 0;
    }
}

std::int16_t CountOccurrences(const std::string& text, const std::string& searched) {
    if (searched.empty())
        return 0;
    std::int32_t count = 0;
    for (std::size_t pos = text.find(searched); pos != std::string::npos;
         pos = text.find(searched, pos + 1))
        ++count;
    return static_cast<std::int16_t>(std::min(count, 32767));
}

void FillFromDictionary(std::int16_t listNumber, ListControl& control, std::int16_t style) {
    FillFromDictionary(listNumber, control, style, TemplateDatabase());
}

void FillFromDictionary(std::int16_t listNumber, ListControl& control, std::int16_t style,
                        platform::db::Connection& connection) {
    control.Clear();
    platform::db::Recordset rs;
    rs.Open("select * from 综合词表 where 类别=" + std::to_string(listNumber) +
                " and 代码<>0 order by 代码",
            connection);
    for (; !rs.Eof(); rs.MoveNext()) {
        const std::string name = FieldText(rs.Fields("名称"));
        control.AddItem(style == 2 ? FieldText(rs.Fields("代码")) + " " + name : name);
    }
    rs.Close();
}

void PaintGradient(FillTarget& target, float& r, float& g, float& b, std::int16_t r2,
                   std::int16_t g2, std::int16_t b2, std::int16_t flag) {
    const bool vertical = flag == -1;
    const double inner = vertical ? target.InnerHeight() : target.InnerWidth();
    const double band = std::nearbyint(inner / 80.0 + 1.0);
    const float dr = (r2 - r) / 79.0f, dg = (g2 - g) / 79.0f, db = (b2 - b) / 79.0f;
    double x1 = 0, y1 = 0;
    double x2 = vertical ? target.InnerWidth() : band;
    double y2 = vertical ? band : target.InnerHeight();
    auto component = [](float& c) {
        if (c < 0)
            c = 0;
        return static_cast<std::uint32_t>(std::clamp(std::nearbyint(c), 0.0f, 255.0f));
    };
    for (int i = 0; i < 80; ++i) {
        r += dr, g += dg, b += db;
        const std::uint32_t rgb = component(r) << 16 | component(g) << 8 | component(b);
        target.FillBox(x1, y1, x2, y2, rgb);
        if (vertical)
            y1 = y2, y2 += band;
        else
            x1 = x2, x2 += band;
    }
}

} // namespace util

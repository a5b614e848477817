#include "fieldforms/field_entries.h"

#include "fieldforms/field_layout.h"
#include "fieldforms/field_queries.h"
#include "platform/db.h"
#include "startup/mainbas.h"
#include "util/convert.h"
#include "util/frmutil.h"

#include <charconv>
#include <cstdio>

namespace fieldforms {
namespace {

using platform::db::Recordset;

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// Reads 1 to maxDigits digits; false when there are none or more.
bool ReadNumber(std::string_view& text, std::size_t maxDigits, int& out) {
    std::size_t n = 0;
    while (n < text.size() && IsDigit(text[n]))
        if (++n > maxDigits)
            return false;
    out = 0;
    std::from_chars(text.data(), text.data() + n, out);
    text.remove_prefix(n);
    return n > 0;
}

bool Skip(std::string_view& text, std::string_view expected) {
    if (text.substr(0, expected.size()) != expected)
        return false;
    text.remove_prefix(expected.size());
    return true;
}

int KindOf(Recordset& row) {
    return FieldKindOf(util::FieldText(row.Fields("字段类型")));
}

void Add(std::string& messages, const std::string& toolTip, const char* wording) {
    messages += "【" + FieldNameOf(toolTip) + "】" + wording + "\r\n";
}

// A field the applicant cannot change here: its value comes from the
// application form (继承字段名 set, 是否可编辑 0 or empty).
bool IsReadOnlyInherited(Recordset& row) {
    return !util::FieldText(row.Fields("继承字段名")).empty() &&
           util::LeadingNumber(util::FieldText(row.Fields("是否可编辑"))) == 0;
}

// The length failure of such a field: its limit and where to change it.
std::string TooLongInherited(double limit) {
    char number[32];
    std::snprintf(number, sizeof number, "%.15g", limit < 0 ? 0.0 : limit);
    return std::string("填写超长.（最多") + number +
           "字节，一个汉字计2字节；此项取自行政审批申请书，请在【行政审批申请书】中修改）";
}

bool HasSpace(std::string_view entry) {
    return entry.find(' ') != std::string_view::npos;
}

} // namespace

std::string FieldNameOf(const std::string& toolTip) {
    return util::ReplaceAll(toolTip, "*", "");
}

bool IsRequiredInput(const std::string& toolTip) {
    return !toolTip.empty() && toolTip.back() == '*';
}

// ---- drop-down lists ----

std::string ListStoredValue(std::string_view entry, bool codes) {
    if (codes) {
        const std::size_t space = entry.find(' ');
        if (space != std::string_view::npos && space > 0)
            return std::string(entry.substr(0, space));
    }
    return std::string(entry);
}

int FindListEntry(const std::vector<std::string>& entries, const std::string& value, bool codes) {
    if (value.empty())
        return -1;
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (ListStoredValue(entries[i], codes) == value)
            return static_cast<int>(i);
    if (util::IsNumericText(value)) {
        const double number = util::LeadingNumber(value);
        for (std::size_t i = 0; i < entries.size(); ++i)
            if (HasSpace(entries[i]) &&
                util::IsNumericText(entries[i].substr(0, entries[i].find(' '))) &&
                util::LeadingNumber(entries[i]) == number)
                return static_cast<int>(i);
    }
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i].find(value) != std::string::npos)
            return static_cast<int>(i);
    return -1;
}

// ---- numbers and dates ----

bool IsNumberText(std::string_view text) {
    text = Trimmed(text);
    // Commas group the digits of the whole part: each stands between digits.
    std::string plain;
    std::size_t i = 0;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        plain += text[i++];
    for (; i < text.size() && (IsDigit(text[i]) || text[i] == ','); ++i) {
        if (text[i] == ',') {
            if (plain.empty() || !IsDigit(plain.back()) || i + 1 >= text.size() ||
                !IsDigit(text[i + 1]))
                return false;
            continue;
        }
        plain += text[i];
    }
    plain.append(text.substr(i));
    return util::IsNumericText(plain);
}

std::optional<CalendarDate> ParseDate(std::string_view text) {
    text = Trimmed(text);
    CalendarDate date;
    std::string_view rest = text;
    if (!ReadNumber(rest, 4, date.year) || text.size() - rest.size() != 4)
        return std::nullopt;
    if (Skip(rest, "年")) {
        if (!ReadNumber(rest, 2, date.month) || !Skip(rest, "月") || !ReadNumber(rest, 2, date.day))
            return std::nullopt;
        Skip(rest, "日");
    } else {
        if (rest.empty() || (rest.front() != '-' && rest.front() != '/' && rest.front() != '.'))
            return std::nullopt;
        const std::string_view separator = rest.substr(0, 1);
        rest.remove_prefix(1);
        if (!ReadNumber(rest, 2, date.month) || !Skip(rest, separator) ||
            !ReadNumber(rest, 2, date.day))
            return std::nullopt;
    }
    if (!rest.empty() || !util::IsValidDate(date.year, date.month, date.day))
        return std::nullopt;
    return date;
}

std::string StoredDateText(const std::string& text) {
    const std::optional<CalendarDate> date = ParseDate(text);
    if (!date)
        return text;
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d-%d-%d", date->year, date->month, date->day);
    return buffer;
}

// ---- checking and saving ----

std::string CheckFieldEntries(const std::vector<FieldEntry>& textBoxes,
                              const std::vector<FieldEntry>& lists) {
    std::string messages;
    for (const FieldEntry& box : textBoxes)
        if (IsRequiredInput(box.toolTip) && box.text.empty())
            Add(messages, box.toolTip, "必须填写.");
    for (const FieldEntry& list : lists)
        if (IsRequiredInput(list.toolTip) && list.text.empty())
            Add(messages, list.toolTip, "必须填写.");
    for (const FieldEntry& box : textBoxes) {
        if (Trimmed(box.text).empty())
            continue;
        Recordset row;
        row.Open(FieldRowQuery(FieldNameOf(box.toolTip)), *TemplateConnection);
        if (!row.Eof()) {
            switch (KindOf(row)) {
            case kText: {
                const double limit = util::LeadingNumber(util::FieldText(row.Fields("字段长度")));
                if (util::AnsiByteLength(box.text) > limit)
                    Add(messages, box.toolTip,
                        IsReadOnlyInherited(row) ? TooLongInherited(limit).c_str() : "填写超长.");
                break;
            }
            case kNumber:
                if (!IsNumberText(box.text))
                    Add(messages, box.toolTip, "必须填写数值型数据.");
                break;
            case kDate:
                if (!ParseDate(box.text))
                    Add(messages, box.toolTip, "必须填写日期型数据(yyyy-mm-dd).");
                break;
            default:
                break;
            }
        }
        row.Close();
    }
    return messages;
}

SaveResult SaveFieldEntries(const std::vector<FieldEntry>& textBoxes,
                            const std::vector<FieldEntry>& lists) {
    SaveResult result;
    std::string field;
    try {
        platform::db::Transaction transaction(*TemplateConnection);
        for (const FieldEntry& box : textBoxes) {
            field = FieldNameOf(box.toolTip);
            std::string shown = box.text;
            Recordset row;
            row.Open(FieldRowQuery(field), *TemplateConnection);
            if (!row.Eof()) {
                const int kind = KindOf(row);
                if (kind == kDate)
                    shown = StoredDateText(box.text);
                row.Fields(ValueColumnFor(kind)).SetValue(shown);
                row.Update();
            }
            row.Close();
            result.shownTexts.push_back(shown);
        }
        for (const FieldEntry& list : lists) {
            field = FieldNameOf(list.toolTip);
            Recordset row;
            row.Open(FieldRowQuery(field), *TemplateConnection);
            if (!row.Eof()) {
                row.Fields("字段值").SetValue(ListStoredValue(list.text, ShowsCodes(field)));
                row.Update();
            }
            row.Close();
        }
        field.clear();
        transaction.Commit();
        result.saved = true;
    } catch (const std::exception& e) {
        result.failedField = field;
        result.error = e.what();
        result.shownTexts.clear();
    }
    return result;
}

std::string SaveFailureMessage(const SaveResult& result) {
    std::string text = "保存失败...";
    if (!result.failedField.empty())
        text += "\r\n【" + result.failedField + "】";
    if (!result.error.empty())
        text += "\r\n" + result.error;
    return text;
}

} // namespace fieldforms

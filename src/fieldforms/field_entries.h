#pragma once
// The entries of the project-basic-information form: what a drop-down list
// stores and selects, how numbers and dates are read, the check of every
// entry against its definition row and the saving of all entries.
//
// An input is known by its tool-tip text: the field name, with "*" appended
// when the field is required. Its definition row is the first row the
// by-name query of 项目基本信息 returns; an input without a row is neither
// checked nor saved.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace fieldforms {

// The field name of an input: its tool-tip text without any "*".
std::string FieldNameOf(const std::string& toolTip);
// Whether an input is required: its tool-tip text ends in "*".
bool IsRequiredInput(const std::string& toolTip);

// ---- drop-down lists ----

// What a list stores for the chosen entry. A list of codes (entries "code
// name") stores the code as it is written, leading zeros included; a list of
// names stores the whole entry, spaces included. Nothing chosen stores "".
std::string ListStoredValue(std::string_view entry, bool codes);

// The entry a stored value selects: the first whose stored form equals the
// value. Earlier versions stored the number that starts an entry holding a
// space ("0101 某某" as 101); such a value still finds the first entry
// holding a space whose leading number equals it. A value that matches no
// entry so (a renamed entry, a preset such as "乙级" for "乙级资质") selects
// the first entry that contains it, as the form has always read one. -1 when
// no entry contains it, or when the value is empty.
int FindListEntry(const std::vector<std::string>& entries, const std::string& value, bool codes);

// ---- numbers and dates ----

// A number as the form accepts it: blanks around it, a sign, digits grouped
// with commas, a decimal point and an exponent.
bool IsNumberText(std::string_view text);

struct CalendarDate {
    int year = 0;
    int month = 0;
    int day = 0;
};
// A calendar date written year, month, day: "2008-05-01", "2008/5/1",
// "2008.5.1" or "2008年5月1日", blanks around it allowed.
std::optional<CalendarDate> ParseDate(std::string_view text);
// The form a date is stored and shown in, "yyyy-m-d" (2008-5-1); a text that
// is no date is returned unchanged.
std::string StoredDateText(const std::string& text);

// ---- checking and saving ----

struct FieldEntry {
    std::string toolTip; // field name, "*" when required
    std::string text;    // the text box's text, or the list's chosen entry ("" for none)
};

// The messages of every entry that fails, one line each ended by CR LF, in
// this order: empty required text boxes, empty required lists, then the
// length, number and date failures of the text boxes; "" when all pass.
// Database errors are passed on as platform::db::DbError.
std::string CheckFieldEntries(const std::vector<FieldEntry>& textBoxes,
                              const std::vector<FieldEntry>& lists);

struct SaveResult {
    bool saved = false;
    // On failure: the field whose row failed ("" when the database refused
    // the save as a whole) and what went wrong.
    std::string failedField;
    std::string error;
    // What each text box shows after a save: dates in their stored form.
    std::vector<std::string> shownTexts;
};

// Writes every entry into its row, all in one transaction: a failure leaves
// every row as it was.
SaveResult SaveFieldEntries(const std::vector<FieldEntry>& textBoxes,
                            const std::vector<FieldEntry>& lists);

// The text of the "保存失败..." box for a failed save.
std::string SaveFailureMessage(const SaveResult& result);

} // namespace fieldforms

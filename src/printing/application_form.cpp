#include "printing/application_form.h"

#include "fieldforms/field_queries.h"
#include "platform/db.h"
#include "platform/prompter.h"
#include "platform/utf8.h"
#include "util/convert.h"
#include "util/frmutil.h"

#include <cmath>

namespace printing {

const std::array<const char*, kIndividualInputs> kIndividualColumns = {
    "个人姓名", "个人身份证号", "个人住址", "个人联系电话", "个人邮编", "个人电子邮箱"};
const std::array<const char*, kUnitInputs> kUnitColumns = {
    "单位名称",   "法人代表",       "单位地址",   "联系电话",       "邮编",       "电子邮箱",
    "委托代理人", "代理人身份证号", "代理人住址", "代理人联系电话", "代理人邮编", "代理人电子邮箱"};

namespace {

using platform::db::Recordset;
using platform::db::Value;

std::string Text(Recordset& rs, const char* column) {
    return util::FieldText(rs.Fields(column));
}

bool Contains(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

// A code as the number column stores it: a whole number as an integer.
Value CodeValue(double code) {
    if (std::isfinite(code) && std::fabs(code) < 9e15 && code == std::floor(code))
        return Value(static_cast<std::int64_t>(code));
    return Value(std::isfinite(code) ? code : 0.0);
}

// The read-only field definition that inherits `column` gets the value too,
// in the column its kind keeps its value in (备注值 for long text).
void UpdateInheritingRow(const std::string& column, const Value& value) {
    Recordset rows;
    rows.Open(fieldforms::InheritedRowQuery(column), *TemplateConnection);
    if (!rows.Eof()) {
        const char* target =
            fieldforms::ValueColumnFor(fieldforms::FieldKindOf(Text(rows, "字段类型")));
        rows.Fields(target).SetValue(value);
        rows.Update();
    }
    rows.Close();
}

const ApplicationItem& CurrentItem() {
    return ItemTable.at(static_cast<std::size_t>(SelectedItem));
}

std::string RequiredLine(const std::string& column) {
    return "【" + column + "】必须填写.\r\n";
}

} // namespace

std::optional<StoredApplication> ReadApplication() {
    Recordset item;
    item.Open(fieldforms::ItemRowQuery(), *TemplateConnection);
    if (item.Eof()) {
        item.Close();
        return std::nullopt;
    }
    StoredApplication stored;
    stored.applicantType = Text(item, kApplicantTypeColumn);
    for (int i = 0; i < kIndividualInputs; ++i)
        stored.individual[static_cast<std::size_t>(i)] =
            Text(item, kIndividualColumns[static_cast<std::size_t>(i)]);
    for (int i = 0; i < kUnitInputs; ++i)
        stored.unit[static_cast<std::size_t>(i)] =
            Text(item, kUnitColumns[static_cast<std::size_t>(i)]);
    stored.projectName = Text(item, kProjectNameColumn);
    stored.region = Text(item, kRegionColumn);
    stored.receipt = Text(item, kReceiptColumn);
    item.Close();
    return stored;
}

ApplicantType ApplicantTypeOf(const std::string& stored) {
    return stored == "2" ? ApplicantType::Individual : ApplicantType::Unit;
}

std::array<bool, kReceiptWays> ReceiptWays(const std::string& stored) {
    const std::u32string ways = platform::ToU32(stored.empty() ? "00000" : stored);
    std::array<bool, kReceiptWays> ticked{};
    for (std::size_t k = 0; k < ticked.size() && k < ways.size(); ++k)
        ticked[k] = ways[k] == U'1';
    return ticked;
}

std::string ReceiptText(const std::array<bool, kReceiptWays>& ticked) {
    std::string text;
    for (bool way : ticked)
        text += way ? '1' : '0';
    return text;
}

int RegionEntryIndex(const std::vector<std::string>& entries, const std::string& storedCode) {
    if (!util::IsNumericText(storedCode))
        return -1;
    const double code = util::LeadingNumber(storedCode);
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (util::LeadingNumber(entries[i]) == code)
            return static_cast<int>(i);
    return -1;
}

double RegionCode(const std::string& entry) {
    return util::LeadingNumber(entry);
}

bool ProjectNameFollowsItem(const ApplicationItem& item) {
    return item.项目名称标识 == 1;
}

std::string InitialProjectName(const std::string& stored, const ApplicationItem& item) {
    if (!stored.empty())
        return stored;
    return ProjectNameFollowsItem(item) ? item.申请事项简称 + "申请" : std::string();
}

std::string ProjectNameForUnit(const std::string& unitName, const ApplicationItem& item) {
    return unitName + item.申请事项简称 + item.子项名称 + "申请";
}

bool IsValidFieldValue(const std::string& column, const std::string& value) {
    if (Contains(column, "邮编"))
        return util::AnsiByteLength(value) == 6 && util::IsNumericText(value);
    if (Contains(column, "身份证号"))
        return util::CheckIdNumber(value) == 0;
    if (Contains(column, "电子邮箱"))
        return Contains(value, ".") && Contains(value, "@") && util::AnsiByteLength(value) > 5;
    return true;
}

std::string ApplicationFaults(const std::vector<FormInput>& group, const std::string& projectName,
                              bool regionChosen) {
    std::string message;
    for (const FormInput& input : group)
        if (input.required && input.text.empty())
            message += RequiredLine(input.column);
    if (projectName.empty())
        message += RequiredLine(kProjectNameColumn);
    if (!regionChosen)
        message += RequiredLine(kRegionColumn);
    for (const FormInput& input : group)
        if (!input.text.empty() && !IsValidFieldValue(input.column, input.text))
            message += "【" + input.column + "】填写错误.\r\n";
    return message;
}

StoreResult StoreApplication(const ApplicationValues& values) {
    platform::db::Transaction transaction(*TemplateConnection);
    Recordset item;
    item.Open(fieldforms::ItemRowQuery(), *TemplateConnection);
    if (item.Eof())
        return StoreResult::ItemMissing;

    item.Fields(kApplicantTypeColumn).SetValue(values.type == ApplicantType::Unit ? 1 : 2);
    item.Fields(kProjectNameColumn).SetValue(values.projectName);
    UpdateInheritingRow(kProjectNameColumn, Value(values.projectName));

    const Value region = CodeValue(RegionCode(values.regionEntry));
    item.Fields(kRegionColumn).SetValue(region);
    // 字段值 is a text column: the code goes there as its decimal text.
    UpdateInheritingRow(kRegionColumn, Value(region.toText()));

    item.Fields(kReceiptColumn).SetValue(ReceiptText(values.receipt));
    for (const auto& [column, text] : values.group) {
        item.Fields(column).SetValue(text);
        UpdateInheritingRow(column, Value(text));
    }
    item.Update();
    item.Close();
    transaction.Commit();
    return StoreResult::Stored;
}

bool SaveApplication(const ApplicationValues& values) {
    StoreResult result;
    try {
        result = StoreApplication(values);
    } catch (...) {
        platform::Notify("保存失败...", "提示", platform::MsgIcon::Information);
        return false;
    }
    if (result == StoreResult::ItemMissing) {
        platform::Notify("模板数据库中已没有【" + CurrentItem().申请事项名称 +
                             "】的记录，申请书未能保存。",
                         "提示", platform::MsgIcon::Exclamation);
        return false;
    }
    platform::Notify("保存成功...", "提示", platform::MsgIcon::Information);
    return true;
}

} // namespace printing

#include "fieldforms/completeness.h"

#include "fieldforms/field_queries.h"
#include "platform/db.h"
#include "platform/prompter.h"
#include "startup/mainbas.h"
#include "util/convert.h"
#include "util/frmutil.h"

namespace fieldforms {
namespace {

using platform::db::Recordset;

std::string Text(Recordset& rs, const char* column) {
    return util::FieldText(rs.Fields(column));
}

bool IsIndividual(Recordset& item) {
    return util::LeadingNumber(Text(item, "单位个人")) == 2;
}

// The names of the columns that are empty, each as 【name】.
std::string Missing(Recordset& rs, std::initializer_list<const char*> columns) {
    std::string names;
    for (const char* column : columns)
        if (Text(rs, column).empty())
            names += std::string("【") + column + "】";
    return names;
}

// What the application form lacks; "" when it is complete (or has no row).
std::string ApplicationFormMissing() {
    Recordset item;
    item.Open(ItemRowQuery(), *TemplateConnection);
    std::string missing;
    if (!item.Eof()) {
        missing = Missing(item, {"行政审批项目名称", "行政区域"});
        if (IsIndividual(item))
            missing += Missing(item, {"个人姓名", "个人身份证号", "个人住址", "个人联系电话"});
        else
            missing += Missing(item, {"单位名称", "法人代表", "单位地址", "联系电话"});
    }
    item.Close();
    return missing;
}

int KindOf(Recordset& row) {
    return FieldKindOf(Text(row, "字段类型"));
}

// The required fields of the basic information without a value, read-only
// inherited ones included; "" when all are filled.
std::string BasicInformationMissing() {
    Recordset rows;
    rows.Open(RequiredRowsQuery(), *TemplateConnection);
    std::string missing;
    for (; !rows.Eof(); rows.MoveNext())
        if (Text(rows, ValueColumnFor(KindOf(rows))).empty())
            missing += "【" + Text(rows, "字段名称") + "】";
    rows.Close();
    return missing;
}

const char* const kUnitKeys[] = {"单位名称",   "法人代表",       "单位地址",   "联系电话",
                                 "邮编",       "电子邮箱",       "委托代理人", "代理人身份证号",
                                 "代理人住址", "代理人联系电话", "代理人邮编", "代理人电子邮箱"};
const char* const kIndividualKeys[] = {"个人姓名",     "个人身份证号", "个人住址",
                                       "个人联系电话", "个人邮编",     "个人电子邮箱"};

void WriteKey(Recordset& rs, const char* key, LineWriter& writer) {
    writer.WriteLine(std::string(key) + "=" + Text(rs, key));
}

void WriteApplicationLines(LineWriter& writer) {
    Recordset item;
    item.Open(ItemRowQuery(), *TemplateConnection);
    if (!item.Eof()) {
        for (const char* key : {"行政审批项目名称", "行政区域", "审批结果接收方式"})
            WriteKey(item, key, writer);
        if (IsIndividual(item)) {
            writer.WriteLine("单位个人=2");
            for (const char* key : kIndividualKeys)
                WriteKey(item, key, writer);
        } else {
            writer.WriteLine("单位个人=1");
            for (const char* key : kUnitKeys)
                WriteKey(item, key, writer);
        }
    }
    item.Close();
}

void WriteBasicInformationLines(LineWriter& writer) {
    Recordset rows;
    rows.Open(SummaryRowsQuery(), *TemplateConnection);
    for (; !rows.Eof(); rows.MoveNext()) {
        const std::string name = Text(rows, "字段名称");
        if (!name.empty())
            writer.WriteLine(name + "=" + Text(rows, ValueColumnFor(KindOf(rows))));
    }
    rows.Close();
}

} // namespace

bool CheckCompleteness(int mode) {
    const bool application = mode == kBothForms || mode == kApplicationForm;
    const bool basic = mode == kBothForms || mode == kBasicInformation;
    std::string missing;
    if (application && !(missing = ApplicationFormMissing()).empty()) {
        platform::Notify("行政审批申请书填写不完整：" + missing + "...", "错误提示",
                         platform::MsgIcon::Critical);
        return false;
    }
    if (basic && !(missing = BasicInformationMissing()).empty()) {
        platform::Notify("项目基本信息填写不完整：" + missing + "...", "错误提示",
                         platform::MsgIcon::Critical);
        return false;
    }
    return true;
}

void TextLines::WriteLine(std::string_view line) {
    text_.append(line);
    text_.append("\r\n");
}

void WriteApplicationSummary(int mode, LineWriter& writer) {
    if (mode == kBothForms || mode == kApplicationForm)
        WriteApplicationLines(writer);
    if (mode == kBothForms || mode == kBasicInformation)
        WriteBasicInformationLines(writer);
}

} // namespace fieldforms

#include "fieldforms/field_queries.h"

#include "platform/db.h"
#include "startup/mainbas.h"
#include "util/convert.h"

#include <cmath>
#include <limits>

namespace fieldforms {
namespace {

using platform::db::SqlQuote;

std::string ItemNumber() {
    return std::to_string(ItemTable.at(static_cast<std::size_t>(SelectedItem)).序号);
}

// "select * from 项目基本信息 where 类别=c [and 子项='s'] and ("
std::string Prefix() {
    std::string sql = "select * from 项目基本信息 where 类别=" + std::to_string(CategoryCode);
    if (!SubItemName.empty())
        sql += " and 子项=" + SqlQuote(SubItemName);
    return sql + " and (";
}

// The two orders the table's users write the 序号 condition in.
std::string SharedFirst() {
    return Prefix() + "序号=0 or 序号=" + ItemNumber() + ")";
}
std::string ItemFirst() {
    return Prefix() + "序号=" + ItemNumber() + " or 序号=0)";
}

} // namespace

std::string FormRowsQuery() {
    return SharedFirst() + " order by 排序号";
}

std::string FieldRowQuery(const std::string& fieldName) {
    return ItemFirst() + " and 字段名称=" + SqlQuote(fieldName);
}

std::string RequiredRowsQuery() {
    return ItemFirst() + " and 必填项=1";
}

std::string SummaryRowsQuery() {
    return ItemFirst() + " order by 排序号";
}

std::string InheritedRowQuery(const std::string& column) {
    return ItemFirst() + " and 继承字段名=" + SqlQuote(column) + " and 是否可编辑=0";
}

std::string FillingDateQuery() {
    return SharedFirst() + " and 字段名称=" + SqlQuote(kFillingDateField);
}

std::string ItemRowQuery() {
    return SelectedItemQuery();
}

int FieldKindOf(const std::string& storedKind) {
    const double kind = util::LeadingNumber(storedKind);
    if (kind != std::floor(kind) || kind < std::numeric_limits<int>::min() ||
        kind > std::numeric_limits<int>::max())
        return -1;
    return static_cast<int>(kind);
}

const char* ValueColumnFor(int kind) {
    return kind == kLongText ? "备注值" : "字段值";
}

} // namespace fieldforms

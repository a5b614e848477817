#pragma once
// Every query the program sends to 项目基本信息, the table of field
// definitions and values of the project-basic-information form, for the
// current item (CategoryCode, SubItemName and the 序号 of SelectedItem).
//
// A definition row belongs to the current item when its 类别 is the category,
// its 序号 is 0 (shared by every item) or the item's own, and, only when a
// sub-item is selected, its 子项 is that sub-item. Texts go into the queries
// through the database layer's quoting, so names holding an apostrophe work.

#include <string>

namespace fieldforms {

inline constexpr const char* kFieldTable = "项目基本信息";
// The row whose value is the date the materials list shows.
inline constexpr const char* kFillingDateField = "资料填报时间";

// All rows of the form in 排序号 order, as the form is built from them.
std::string FormRowsQuery();
// The row(s) of one input, found by its field name.
std::string FieldRowQuery(const std::string& fieldName);
// The required rows (必填项=1).
std::string RequiredRowsQuery();
// All rows in form order, as the summary lists them.
std::string SummaryRowsQuery();
// The read-only row that inherits the application-form column `column`.
std::string InheritedRowQuery(const std::string& column);
// The row of the filling date (字段名称 资料填报时间).
std::string FillingDateQuery();

// The selected item's row of 资料模板.
std::string ItemRowQuery();

// Field kinds (字段类型).
enum FieldKind { kText = 0, kNumber = 1, kDate = 2, kLongText = 3, kList = 4 };

// The kind a stored 字段类型 reads as, the same everywhere: its number when
// that is a whole number within int; -1 (a text box without type check) for a
// fraction such as "3.5", a number beyond int or no number at all.
int FieldKindOf(const std::string& storedKind);

// The column a row of the given kind keeps its value in: 备注值 for long
// text, 字段值 for every other kind.
const char* ValueColumnFor(int kind);

} // namespace fieldforms

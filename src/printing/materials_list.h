#pragma once
// The content of the materials list ("申请材料清单"): the header read from the
// template database and the numbered rows of linked files, laid out in pages
// of the list's 28 table rows.

#include <string>
#include <vector>

namespace printing {

// Table rows of one page of the list.
inline constexpr int kListRowsPerPage = 28;

struct ListHeader {
    std::string projectName; // 行政审批项目名称
    std::string applicant;   // 单位名称, or 个人姓名 when 单位个人 is 2
    std::string itemName;    // the item's 申请事项名称
    std::string fillingDate; // 字段值 of the field 资料填报时间, as stored
};

// The header of the selected item (SelectedItem, SubItemName) from
// TemplateConnection. Without a 资料模板 row every value stays empty; without
// a filling-date row the date stays empty. Database errors are not caught.
ListHeader LoadListHeader();

// Whether 单位个人 names an individual: its numeric value is 2 (an empty or
// other value means a unit).
bool IsIndividualApplicant(const std::string& unitOrPerson);

struct ListRow {
    std::string number; // counted over all pages: 1, 2, ...
    std::string title;
};

// Number of pages for `rowCount` rows: one page at least, so an empty list
// still shows (and prints) its header and empty table.
int ListPageCount(std::size_t rowCount);
// The rows of one page (from 0), numbered across the whole list.
std::vector<ListRow> ListPage(const std::vector<std::string>& titles, int page);

} // namespace printing

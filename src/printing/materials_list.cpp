#include "printing/materials_list.h"

#include "fieldforms/field_queries.h"
#include "platform/db.h"
#include "startup/mainbas.h"
#include "util/convert.h"
#include "util/frmutil.h"

#include <algorithm>

namespace printing {

bool IsIndividualApplicant(const std::string& unitOrPerson) {
    return util::LeadingNumber(unitOrPerson) == 2;
}

ListHeader LoadListHeader() {
    ListHeader header;
    platform::db::Recordset item;
    item.Open(fieldforms::ItemRowQuery(), *TemplateConnection);
    if (item.Eof()) {
        item.Close();
        return header;
    }
    header.projectName = util::FieldText(item.Fields("行政审批项目名称"));
    header.applicant = IsIndividualApplicant(util::FieldText(item.Fields("单位个人")))
                           ? util::FieldText(item.Fields("个人姓名"))
                           : util::FieldText(item.Fields("单位名称"));
    header.itemName = ItemTable.at(static_cast<std::size_t>(SelectedItem)).申请事项名称;

    platform::db::Recordset date;
    date.Open(fieldforms::FillingDateQuery(), *TemplateConnection);
    if (!date.Eof())
        header.fillingDate = util::FieldText(date.Fields("字段值"));
    date.Close();
    item.Close();
    return header;
}

int ListPageCount(std::size_t rowCount) {
    const std::size_t pages = (rowCount + kListRowsPerPage - 1) / kListRowsPerPage;
    return static_cast<int>(std::max<std::size_t>(pages, 1));
}

std::vector<ListRow> ListPage(const std::vector<std::string>& titles, int page) {
    std::vector<ListRow> rows;
    if (page < 0)
        return rows;
    const std::size_t first = static_cast<std::size_t>(page) * kListRowsPerPage;
    for (std::size_t i = first; i < titles.size() && i < first + kListRowsPerPage; ++i)
        rows.push_back({std::to_string(i + 1), titles[i]});
    return rows;
}

} // namespace printing

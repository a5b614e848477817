#include "util/template_db.h"

#include "util/frmutil.h"

#include <stdexcept>

namespace util {
namespace {

platform::db::Connection* NoConnection() {
    return nullptr;
}

std::int16_t NoCategory() {
    return 0;
}

std::int16_t NoSelectedItem() {
    throw std::out_of_range("no application item is selected");
}

constinit TemplateCatalogue catalogue{&NoConnection, &NoCategory, &NoSelectedItem};

} // namespace

void SetTemplateCatalogue(const TemplateCatalogue& given) {
    catalogue.connection = given.connection ? given.connection : &NoConnection;
    catalogue.category = given.category ? given.category : &NoCategory;
    catalogue.selectedItemNumber =
        given.selectedItemNumber ? given.selectedItemNumber : &NoSelectedItem;
}

platform::db::Connection& TemplateDatabase() {
    platform::db::Connection* connection = catalogue.connection();
    if (!connection)
        throw platform::db::DbError("template database is not open");
    return *connection;
}

} // namespace util

// Every column of the row but the two documents: an untrusted database can
// make those huge, so they are only read on their own, after their length is
// checked (template documents).
std::string SelectedItemQuery() {
    std::string columns;
    if (platform::db::Connection* connection = util::catalogue.connection()) {
        platform::db::Recordset info;
        info.Open("select name from pragma_table_info('资料模板')", *connection,
                  platform::db::CursorType::ForwardOnly, platform::db::LockType::ReadOnly);
        for (; !info.Eof(); info.MoveNext()) {
            const std::string name = util::FieldText(info.Fields(0));
            if (name != "XML模板" && name != "DOC模板")
                columns += (columns.empty() ? "" : ", ") + platform::db::QuoteIdentifier(name);
        }
        info.Close();
    }
    return "select " + (columns.empty() ? std::string("*") : columns) +
           " from 资料模板 where 类别=" + std::to_string(util::catalogue.category()) +
           " and 序号=" + std::to_string(util::catalogue.selectedItemNumber());
}

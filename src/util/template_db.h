#pragma once
// What the utilities need of start-up's catalogue: the one connection to the
// template database and the query of the selected item's row. The catalogue
// lives in start-up (its globals, src/startup/mainbas.cpp), which is above
// the utilities: start-up hands it over through SetTemplateCatalogue when its
// globals are made, and the utilities include this instead of the globals.

#include "platform/db.h"

#include <cstdint>
#include <string>

namespace util {

// Start-up's catalogue as the utilities see it.
struct TemplateCatalogue {
    // The open template database; null while none is open.
    platform::db::Connection* (*connection)() = nullptr;
    // The catalogue's category (类别).
    std::int16_t (*category)() = nullptr;
    // The number (序号) of the selected item; throws std::out_of_range when
    // no item is selected.
    std::int16_t (*selectedItemNumber)() = nullptr;
};

// Until start-up sets its own, no database is open and no item is selected.
void SetTemplateCatalogue(const TemplateCatalogue& catalogue);

// The open template database; throws platform::db::DbError when it is not open.
platform::db::Connection& TemplateDatabase();

} // namespace util

// Row of 资料模板 of the selected item, as every window reads it.
std::string SelectedItemQuery();

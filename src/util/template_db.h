#pragma once
// What the utilities need of start-up's catalogue: the one connection to the
// template database and the query of the selected item's row. Start-up
// defines both beside its globals (src/startup/mainbas.cpp); the utilities
// include this instead of the globals.

#include "platform/db.h"

#include <string>

namespace util {

// The open template database; throws platform::db::DbError when it is not open.
platform::db::Connection& TemplateDatabase();

} // namespace util

// Row of 资料模板 of the selected item, as every window reads it.
std::string SelectedItemQuery();

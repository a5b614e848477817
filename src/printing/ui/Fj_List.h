#pragma once
// Fj_List, the materials list window ("申请材料清单").

class QWidget;

namespace printing::ui {

// Shows the list of the selected item's linked files modally over `parent`.
void ShowMaterialsList(QWidget* parent);

} // namespace printing::ui

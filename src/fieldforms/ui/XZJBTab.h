#pragma once
// XZJBTab, the project-basic-information window ("项目基本信息表").

class QWidget;

namespace fieldforms::ui {

// Builds the form of the selected item and shows it modally over `parent`.
void ShowBasicInformationForm(QWidget* parent);

} // namespace fieldforms::ui

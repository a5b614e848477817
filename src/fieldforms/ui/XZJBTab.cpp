#include "fieldforms/ui/XZJBTab.h"

namespace fieldforms::ui {

void ShowBasicInformationForm(QWidget*) {}

} // namespace fieldforms::ui

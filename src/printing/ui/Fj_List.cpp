#include "printing/ui/Fj_List.h"

namespace printing::ui {

void ShowMaterialsList(QWidget*) {}

} // namespace printing::ui

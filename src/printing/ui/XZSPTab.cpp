#include "printing/ui/XZSPTab.h"

namespace printing::ui {

void ShowApplicationForm(QWidget*) {}

} // namespace printing::ui

#pragma once
// XZSPTab, the administrative-approval application form ("行政审批申请书").

class QWidget;

namespace printing::ui {

// Loads the selected item's application form and shows it modally over `parent`.
void ShowApplicationForm(QWidget* parent);

} // namespace printing::ui

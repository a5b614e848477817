#pragma once
// Opens the materials window for the item chosen in the main window.

class QWidget;

namespace startup {

// Shows the materials window of SelectedItem modally over `parent`.
void ShowMaterialsWindowFor(QWidget* parent);

} // namespace startup

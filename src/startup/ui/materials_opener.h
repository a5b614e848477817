#pragma once
// Opens the materials window for the item chosen in the main window.

class QWidget;

namespace startup {

// Shows the materials window modally over `parent`. Until that window is part
// of the program, a placeholder dialog names the chosen item instead.
void ShowMaterialsWindowFor(QWidget* parent);

} // namespace startup

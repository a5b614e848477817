#pragma once
// Opens the materials window for the item chosen in the main window.

#include <string>

class QWidget;

namespace startup {

// Shows the materials window of SelectedItem modally over `parent`;
// `linkFolder` is where its file dialog opens (see FrmFjgl::setLinkFolderMemory).
void ShowMaterialsWindowFor(QWidget* parent, std::string* linkFolder = nullptr);

} // namespace startup

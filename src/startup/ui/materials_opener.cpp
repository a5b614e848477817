#include "startup/ui/materials_opener.h"

#include "materials/ui/FrmFjgl.h"

namespace startup {

void ShowMaterialsWindowFor(QWidget* parent, std::string* linkFolder) {
    materials::ui::ShowMaterialsWindow(parent, linkFolder);
}

} // namespace startup

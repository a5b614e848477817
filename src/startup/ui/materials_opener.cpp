#include "startup/ui/materials_opener.h"

#include "materials/ui/FrmFjgl.h"

namespace startup {

void ShowMaterialsWindowFor(QWidget* parent) {
    materials::ui::ShowMaterialsWindow(parent);
}

} // namespace startup

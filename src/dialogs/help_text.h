#pragma once
// The fixed help text shown by the help window.

#include <string>

namespace dialogs {

// Lines separated by CR LF, each with its leading blanks; ends with a line break.
const std::string& HelpText();

} // namespace dialogs

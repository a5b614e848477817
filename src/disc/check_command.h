#pragma once
// `quillor --check-package FOLDER`: the package check without a window, as an
// applicant runs it before burning and an authority's clerk on a received
// disc. An interrupted save in a writable folder is repaired first; a
// read-only folder is only read.

#include "disc/package_check.h"

#include <ostream>
#include <string>

namespace materials {

// Exit statuses of the command.
inline constexpr int kCheckBurnable = 0;
inline constexpr int kCheckNotBurnable = 1;
inline constexpr int kCheckNoPackage = 2;

// Prints, in Chinese, what the repair did (or that a read-only folder was not
// repaired), one line per finding, and a last line with the verdict; returns
// kCheckBurnable, kCheckNotBurnable or kCheckNoPackage.
int RunCheckPackage(const std::string& folder, ContentInspector* inspector, std::ostream& out);

} // namespace materials

#pragma once
// `quillor --check-package [--repair] FOLDER`: the package check without a
// window, as an applicant runs it before burning and an authority's clerk on
// a received folder or disc. It writes nothing: a received folder must not be
// able to make the check act. An interrupted save is reported as an error,
// with the command that repairs it; with --repair (the applicant's own
// folder) it is repaired first where the folder is writable.

#include "disc/package_check.h"

#include <ostream>
#include <string>

namespace disc {

// Exit statuses of the command.
inline constexpr int kCheckBurnable = 0;
inline constexpr int kCheckNotBurnable = 1;
inline constexpr int kCheckNoPackage = 2;

// Prints, in Chinese, what the repair did (or why none was made), the
// findings (of each problem the first few and the number of the rest), and a
// last line with the verdict; returns kCheckBurnable, kCheckNotBurnable or
// kCheckNoPackage.
int RunCheckPackage(const std::string& folder, ContentInspector* inspector, std::ostream& out,
                    bool repair = false);

} // namespace disc

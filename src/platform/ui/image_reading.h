#pragma once
// Qt's image readers under the program's memory limit (platform/image_limits.h)
// instead of Qt's own smaller default, which refuses an A4 page at 600 dpi.

namespace platform::ui {

// Sets Qt's allocation limit once per process; safe from any thread.
void UseImageMemoryLimit();

} // namespace platform::ui

// The UTF-8 path helpers (platform/utf8.h) under the namespace they had
// before, for the image file reader (scan/ui/image_files.cpp) until it names
// them as platform's.
#include "platform/utf8.h"

namespace util {
using platform::PathFromUtf8;
using platform::PathToUtf8;
} // namespace util

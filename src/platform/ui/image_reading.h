#pragma once
// Qt's image readers under the program's memory limit (platform/image_limits.h)
// instead of Qt's own smaller default, which refuses an A4 page at 600 dpi.

namespace platform::ui {

// Sets Qt's allocation limit once per process; safe from any thread.
void UseImageMemoryLimit();

} // namespace platform::ui


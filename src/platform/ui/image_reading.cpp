#include "platform/ui/image_reading.h"

#include "platform/image_limits.h"

#include <QImageReader>

#include <mutex>

namespace platform::ui {

void UseImageMemoryLimit() {
    static std::once_flag once;
    std::call_once(
        once, [] { QImageReader::setAllocationLimit(static_cast<int>(kMaxImageBytes >> 20)); });
}

} // namespace platform::ui

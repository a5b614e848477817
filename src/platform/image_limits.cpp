#include "platform/image_limits.h"

namespace platform {

std::string ImageTooLargeMessage(std::uint64_t width, std::uint64_t height) {
    return "图片过大（" + std::to_string(width) + "×" + std::to_string(height) +
           "像素），超出程序一次可处理的图片大小（" + std::to_string(kMaxImagePixels / 1'000'000) +
           "百万像素、解码后" + std::to_string(kMaxImageBytes >> 20) +
           " MB）。请先缩小图片再添加。";
}

} // namespace platform

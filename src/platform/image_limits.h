#pragma once
// The program's one limit on pictures: how much memory the decoded pixels of
// one image may take, and how many pixels it may have. Every decoder of the
// program (libjpeg, Qt's image readers, libheif) checks an image's declared
// size against it before it allocates anything, and Qt's own allocation
// limit is set to it, so that a file whose header claims a huge size is
// refused at once with a sentence of ours, never with a library's English
// text or after gigabytes have been taken.

#include <cstdint>
#include <string>

namespace platform {

// 512 MB: an A3 page at 600 dpi in colour (7016 x 9921, 209 MB) decodes,
// also as Qt's 32-bit pixels (278 MB); a 14000 x 14000 photo does not.
inline constexpr std::uint64_t kMaxImageBytes = std::uint64_t{512} << 20;
// About A3 at 1200 dpi.
inline constexpr std::uint64_t kMaxImagePixels = 200'000'000;

// Whether an image of `width` x `height` decoded at `bytesPerPixel` stays
// within both limits.
inline bool ImageFitsMemory(std::uint64_t width, std::uint64_t height,
                            std::uint64_t bytesPerPixel) {
    return width > 0 && height > 0 && width * height <= kMaxImagePixels &&
           width * height * bytesPerPixel <= kMaxImageBytes;
}

// "图片过大（W×H像素）……": why such an image is refused, for the applicant.
std::string ImageTooLargeMessage(std::uint64_t width, std::uint64_t height);

} // namespace platform

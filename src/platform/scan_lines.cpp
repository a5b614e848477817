#include "platform/scan_lines.h"

#include "platform/image_limits.h"

#include <algorithm>
#include <cstring>

namespace platform {

std::optional<ScanLines> ScanLines::Start(const ScanFormat& f, int maxPixelsPerLine, int maxLines,
                                          std::string* problem) {
    const auto refuse = [&](const char* why) -> std::optional<ScanLines> {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    if ((f.depth != 1 && f.depth != 8 && f.depth != 16) || (f.channels != 1 && f.channels != 3) ||
        f.pixelsPerLine <= 0 || f.bytesPerLine <= 0 || maxLines <= 0)
        return refuse("扫描仪送来的图像格式不受支持。");
    const std::uint64_t needed =
        (std::uint64_t{static_cast<unsigned>(f.pixelsPerLine)} * f.channels * f.depth + 7) / 8;
    if (static_cast<std::uint64_t>(f.bytesPerLine) < needed)
        return refuse("扫描仪送来的图像数据有误（每行的字节数少于宽度所需），已停止扫描。");
    if (f.pixelsPerLine > maxPixelsPerLine)
        return refuse("扫描仪送来的图像宽度超出所选的扫描范围，已停止扫描。");
    ScanLines s;
    s.format_ = f;
    s.maxLines_ = f.lines > 0 ? std::min(f.lines, maxLines) : maxLines;
    s.rowBytes_ = static_cast<std::size_t>(f.pixelsPerLine) * f.channels;
    if (!ImageFitsMemory(static_cast<std::uint64_t>(f.pixelsPerLine),
                         static_cast<std::uint64_t>(s.maxLines_),
                         static_cast<std::uint64_t>(f.channels)))
        return refuse("扫描的页面过大，超出程序一次可处理的图片大小，请降低分辨率或缩小扫描范围。");
    if (f.lines > 0)
        s.pixels_.reserve(s.rowBytes_ * static_cast<std::size_t>(s.maxLines_));
    s.carry_.reserve(static_cast<std::size_t>(f.bytesPerLine));
    return s;
}

void ScanLines::convert(const std::uint8_t* in) {
    const std::size_t at = pixels_.size();
    pixels_.resize(at + rowBytes_);
    std::uint8_t* out = pixels_.data() + at;
    if (format_.depth == 8) {
        std::memcpy(out, in, rowBytes_);
    } else if (format_.depth == 16) { // native byte order; the high byte
        for (std::size_t i = 0; i < rowBytes_; ++i) {
            std::uint16_t v;
            std::memcpy(&v, in + 2 * i, 2);
            out[i] = static_cast<std::uint8_t>(v >> 8);
        }
    } else { // 1 bit, 1 = black
        for (std::size_t i = 0; i < rowBytes_; ++i)
            out[i] = (in[i >> 3] & (0x80 >> (i & 7))) ? 0 : 255;
    }
    ++lines_;
}

bool ScanLines::add(const std::uint8_t* data, std::size_t size) {
    const auto line = static_cast<std::size_t>(format_.bytesPerLine);
    while (size > 0 && lines_ < maxLines_) {
        if (carry_.empty() && size >= line) { // whole lines straight from the read
            convert(data);
            data += line, size -= line;
            continue;
        }
        const std::size_t take = std::min(size, line - carry_.size());
        carry_.insert(carry_.end(), data, data + take);
        data += take, size -= take;
        if (carry_.size() == line) {
            convert(carry_.data());
            carry_.clear();
        }
    }
    return lines_ < maxLines_;
}

ScannedPage ScanLines::take(double dpi) {
    ScannedPage page;
    page.width = format_.pixelsPerLine;
    page.height = lines_;
    page.channels = format_.channels;
    page.dpi = dpi;
    page.pixels = std::move(pixels_);
    pixels_.clear();
    lines_ = 0;
    return page;
}

} // namespace platform

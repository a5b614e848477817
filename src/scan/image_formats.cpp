#include "scan/image_formats.h"

#include "platform/image_limits.h"
#include "platform/program_module.h"

#include <cstring>

namespace scan {
namespace {

bool Starts(const std::vector<std::uint8_t>& b, std::size_t at, const char* text) {
    const std::size_t n = std::strlen(text);
    return b.size() >= at + n && std::memcmp(b.data() + at, text, n) == 0;
}

// The module's entry points (src/scan/heif/heif_module.cpp).
using HeifSize = bool (*)(const std::uint8_t*, std::size_t, int*, int*);
using HeifDecode = bool (*)(const std::uint8_t*, std::size_t, HeifPicture*, bool*);

HeifSize HeifSizeFunction() {
    static const HeifSize f =
        platform::ModuleFunction<HeifSize>("quillor-heif", "quillor_heif_size");
    return f;
}

HeifDecode HeifDecodeFunction() {
    static const HeifDecode f =
        platform::ModuleFunction<HeifDecode>("quillor-heif", "quillor_heif_decode");
    return f;
}

class HeifSource final : public PageSource {
  public:
    HeifSource(SourceInfo info, std::vector<std::uint8_t> bytes)
        : PageSource(info), bytes_(std::move(bytes)) {}

    std::optional<Raster> decode(int, int, DecodeFailure* failure) const override {
        const HeifDecode decodeHeif = HeifDecodeFunction();
        HeifPicture picture;
        bool tooLarge = false;
        if (!decodeHeif || !decodeHeif(bytes_.data(), bytes_.size(), &picture, &tooLarge)) {
            if (failure)
                *failure = !decodeHeif ? DecodeFailure::MissingModule
                           : tooLarge  ? DecodeFailure::TooLarge
                                       : DecodeFailure::Damaged;
            return std::nullopt;
        }
        return std::move(picture.pixels);
    }
    std::size_t heldBytes() const override { return bytes_.size(); }

  private:
    std::vector<std::uint8_t> bytes_;
};

} // namespace

const char* const kHeicHelp =
    "这是iPhone等手机默认保存的HEIC格式照片，本机缺少读取该格式的组件。请在手机上改存为JPEG后再添加"
    "："
    "在iPhone的“设置”→“照片”中，把“传输到Mac或PC”设为“自动”，再用数据线把照片导入电脑，"
    "导入的照片即为JPEG；以后拍摄的照片可在“设置”→“相机”→“格式”中选择“兼容性最佳”，"
    "直接存为JPEG。";

ImageKind SniffImage(const std::vector<std::uint8_t>& b) {
    if (b.size() >= 3 && b[0] == 0xFF && b[1] == 0xD8 && b[2] == 0xFF)
        return ImageKind::Jpeg;
    if (Starts(b, 0, "\x89PNG\r\n\x1a\n"))
        return ImageKind::Png;
    if (Starts(b, 0, "GIF87a") || Starts(b, 0, "GIF89a"))
        return ImageKind::Gif;
    if (Starts(b, 0, "BM") && b.size() > 26)
        return ImageKind::Bmp;
    if (Starts(b, 0, "II*\0") || Starts(b, 0, "MM\0*") || Starts(b, 0, "II+\0") ||
        Starts(b, 0, "MM\0+"))
        return ImageKind::Tiff;
    if (Starts(b, 0, "RIFF") && Starts(b, 8, "WEBP"))
        return ImageKind::WebP;
    if (Starts(b, 4, "ftyp"))
        for (const char* brand : {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1"})
            if (Starts(b, 8, brand))
                return ImageKind::Heif;
    return ImageKind::Unknown;
}

bool IsLosslessWebP(const std::vector<std::uint8_t>& b) {
    return Starts(b, 12, "VP8L") ||
           (Starts(b, 12, "VP8X") && b.size() > 30 && Starts(b, 30, "VP8L"));
}

SourcePtr MakeHeifSource(std::vector<std::uint8_t> bytes, std::string* error) {
    const HeifSize size = HeifSizeFunction();
    if (!size || !HeifDecodeFunction()) {
        if (error)
            *error = kHeicHelp;
        return nullptr;
    }
    SourceInfo info;
    if (!size(bytes.data(), bytes.size(), &info.width, &info.height)) {
        if (error)
            *error = DecodeFailureMessage(DecodeFailure::Damaged, info);
        return nullptr;
    }
    // Decoded as RGBA before it is flattened.
    if (!platform::ImageFitsMemory(static_cast<std::uint64_t>(info.width),
                                   static_cast<std::uint64_t>(info.height), 4)) {
        if (error)
            *error = DecodeFailureMessage(DecodeFailure::TooLarge, info);
        return nullptr;
    }
    info.lossy = true;
    return std::make_shared<HeifSource>(info, std::move(bytes));
}

std::shared_ptr<FaxStrip> TiffFaxStrip(const std::vector<std::uint8_t>& bytes, int page) {
    using Strip = bool (*)(const std::uint8_t*, std::size_t, int, FaxStrip*);
    static const Strip strip =
        platform::ModuleFunction<Strip>("quillor-tiff", "quillor_tiff_fax_strip");
    auto out = std::make_shared<FaxStrip>();
    if (!strip || !strip(bytes.data(), bytes.size(), page, out.get()))
        return nullptr;
    return out;
}

} // namespace scan

#include "scan/shrink.h"

#include "platform/durable_file.h"
#include "platform/program_module.h"
#include "platform/utf8.h"
#include "scan/jpeg.h"
#include "scan/raster.h"
#include "scan/scan_files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace scan {
namespace {

constexpr double kA4LongInches = 297 / 25.4;
constexpr double kA4ShortInches = 210 / 25.4;

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool WriteAll(const std::filesystem::path& path, const std::vector<std::uint8_t>& data) {
    return !platform::WriteFileDurably(
        path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

} // namespace

ShrinkResult ShrinkAny(const std::string& source, const std::string& target,
                       const ShrinkOptions& o);

bool CanShrink(const std::string& path) {
    const std::string ext = Lower(util::PathFromUtf8(path).extension().string());
    return ext == ".jpg" || ext == ".jpeg" || ext == ".pdf";
}

ShrinkResult ShrinkJpeg(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& out,
                        const ShrinkOptions& o) {
    std::string why;
    const std::optional<Raster> pixels = DecodeJpeg(bytes, 1, &why);
    if (!pixels)
        return ShrinkFailure(ShrinkStatus::Damaged, why == "CMYK" ? "不支持CMYK颜色的JPEG文件。"
                                                                  : "JPEG文件已损坏，无法压缩。");
    int w = 0, h = 0;
    FitWithin(pixels->width, pixels->height, kA4LongInches * o.maxDpi, kA4ShortInches * o.maxDpi, w,
              h);
    const Raster reduced = Downsample(*pixels, w, h);
    // The resolution at which the reduced image fills an A4 page.
    const double dpi = std::max(reduced.width, reduced.height) / kA4LongInches;
    out = EncodeJpeg(reduced, o.jpegQuality, std::min<double>(dpi, o.maxDpi));
    ShrinkResult r;
    r.bytesBefore = bytes.size();
    r.bytesAfter = out.size();
    r.pages = 1;
    r.imagesChanged = 1;
    return r;
}

ShrinkResult ShrinkPdf(const std::string& source, const std::string& target,
                       const ShrinkOptions& o) {
    using Shrink = ShrinkResult (*)(const std::string&, const std::string&, const ShrinkOptions&);
    static const Shrink shrink =
        platform::ModuleFunction<Shrink>("quillor-pdfwrite", "quillor_shrink_pdf");
    if (!shrink)
        return ShrinkFailure(ShrinkStatus::NotSupported,
                             "缺少程序的PDF组件 quillor-pdfwrite，无法压缩PDF文件。");
    ShrinkResult result;
    const std::error_code error = platform::WriteThroughTemporary(
        util::PathFromUtf8(target), [&](const std::filesystem::path& temporary) {
            result = shrink(source, util::PathToUtf8(temporary), o);
            return result.ok();
        });
    if (result.ok() && error)
        return ShrinkFailure(ShrinkStatus::WriteFailed, "无法写入压缩后的文件。");
    return result;
}

ShrinkResult ShrinkFile(const std::string& source, const std::string& target,
                        const ShrinkOptions& o) {
    try {
        return ShrinkAny(source, target, o);
    } catch (const std::bad_alloc&) {
        return ShrinkFailure(ShrinkStatus::Damaged, "内存不足，无法压缩该文件。");
    }
}

ShrinkResult ShrinkAny(const std::string& source, const std::string& target,
                       const ShrinkOptions& o) {
    if (!CanShrink(source))
        return ShrinkFailure(ShrinkStatus::NotSupported, "只能压缩JPEG图片和PDF文件。");
    const std::filesystem::path in = util::PathFromUtf8(source);
    if (Lower(in.extension().string()) == ".pdf")
        return ShrinkPdf(source, target, o);
    std::vector<std::uint8_t> bytes, out;
    if (!ReadInputFile(source, bytes))
        return ShrinkFailure(ShrinkStatus::Unreadable, "无法读取文件：" + source);
    ShrinkResult r = ShrinkJpeg(bytes, out, o);
    if (!r.ok())
        return r;
    if (!WriteAll(util::PathFromUtf8(target), out))
        return ShrinkFailure(ShrinkStatus::WriteFailed, "无法写入压缩后的文件。");
    return r;
}

} // namespace scan

#include "scan/shrink.h"

#include "platform/durable_file.h"
#include "platform/file_read.h"
#include "platform/program_module.h"
#include "platform/utf8.h"
#include "scan/jpeg.h"
#include "scan/raster.h"
#include "scan/scan_files.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <new>
#include <system_error>

namespace scan {
namespace {

constexpr double kA4LongInches = 297 / 25.4;
constexpr double kA4ShortInches = 210 / 25.4;

bool IsPdf(const std::string& path) {
    return platform::AsciiLower(platform::PathFromUtf8(path).extension().string()) == ".pdf";
}

bool WriteAll(const std::filesystem::path& path, const std::vector<std::uint8_t>& data) {
    return !platform::WriteFileDurably(
        path, std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
}

// The size a JPEG of `w` x `h` (upright) is reduced to: its short side an A4
// page's width at `dpi`, never larger than it is.
void ShrunkSize(int w, int h, int dpi, int& outW, int& outH) {
    const double f = std::min(1.0, kA4ShortInches * dpi / std::max(1, std::min(w, h)));
    outW = std::max(1, static_cast<int>(std::lround(w * f)));
    outH = std::max(1, static_cast<int>(std::lround(h * f)));
}

ShrinkResult ShrinkAny(const std::string& source, const std::string& target,
                       const ShrinkOptions& o) {
    if (!CanShrink(source))
        return ShrinkFailure(ShrinkStatus::NotSupported, "只能压缩JPEG图片和PDF文件。");
    // Nothing but a regular file is handed to a library (a pipe or a device
    // of that name would never end).
    if (!platform::IsReadableRegularFile(platform::PathFromUtf8(source)))
        return ShrinkFailure(ShrinkStatus::Unreadable, "无法读取文件（不是普通文件）：" + source);
    if (IsPdf(source))
        return ShrinkPdf(source, target, o);
    std::vector<std::uint8_t> bytes, out;
    if (!ReadInputFile(source, bytes))
        return ShrinkFailure(ShrinkStatus::Unreadable, "无法读取文件：" + source);
    ShrinkResult r = ShrinkJpeg(bytes, out, o);
    if (!r.ok())
        return r;
    if (o.cancelled())
        return ShrinkFailure(ShrinkStatus::Cancelled, "");
    if (!WriteAll(platform::PathFromUtf8(target), out))
        return ShrinkFailure(ShrinkStatus::WriteFailed, "无法写入压缩后的文件。");
    return r;
}

} // namespace

bool CanShrink(const std::string& path) {
    const std::string ext = platform::AsciiLower(platform::PathFromUtf8(path).extension().string());
    return ext == ".jpg" || ext == ".jpeg" || ext == ".pdf";
}

ShrinkResult ShrinkJpeg(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& out,
                        const ShrinkOptions& o) {
    const std::optional<JpegInfo> info = ReadJpegInfo(bytes);
    if (!info)
        return ShrinkFailure(ShrinkStatus::Damaged, "JPEG文件已损坏，无法压缩。");
    const bool transposed = info->orientation >= 5;
    const int w = transposed ? info->height : info->width;
    const int h = transposed ? info->width : info->height;
    int tw = 0, th = 0;
    ShrunkSize(w, h, o.maxDpi, tw, th);
    JpegDecoding how;
    how.orient = true; // upright pixels, no tag left to ignore
    how.minWidth = transposed ? th : tw;
    how.minHeight = transposed ? tw : th;
    DecodeFailure failure = DecodeFailure::None;
    const std::optional<Raster> pixels = DecodeJpeg(bytes.data(), bytes.size(), how, &failure);
    if (!pixels) {
        if (failure == DecodeFailure::TooLarge)
            return ShrinkFailure(ShrinkStatus::OutOfMemory,
                                 "图片过大，超出程序一次可处理的大小，无法压缩。");
        return ShrinkFailure(ShrinkStatus::Damaged, failure == DecodeFailure::Unsupported
                                                        ? "不支持这种JPEG编码（12位），无法压缩。"
                                                        : "JPEG文件已损坏，无法压缩。");
    }
    if (o.progress)
        o.progress(0.5);
    const Raster reduced = Downsample(*pixels, tw, th);
    // The resolution at which the reduced image fits an A4 page.
    const double dpi = std::max(std::max(reduced.width, reduced.height) / kA4LongInches,
                                std::min(reduced.width, reduced.height) / kA4ShortInches);
    out = EncodeJpeg(reduced, o.jpegQuality, dpi);
    if (out.empty())
        return ShrinkFailure(ShrinkStatus::OutOfMemory, "内存不足，无法压缩该文件。");
    if (o.progress)
        o.progress(1.0);
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
        platform::PathFromUtf8(target), [&](const std::filesystem::path& temporary) {
            result = shrink(source, platform::PathToUtf8(temporary), o);
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
    } catch (const std::exception& e) {
        return ShrinkFailureOf(e, IsPdf(source));
    }
}

std::optional<ShrinkEstimate> EstimateShrink(const std::string& path, const ShrinkOptions& o) {
    if (!CanShrink(path) || !platform::IsReadableRegularFile(platform::PathFromUtf8(path)))
        return std::nullopt;
    try {
        if (IsPdf(path)) {
            using Estimate = bool (*)(const std::string&, const ShrinkOptions&, ShrinkEstimate*);
            static const Estimate estimate =
                platform::ModuleFunction<Estimate>("quillor-pdfwrite", "quillor_estimate_shrink");
            ShrinkEstimate e;
            if (!estimate || !estimate(path, o, &e))
                return std::nullopt;
            return e;
        }
        std::vector<std::uint8_t> bytes;
        if (!ReadInputFile(path, bytes))
            return std::nullopt;
        const std::optional<JpegInfo> info = ReadJpegInfo(bytes);
        if (!info)
            return std::nullopt;
        int tw = 0, th = 0;
        ShrunkSize(info->width, info->height, o.maxDpi, tw, th);
        ShrinkEstimate e;
        e.bytesBefore = bytes.size();
        e.bytesAfter = std::min<std::uint64_t>(
            e.bytesBefore,
            EstimatedJpegBytes(static_cast<std::uint64_t>(tw) * th, info->components));
        return e;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

} // namespace scan

#pragma once
// "压缩...": a smaller copy of a linked JPEG or PDF. A JPEG is turned upright
// (its EXIF orientation applied to the pixels: the authority's viewers may
// ignore the tag), reduced so that its short side is an A4 page's width at
// `maxDpi` (never more than it has: a long receipt or screenshot stays
// legible) and encoded again; in a PDF each image is reduced to at most
// `maxDpi` over its page and stored as JPEG, while text and drawings stay as
// they are. The original is only read.

#include <atomic>
#include <cstdint>
#include <exception>
#include <functional>
#include <new>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace scan {

struct ShrinkOptions {
    int maxDpi = 200;
    int jpegQuality = 75;
    // The share done (0..1), between pages; called on the thread that shrinks.
    std::function<void(double)> progress;
    // Polled between pages: the copy is abandoned when it turns true.
    const std::atomic<bool>* cancel = nullptr;
    bool cancelled() const { return cancel && cancel->load(); }
};

enum class ShrinkStatus {
    Ok,
    NotSupported,
    Unreadable,
    Encrypted,
    Damaged,
    WriteFailed,
    OutOfMemory,
    Cancelled
};

struct ShrinkResult {
    ShrinkStatus status = ShrinkStatus::Ok;
    std::string message; // for the applicant, when not Ok
    std::uint64_t bytesBefore = 0;
    std::uint64_t bytesAfter = 0;
    int pages = 0;
    int imagesChanged = 0;
    bool ok() const { return status == ShrinkStatus::Ok; }
};

inline ShrinkResult ShrinkFailure(ShrinkStatus status, std::string message) {
    ShrinkResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
}

// What an exception while shrinking means for the applicant: memory running
// out says so; anything else is a damaged file.
inline ShrinkResult ShrinkFailureOf(const std::exception& e, bool pdf) {
    if (dynamic_cast<const std::bad_alloc*>(&e))
        return ShrinkFailure(
            ShrinkStatus::OutOfMemory,
            "内存不足，无法压缩该文件。请关闭其他程序后重试，或选择较低的分辨率。");
    return ShrinkFailure(ShrinkStatus::Damaged,
                         pdf ? "该PDF文件已损坏，无法压缩。" : "JPEG文件已损坏，无法压缩。");
}

// Whether "压缩..." takes the file (by its extension: .jpg/.jpeg/.pdf).
bool CanShrink(const std::string& path);

// Writes the smaller copy of `source` to `target` (a new file; through a
// temporary one, so a failure leaves nothing). Only a regular file is opened.
ShrinkResult ShrinkFile(const std::string& source, const std::string& target,
                        const ShrinkOptions& options = {});

ShrinkResult ShrinkJpeg(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& out,
                        const ShrinkOptions& options);
ShrinkResult ShrinkPdf(const std::string& source, const std::string& target,
                       const ShrinkOptions& options);

// About what "压缩..." would make of a file, without making it (the headers
// of a JPEG, the images of a PDF): for the offer after an oversized save.
// Nullopt for a file it does not take.
struct ShrinkEstimate {
    std::uint64_t bytesBefore = 0;
    std::uint64_t bytesAfter = 0;
};
std::optional<ShrinkEstimate> EstimateShrink(const std::string& path,
                                             const ShrinkOptions& options = {});

// About the bytes of a JPEG of `pixels` pixels at quality 75 (a photo or a
// scanned page): 0.8 bits a pixel in colour, half that in grey.
inline std::uint64_t EstimatedJpegBytes(std::uint64_t pixels, int components) {
    return pixels * (components == 1 ? 1 : 2) / 20;
}

} // namespace scan

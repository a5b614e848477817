#pragma once
// "压缩...": a smaller copy of a linked JPEG or PDF. A JPEG is reduced to at
// most `maxDpi` at A4 and encoded again; in a PDF each image is reduced to
// at most `maxDpi` over its page and stored as JPEG, while text and drawings
// stay as they are. The original is only read.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace scan {

struct ShrinkOptions {
    int maxDpi = 200;
    int jpegQuality = 75;
};

enum class ShrinkStatus { Ok, NotSupported, Unreadable, Encrypted, Damaged, WriteFailed };

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

// Whether "压缩..." takes the file (by its extension: .jpg/.jpeg/.pdf).
bool CanShrink(const std::string& path);

// Writes the smaller copy of `source` to `target` (a new file; through a
// temporary one, so a failure leaves nothing).
ShrinkResult ShrinkFile(const std::string& source, const std::string& target,
                        const ShrinkOptions& options = {});

ShrinkResult ShrinkJpeg(const std::vector<std::uint8_t>& bytes, std::vector<std::uint8_t>& out,
                        const ShrinkOptions& options);
ShrinkResult ShrinkPdf(const std::string& source, const std::string& target,
                       const ShrinkOptions& options);

} // namespace scan

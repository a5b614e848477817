#include "scan/png.h"

#include <cstring>
#include <optional>

namespace scan {
namespace {

constexpr std::uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

// Walks the chunks; `visit(type, data, length)` returns false to stop. False
// when a chunk runs past the end.
template <class Visit> bool Chunks(const std::vector<std::uint8_t>& b, Visit visit) {
    if (b.size() < 8 || std::memcmp(b.data(), kSignature, 8) != 0)
        return false;
    std::size_t at = 8;
    while (b.size() - at >= 12) {
        const std::uint32_t length = Be32(&b[at]);
        if (length > b.size() - at - 12)
            return false;
        const std::string type(reinterpret_cast<const char*>(&b[at + 4]), 4);
        if (!visit(type, &b[at + 8], length))
            return true;
        if (type == "IEND")
            return true;
        at += 12 + length;
    }
    return false; // no IEND
}

} // namespace

std::optional<PngHeader> ReadPngHeader(const std::vector<std::uint8_t>& bytes) {
    PngHeader h;
    bool header = false;
    Chunks(bytes, [&](const std::string& type, const std::uint8_t* p, std::uint32_t n) {
        if (type == "IHDR" && n >= 13) {
            h.width = static_cast<int>(std::min<std::uint32_t>(Be32(p), 0x7fffffff));
            h.height = static_cast<int>(std::min<std::uint32_t>(Be32(p + 4), 0x7fffffff));
            h.depth = p[8];
            h.colourType = p[9];
            h.interlaced = p[12] != 0;
            header = p[10] == 0 && p[11] == 0;
        } else if (type == "tRNS") {
            h.transparency = true;
        } else if (type == "pHYs" && n >= 9 && p[8] == 1) {
            h.dpiX = Be32(p) * 0.0254;
            h.dpiY = Be32(p + 4) * 0.0254;
        }
        return type != "IDAT"; // the header chunks come before the data
    });
    if (!header || h.width <= 0 || h.height <= 0)
        return std::nullopt;
    return h;
}

std::shared_ptr<PdfImage> PngAsPdfImage(const std::vector<std::uint8_t>& bytes) {
    const std::optional<PngHeader> h = ReadPngHeader(bytes);
    if (!h || h->interlaced || h->transparency)
        return nullptr;
    const bool plain = (h->colourType == 0 &&
                        (h->depth == 1 || h->depth == 2 || h->depth == 4 || h->depth == 8)) ||
                       (h->colourType == 2 && h->depth == 8) ||
                       (h->colourType == 3 && h->depth <= 8);
    if (!plain)
        return nullptr;
    auto image = std::make_shared<PdfImage>();
    bool complete = false;
    const bool walked =
        Chunks(bytes, [&](const std::string& type, const std::uint8_t* p, std::uint32_t n) {
            if (type == "PLTE")
                image->palette.assign(p, p + n - n % 3);
            else if (type == "IDAT")
                image->data.insert(image->data.end(), p, p + n);
            else if (type == "IEND")
                complete = true;
            return true;
        });
    if (!walked || !complete || image->data.empty())
        return nullptr;
    if (h->colourType == 3 && (image->palette.empty() || image->palette.size() > 256 * 3))
        return nullptr;
    image->coding = PdfImage::Coding::Flate;
    image->pngPredictors = true;
    image->width = h->width;
    image->height = h->height;
    image->bitsPerComponent = h->depth;
    image->components = h->colourType == 2 ? 3 : 1;
    image->storedSize = image->data.size();
    return image;
}

} // namespace scan

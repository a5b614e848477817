#include "scan/page_encoding.h"

#include "scan/flate.h"

#include <algorithm>
#include <cmath>

namespace scan {
namespace {

const QualityPreset kPresets[kQualityCount] = {
    {"清晰", 300, 85},
    {"标准", 200, 75},
    {"小巧", 150, 55},
};

// A kept encoding may be this much larger than what the preset writes.
constexpr double kKeepFactor = 1.5;

std::shared_ptr<PdfImage> Bits(const Bilevel& bits, Resolution dpi) {
    auto image = std::make_shared<PdfImage>();
    image->coding = PdfImage::Coding::Flate;
    image->pngPredictors = true;
    image->width = bits.width;
    image->height = bits.height;
    image->components = 1;
    image->bitsPerComponent = 1;
    image->blackIsOne = true;
    image->data = DeflateRows(bits.bits.data(), bits.height, bits.stride(), 1);
    image->storedSize = image->data.size();
    image->dpiX = dpi.x;
    image->dpiY = dpi.y;
    return image;
}

std::shared_ptr<PdfImage> Lossless(const Raster& pixels, Resolution dpi) {
    auto image = std::make_shared<PdfImage>();
    image->coding = PdfImage::Coding::Flate;
    image->pngPredictors = true;
    image->width = pixels.width;
    image->height = pixels.height;
    image->components = pixels.channels;
    image->data =
        DeflateRows(pixels.pixels.data(), pixels.height, pixels.stride(), pixels.channels);
    image->storedSize = image->data.size();
    image->dpiX = dpi.x;
    image->dpiY = dpi.y;
    return image;
}

std::shared_ptr<PdfImage> Jpeg(const Raster& pixels, Resolution dpi, int quality) {
    auto image = std::make_shared<PdfImage>();
    image->coding = PdfImage::Coding::Jpeg;
    image->width = pixels.width;
    image->height = pixels.height;
    image->components = pixels.channels;
    image->data = EncodeJpeg(pixels, quality, dpi.x);
    image->storedSize = image->data.size();
    image->dpiX = dpi.x;
    image->dpiY = dpi.y;
    return image;
}

// What the preset's JPEG of the pixels would take, known from encoding one
// band of rows in four (the bands of 16 rows a JPEG codes together), which
// is a quarter of the work of encoding it whole.
std::size_t JpegBytesOf(const Raster& pixels, int quality) {
    constexpr int kBand = 16;
    if (pixels.height < 16 * kBand)
        return EncodeJpeg(pixels, quality).size();
    Raster sample = MakeRaster(pixels.width, 0, pixels.channels);
    for (int y = 0; y < pixels.height; y += 4 * kBand) {
        const int rows = std::min(kBand, pixels.height - y);
        sample.pixels.insert(sample.pixels.end(), pixels.row(y),
                             pixels.row(y) + pixels.stride() * rows);
        sample.height += rows;
    }
    return EncodeJpeg(sample, quality).size() * static_cast<std::size_t>(pixels.height) /
           static_cast<std::size_t>(sample.height);
}

// An own coding placed on the page at its resolution (the bytes shared).
std::shared_ptr<const PdfImage> Placed(const std::shared_ptr<const PdfImage>& own, Resolution dpi) {
    if (std::abs(own->dpiX - dpi.x) < 1e-6 && std::abs(own->dpiY - dpi.y) < 1e-6)
        return own;
    auto copy = std::make_shared<PdfImage>(*own);
    copy->dpiX = dpi.x;
    copy->dpiY = dpi.y;
    return copy;
}

// A page within its preset, from its full pixels: the source's own coding
// (or, for a source without loss, a lossless coding) unless a JPEG at the
// preset's quality is much smaller.
std::shared_ptr<const PdfImage> KeptOrJpeg(const Raster& pixels, ColourMode mode, bool lossy,
                                           const std::shared_ptr<const PdfImage>& coding,
                                           Resolution dpi, int quality) {
    const Raster* full = &pixels;
    Raster grey;
    if (mode == ColourMode::Grey && full->channels != 1) {
        grey = ToGrey(*full);
        full = &grey;
    }
    std::shared_ptr<const PdfImage> kept = coding ? Placed(coding, dpi) : nullptr;
    if (!kept && !lossy)
        kept = Lossless(*full, dpi);
    if (kept && static_cast<double>(kept->bytes()) <=
                    kKeepFactor * static_cast<double>(JpegBytesOf(*full, quality)))
        return kept;
    return Jpeg(*full, dpi, quality);
}

} // namespace

const QualityPreset& Preset(Quality q) {
    return kPresets[static_cast<int>(q)];
}

Resolution PageDpi(const SourceInfo& info, bool scanned) {
    if (scanned && info.dpiX > 0)
        return {info.dpiX, info.dpiY > 0 ? info.dpiY : info.dpiX};
    return PageResolution(info);
}

std::shared_ptr<const PdfImage> EncodePixels(const Raster& pixels, Resolution dpi, ColourMode mode,
                                             const QualityPreset& preset) {
    int w = pixels.width, h = pixels.height;
    ScaledSize(pixels.width, pixels.height, dpi.x, preset.dpi, w, h);
    const Resolution out{dpi.x * w / std::max(1, pixels.width),
                         dpi.y * h / std::max(1, pixels.height)};
    const bool reduce = w != pixels.width || h != pixels.height;
    if (mode == ColourMode::BlackWhite) {
        // Reduced in grey first, so thin strokes survive the smaller size.
        Raster grey = reduce ? Downsample(pixels, w, h) : Raster{};
        if (reduce)
            MakeGrey(grey);
        else if (pixels.channels != 1)
            grey = ToGrey(pixels);
        const Raster& g = reduce || pixels.channels != 1 ? grey : pixels;
        return Bits(Threshold(g, PaperThreshold(g)), out);
    }
    if (!reduce && (mode == ColourMode::Colour || pixels.channels == 1))
        return Jpeg(pixels, out, preset.jpegQuality);
    Raster reduced = reduce ? Downsample(pixels, w, h) : pixels;
    if (mode == ColourMode::Grey)
        MakeGrey(reduced);
    return Jpeg(reduced, out, preset.jpegQuality);
}

std::shared_ptr<const PdfImage> EncodePage(const PageSource& source, ColourMode mode, bool scanned,
                                           Quality q, DecodeFailure* failure,
                                           const Raster* decoded) {
    const SourceInfo& info = source.info();
    // The pixels at (at least) the size asked for: those held already, or
    // decoded into `own`.
    std::optional<Raster> own;
    const auto pixelsAt = [&](int w, int h) -> const Raster* {
        if (decoded)
            return decoded;
        own = source.decode(w, h, failure);
        return own ? &*own : nullptr;
    };
    const QualityPreset& preset = Preset(q);
    const Resolution dpi = PageDpi(info, scanned);
    const std::shared_ptr<const PdfImage> coding = source.ownCoding();
    if (info.bilevel && !scanned) {
        // Black and white from a file: one bit at its own resolution.
        if (coding)
            return Placed(coding, dpi);
        const Raster* pixels = pixelsAt(0, 0);
        if (!pixels)
            return nullptr;
        return Bits(Threshold(*pixels, 128), dpi);
    }
    if (mode == ColourMode::Colour && info.grey)
        mode = ColourMode::Grey;
    if (dpi.x > preset.dpi * 1.001) {
        int w = 0, h = 0;
        ScaledSize(info.width, info.height, dpi.x, preset.dpi, w, h);
        const Raster* pixels = pixelsAt(w, h);
        if (!pixels)
            return nullptr;
        const Resolution at{dpi.x * pixels->width / std::max(1, info.width),
                            dpi.y * pixels->height / std::max(1, info.height)};
        return EncodePixels(*pixels, at, mode, preset);
    }
    if (mode == ColourMode::BlackWhite) {
        const Raster* pixels = pixelsAt(0, 0);
        return pixels ? EncodePixels(*pixels, dpi, mode, preset) : nullptr;
    }
    // Within the preset: the source's own coding unless the preset's is much
    // smaller. A JPEG at a quality not above the preset's (with a little
    // room for other tables) cannot come out 1.5 times smaller.
    if (coding && coding->coding == PdfImage::Coding::Jpeg && info.quality > 0 &&
        info.quality <= preset.jpegQuality + 5)
        return Placed(coding, dpi);
    const Raster* full = pixelsAt(0, 0);
    if (!full)
        return nullptr;
    return KeptOrJpeg(*full, mode, info.lossy, coding, dpi, preset.jpegQuality);
}

} // namespace scan

#include "scan/ui/image_files.h"

#include "platform/image_limits.h"
#include "platform/ui/image_reading.h"
#include "platform/utf8.h"
#include "scan/image_formats.h"
#include "scan/png.h"
#include "scan/scan_files.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QPainter>

#include <array>
#include <cstring>

namespace scan::ui {
namespace {

using Bytes = std::shared_ptr<const std::vector<std::uint8_t>>;

// A reader over the bytes in memory (never the file: it is read already).
struct Reader {
    explicit Reader(const Bytes& bytes)
        : data(QByteArray::fromRawData(reinterpret_cast<const char*>(bytes->data()),
                                       static_cast<qsizetype>(bytes->size()))),
          buffer(&data) {
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
        reader.setDecideFormatFromContent(true);
        reader.setAutoTransform(true);
    }
    QByteArray data;
    QBuffer buffer;
    QImageReader reader;
};

// Decodes frame `frame` of the bytes; `failure` says why not.
QImage ReadFrame(const Bytes& bytes, int frame, DecodeFailure& failure) {
    platform::ui::UseImageMemoryLimit();
    Reader r(bytes);
    if (!r.reader.canRead()) {
        failure = DecodeFailure::NotAnImage;
        return {};
    }
    for (int i = 0; i < frame; ++i)
        if (!r.reader.jumpToNextImage()) {
            failure = DecodeFailure::Damaged;
            return {};
        }
    // The declared size against the limit before Qt allocates (16-bit
    // images take eight bytes a pixel).
    const QSize size = r.reader.size();
    const QImage::Format format = r.reader.imageFormat();
    const int bytesPerPixel = format == QImage::Format_RGBA64 || format == QImage::Format_RGBX64 ||
                                      format == QImage::Format_Grayscale16
                                  ? 8
                                  : 4;
    if (size.isValid() && !platform::ImageFitsMemory(static_cast<std::uint64_t>(size.width()),
                                                     static_cast<std::uint64_t>(size.height()),
                                                     static_cast<std::uint64_t>(bytesPerPixel))) {
        failure = DecodeFailure::TooLarge;
        return {};
    }
    QImage image;
    if (!r.reader.read(&image) || image.isNull()) {
        // Qt's English text is never shown: an allocation refusal is size,
        // anything else damage.
        failure = r.reader.error() == QImageReader::InvalidDataError && size.isValid() &&
                          !platform::ImageFitsMemory(static_cast<std::uint64_t>(size.width()),
                                                     static_cast<std::uint64_t>(size.height()), 4)
                      ? DecodeFailure::TooLarge
                      : DecodeFailure::Damaged;
        return {};
    }
    failure = DecodeFailure::None;
    return image;
}

// An image Qt decodes, kept as the file's bytes (shared by the pages of a
// TIFF) with its own coding where a PDF takes it as it is.
class QtImageSource final : public PageSource {
  public:
    QtImageSource(SourceInfo info, Bytes bytes, int frame, std::shared_ptr<const PdfImage> own)
        : PageSource(info), bytes_(std::move(bytes)), frame_(frame), own_(std::move(own)) {}

    std::optional<Raster> decode(int, int, DecodeFailure* failure) const override {
        DecodeFailure why = DecodeFailure::None;
        QImage image = ReadFrame(bytes_, frame_, why);
        if (failure)
            *failure = why;
        if (image.isNull())
            return std::nullopt;
        ColourMode mode = ColourMode::Colour;
        return ToRaster(std::move(image), mode);
    }
    std::shared_ptr<const PdfImage> ownCoding() const override { return own_; }
    std::size_t heldBytes() const override { return bytes_->size(); }

  private:
    Bytes bytes_;
    int frame_;
    std::shared_ptr<const PdfImage> own_;
};

std::string FileName(const std::string& path) {
    return platform::PathToUtf8(platform::PathFromUtf8(path).filename());
}

bool IsGreyImage(const QImage& image) {
    return image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB ||
           image.isGrayscale();
}

// The pages of a file Qt reads.
// What frame `image` of the file says of itself: size, colours, whether it
// was coded with loss, and the resolution the file declares. A PNG says so in
// pHYs; GIF and WebP declare nothing (Qt's 96 dpi is its default); for the
// rest Qt's value goes through the A4 test (scan/page_source.h).
SourceInfo FrameInfo(const QImage& image, ImageKind kind, const Bytes& bytes,
                     const std::optional<PngHeader>& png) {
    SourceInfo info;
    info.width = image.width();
    info.height = image.height();
    info.bilevel =
        image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB;
    info.grey = IsGreyImage(image);
    info.lossy = kind == ImageKind::WebP && !IsLosslessWebP(*bytes);
    double dpi = image.dotsPerMeterX() * 0.0254, dpiY = image.dotsPerMeterY() * 0.0254;
    if (png)
        dpi = png->dpiX, dpiY = png->dpiY;
    else if (kind == ImageKind::Gif || kind == ImageKind::WebP)
        dpi = dpiY = 0;
    info.dpiX = dpi;
    info.dpiY = dpiY;
    return info;
}

// The frame's own coded data when the PDF can carry it as it is (a PNG, a
// fax-coded TIFF strip of the frame's size), at the page's resolution; null
// otherwise. A TIFF strip's resolution goes into `info`.
std::shared_ptr<PdfImage> EmbeddedImage(const Bytes& bytes, ImageKind kind, int frame,
                                        SourceInfo& info) {
    std::shared_ptr<PdfImage> own;
    if (kind == ImageKind::Png) {
        own = PngAsPdfImage(*bytes);
    } else if (kind == ImageKind::Tiff && info.bilevel) {
        if (const std::shared_ptr<FaxStrip> strip = TiffFaxStrip(*bytes, frame);
            strip && strip->width == info.width && strip->height == info.height) {
            own = std::make_shared<PdfImage>();
            own->coding = PdfImage::Coding::Ccitt;
            own->width = strip->width;
            own->height = strip->height;
            own->components = 1;
            own->bitsPerComponent = 1;
            own->ccittBlackIsOne = strip->minIsBlack;
            own->data = std::move(strip->data);
            own->storedSize = own->data.size();
            info.dpiX = strip->dpiX;
            info.dpiY = strip->dpiY;
        }
    }
    if (own) {
        const Resolution at = PageResolution(info);
        own->dpiX = at.x;
        own->dpiY = at.y;
    }
    return own;
}

std::vector<LoadedPage> LoadWithQt(const Bytes& bytes, ImageKind kind, const std::string& name,
                                   std::string& error, Quality first) {
    std::vector<LoadedPage> pages;
    int count = 1;
    if (kind == ImageKind::Tiff) { // every page; a GIF's animation is its first frame
        Reader r(bytes);
        count = std::max(1, r.reader.imageCount());
    }
    std::optional<PngHeader> png;
    if (kind == ImageKind::Png)
        png = ReadPngHeader(*bytes);
    for (int i = 0; i < count; ++i) {
        DecodeFailure failure = DecodeFailure::None;
        QImage image = ReadFrame(bytes, i, failure);
        if (image.isNull()) {
            if (i > 0)
                break; // the pages before it stay
            SourceInfo info;
            Reader r(bytes);
            info.width = r.reader.size().width();
            info.height = r.reader.size().height();
            error = DecodeFailureMessage(failure, info);
            return {};
        }
        SourceInfo info = FrameInfo(image, kind, bytes, png);
        const std::shared_ptr<PdfImage> own = EmbeddedImage(bytes, kind, i, info);
        ColourMode mode = ColourMode::Colour;
        const Raster pixels = ToRaster(std::move(image), mode);
        auto source = std::make_shared<QtImageSource>(info, bytes, i, own);
        LoadedPage loaded;
        const std::string origin = count > 1 ? name + " 第" + std::to_string(i + 1) + "页" : name;
        std::optional<Page> page =
            PrepareSourcePage(source, origin, &error, &loaded.preview, &pixels, first);
        if (!page)
            return {};
        loaded.page = std::move(*page);
        pages.push_back(std::move(loaded));
    }
    return pages;
}

} // namespace

QImage ToQImage(const Raster& r) {
    QImage out(r.width, r.height,
               r.channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    for (int y = 0; y < r.height; ++y)
        std::memcpy(out.scanLine(y), r.row(y), r.stride());
    return out;
}

Raster ToRaster(QImage image, ColourMode& mode) {
    if (image.hasAlphaChannel()) {
        // Transparency (an alpha channel, a transparent palette entry, a
        // colour key) shows the paper: white.
        QImage flat(image.size(), QImage::Format_RGB888);
        flat.fill(Qt::white);
        QPainter painter(&flat);
        painter.drawImage(0, 0, image);
        painter.end();
        image = flat;
    }
    if (image.format() == QImage::Format_Mono || image.format() == QImage::Format_MonoLSB) {
        // One bit a pixel (a fax-coded scan): expanded here a byte at a time,
        // through the image's own two colours.
        mode = ColourMode::BlackWhite;
        image.convertTo(QImage::Format_Mono);
        const bool zeroIsBlack = image.colorCount() < 2
                                     ? qGray(image.color(0)) < 128
                                     : qGray(image.color(0)) < qGray(image.color(1));
        const int width = image.width(), height = image.height();
        Raster r = MakeRaster(width, height, 1);
        // Eight pixels of a byte at once, from a table of the 256 bytes.
        std::array<std::array<std::uint8_t, 8>, 256> expanded{};
        for (int v = 0; v < 256; ++v) {
            const int bits = zeroIsBlack ? v : (~v & 0xFF);
            for (int k = 0; k < 8; ++k)
                expanded[static_cast<std::size_t>(v)][static_cast<std::size_t>(k)] =
                    (bits & (0x80 >> k)) ? 255 : 0;
        }
        const int whole = width / 8, rest = width % 8;
        for (int y = 0; y < height; ++y) {
            const uchar* in = image.constScanLine(y);
            std::uint8_t* out = r.row(y);
            for (int b = 0; b < whole; ++b)
                std::memcpy(out + b * 8, expanded[in[b]].data(), 8);
            if (rest)
                std::memcpy(out + whole * 8, expanded[in[whole]].data(),
                            static_cast<std::size_t>(rest));
        }
        return r;
    } else if (image.isGrayscale())
        mode = ColourMode::Grey;
    else
        mode = ColourMode::Colour;
    const bool grey = mode != ColourMode::Colour;
    image.convertTo(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    Raster r = MakeRaster(image.width(), image.height(), grey ? 1 : 3);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(r.row(y), image.constScanLine(y), r.stride());
    return r;
}

std::vector<LoadedPage> LoadImageFile(const std::string& path, std::string& error, Quality first) {
    std::vector<LoadedPage> pages;
    auto bytes = std::make_shared<std::vector<std::uint8_t>>();
    if (!ReadInputFile(path, *bytes)) {
        error = "无法读取该文件（文件不存在、不是普通文件或超过1 GB）。";
        return pages;
    }
    const std::string name = FileName(path);
    const ImageKind kind = SniffImage(*bytes);
    switch (kind) {
    case ImageKind::Jpeg: {
        LoadedPage loaded;
        if (std::optional<Page> page =
                PrepareJpegFile(std::move(*bytes), name, &error, &loaded.preview)) {
            loaded.page = std::move(*page);
            pages.push_back(std::move(loaded));
        }
        return pages;
    }
    case ImageKind::Heif: {
        LoadedPage loaded;
        SourcePtr source = MakeHeifSource(std::move(*bytes), &error);
        if (!source)
            return pages;
        if (std::optional<Page> page = PrepareSourcePage(source, name, &error, &loaded.preview)) {
            loaded.page = std::move(*page);
            pages.push_back(std::move(loaded));
        }
        return pages;
    }
    default:
        return LoadWithQt(bytes, kind, name, error, first);
    }
}

} // namespace scan::ui

#include "scan/page_source.h"

#include "platform/image_limits.h"
#include "scan/flate.h"

#include <algorithm>
#include <cstring>

namespace scan {
namespace {

constexpr double kA4LongInches = 297 / 25.4;
constexpr double kA4ShortInches = 210 / 25.4;

bool Plausible(double dpi) {
    return dpi >= 50 && dpi <= 2400;
}

bool Mirrored(int orientation) {
    return orientation == 2 || orientation == 4 || orientation == 5 || orientation == 7;
}

class JpegSource final : public PageSource {
  public:
    JpegSource(SourceInfo info, std::shared_ptr<PdfImage> file, const JpegInfo& jpeg)
        : PageSource(info), file_(std::move(file)), orientation_(jpeg.orientation),
          embeddable_(jpeg.bitsPerComponent == 8 && !jpeg.arithmetic &&
                      (jpeg.components == 1 || jpeg.components == 3) &&
                      !Mirrored(jpeg.orientation)) {}

    std::optional<Raster> decode(int minWidth, int minHeight,
                                 DecodeFailure* failure) const override {
        JpegDecoding how;
        how.orient = Mirrored(orientation_);
        const bool transposed = how.orient && orientation_ >= 5;
        how.minWidth = transposed ? minHeight : minWidth;
        how.minHeight = transposed ? minWidth : minHeight;
        return DecodeJpeg(file_->data.data(), file_->data.size(), how, failure);
    }
    std::shared_ptr<const PdfImage> ownCoding() const override {
        return embeddable_ ? file_ : nullptr;
    }
    std::size_t heldBytes() const override { return file_->data.size(); }

  private:
    std::shared_ptr<PdfImage> file_;
    int orientation_;
    bool embeddable_;
};

class EncodedSource final : public PageSource {
  public:
    EncodedSource(SourceInfo info, std::shared_ptr<const PdfImage> image)
        : PageSource(info), image_(std::move(image)) {}

    std::optional<Raster> decode(int minWidth, int minHeight,
                                 DecodeFailure* failure) const override {
        const PdfImage& im = *image_;
        if (im.coding == PdfImage::Coding::Jpeg) {
            JpegDecoding how;
            how.minWidth = minWidth;
            how.minHeight = minHeight;
            return DecodeJpeg(im.data.data(), im.data.size(), how, failure);
        }
        const int bits = im.bitsPerComponent, n = im.components;
        const std::size_t rowBytes = (static_cast<std::size_t>(im.width) * n * bits + 7) / 8;
        std::optional<std::vector<std::uint8_t>> rows;
        if (im.coding == PdfImage::Coding::Flate)
            rows = InflateRows(im.data, im.height, rowBytes, std::max(1, n * bits / 8));
        else if (im.coding == PdfImage::Coding::Pixels &&
                 im.data.size() >= rowBytes * static_cast<std::size_t>(im.height))
            rows = im.data;
        if (!rows || (bits != 1 && bits != 8) || !im.palette.empty()) {
            if (failure)
                *failure = DecodeFailure::Damaged;
            return std::nullopt;
        }
        Raster r = MakeRaster(im.width, im.height, n);
        for (int y = 0; y < im.height; ++y) {
            const std::uint8_t* in = rows->data() + rowBytes * static_cast<std::size_t>(y);
            if (bits == 8) {
                std::memcpy(r.row(y), in, r.stride());
                continue;
            }
            std::uint8_t* out = r.row(y);
            for (int x = 0; x < im.width; ++x) {
                const bool one = in[x >> 3] & (0x80 >> (x & 7));
                out[x] = one == im.blackIsOne ? 0 : 255;
            }
        }
        return r;
    }
    std::size_t heldBytes() const override { return image_->data.size(); }

  private:
    std::shared_ptr<const PdfImage> image_;
};

class RasterSource final : public PageSource {
  public:
    RasterSource(SourceInfo info, Raster pixels) : PageSource(info), pixels_(std::move(pixels)) {}
    std::optional<Raster> decode(int, int, DecodeFailure*) const override { return pixels_; }
    std::size_t heldBytes() const override { return pixels_.pixels.size(); }

  private:
    Raster pixels_;
};

} // namespace

Resolution PageResolution(const SourceInfo& info) {
    const double w = std::max(1, info.width), h = std::max(1, info.height);
    const double fit = std::max(std::max(w, h) / kA4LongInches, std::min(w, h) / kA4ShortInches);
    double x = info.dpiX, y = info.dpiY > 0 ? info.dpiY : info.dpiX;
    if (!Plausible(x) || !Plausible(y))
        return {fit, fit};
    // The page at the declared resolution, raised as a whole until it fits
    // (an A4 page scanned a pixel or two larger than A4 is A4: 1 % of room).
    const double inW = w / x, inH = h / y;
    const double over =
        std::max(std::max(inW, inH) / kA4LongInches, std::min(inW, inH) / kA4ShortInches);
    const double raise = over > 1.01 ? over : 1.0;
    return {x * raise, y * raise};
}

double PlausibleDpi(int width, int height, double declared) {
    SourceInfo info;
    info.width = width;
    info.height = height;
    info.dpiX = info.dpiY = declared;
    return PageResolution(info).x;
}

SourcePtr MakeJpegSource(std::vector<std::uint8_t> bytes, const JpegInfo& jpeg) {
    SourceInfo info;
    const bool transposed = Mirrored(jpeg.orientation) && jpeg.orientation >= 5;
    info.width = transposed ? jpeg.height : jpeg.width;
    info.height = transposed ? jpeg.width : jpeg.height;
    info.grey = jpeg.components == 1;
    info.lossy = true;
    info.quality = jpeg.quality;
    info.dpiX = transposed ? jpeg.dpiY : jpeg.dpiX;
    info.dpiY = transposed ? jpeg.dpiX : jpeg.dpiY;
    info.turn = jpeg.orientation == 3   ? 180
                : jpeg.orientation == 6 ? 90
                : jpeg.orientation == 8 ? 270
                                        : 0;
    auto file = std::make_shared<PdfImage>();
    file->coding = PdfImage::Coding::Jpeg;
    file->width = jpeg.width;
    file->height = jpeg.height;
    file->components = jpeg.components;
    file->adobeInverted = jpeg.adobe;
    const Resolution dpi = PageResolution(info);
    file->dpiX = dpi.x;
    file->dpiY = dpi.y;
    file->data = std::move(bytes);
    file->storedSize = file->data.size();
    return std::make_shared<JpegSource>(info, std::move(file), jpeg);
}

SourcePtr MakeEncodedSource(std::shared_ptr<const PdfImage> image, bool grey) {
    SourceInfo info;
    info.width = image->width;
    info.height = image->height;
    info.grey = grey || image->components == 1;
    info.bilevel = image->bitsPerComponent == 1;
    info.lossy = image->coding == PdfImage::Coding::Jpeg;
    info.dpiX = image->dpiX;
    info.dpiY = image->dpiY;
    return std::make_shared<EncodedSource>(info, std::move(image));
}

SourcePtr MakeRasterSource(Raster pixels, double dpi, bool lossy) {
    SourceInfo info;
    info.width = pixels.width;
    info.height = pixels.height;
    info.grey = pixels.channels == 1;
    info.lossy = lossy;
    info.dpiX = info.dpiY = dpi;
    return std::make_shared<RasterSource>(info, std::move(pixels));
}

std::string DecodeFailureMessage(DecodeFailure failure, const SourceInfo& info) {
    switch (failure) {
    case DecodeFailure::None:
        return {};
    case DecodeFailure::NotAnImage:
        return "不是可以读取的图片文件。";
    case DecodeFailure::TooLarge:
        return platform::ImageTooLargeMessage(static_cast<std::uint64_t>(info.width),
                                              static_cast<std::uint64_t>(info.height));
    case DecodeFailure::Unsupported:
        return "图片的编码方式不受支持（例如12位JPEG），请用其他程序另存为普通JPEG或PNG后再添加。";
    case DecodeFailure::MissingModule:
        return "缺少读取该图片格式的程序组件。";
    case DecodeFailure::Damaged:
        break;
    }
    return "文件已损坏（图片数据不完整或有错误）。";
}

} // namespace scan

#include "scan/pages.h"

#include "scan/blank.h"
#include "scan/jpeg.h"

#include <zlib.h>

#include <algorithm>
#include <array>

namespace scan {
namespace {

// What the PDF writer's Flate (zlib's deflate at its default level) makes of
// the bytes: counted, not kept.
std::size_t FlateSize(const std::vector<std::uint8_t>& data) {
    z_stream stream{};
    if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK)
        return data.size();
    std::array<Bytef, 64 * 1024> chunk;
    stream.next_in = const_cast<Bytef*>(data.data());
    std::size_t left = data.size(), size = 0;
    int status = Z_OK;
    while (status == Z_OK) {
        const uInt take = static_cast<uInt>(std::min<std::size_t>(left, 1u << 30));
        stream.avail_in = take;
        left -= take;
        stream.next_out = chunk.data();
        stream.avail_out = static_cast<uInt>(chunk.size());
        status = deflate(&stream, left == 0 ? Z_FINISH : Z_NO_FLUSH);
        size += chunk.size() - stream.avail_out;
        left += stream.avail_in; // what deflate did not take this round
    }
    deflateEnd(&stream);
    return status == Z_STREAM_END ? size : data.size();
}

const QualityPreset kPresets[kQualityCount] = {
    {"清晰", 300, 85},
    {"标准", 200, 75},
    {"小巧", 150, 55},
};

std::shared_ptr<const PdfImage> Encode(const Raster& pixels, double dpi, ColourMode mode,
                                       const QualityPreset& preset) {
    int w = 0, h = 0;
    ScaledSize(pixels.width, pixels.height, dpi, preset.dpi, w, h);
    const double outDpi = std::min<double>(dpi, preset.dpi);
    auto image = std::make_shared<PdfImage>();
    image->dpiX = image->dpiY = outDpi;
    if (mode == ColourMode::BlackWhite) {
        // Reduced in grey first, so thin strokes survive the smaller size.
        const Bilevel bits = Threshold(Downsample(ToGrey(pixels), w, h));
        image->coding = PdfImage::Coding::Pixels;
        image->width = bits.width;
        image->height = bits.height;
        image->components = 1;
        image->bitsPerComponent = 1;
        image->blackIsOne = true;
        image->data = bits.bits;
        image->storedSize = FlateSize(image->data);
        return image;
    }
    const Raster source = mode == ColourMode::Grey ? ToGrey(pixels) : pixels;
    const Raster reduced = Downsample(source, w, h);
    image->coding = PdfImage::Coding::Jpeg;
    image->width = reduced.width;
    image->height = reduced.height;
    image->components = reduced.channels;
    image->data = EncodeJpeg(reduced, preset.jpegQuality, outDpi);
    image->storedSize = image->data.size();
    return image;
}

} // namespace

const QualityPreset& Preset(Quality q) {
    return kPresets[static_cast<int>(q)];
}

double PlausibleDpi(int width, int height, double declared) {
    const double longSide = std::max(width, height);
    // Declared resolutions that make the page between 3 and 17 inches long.
    if (declared >= 50 && declared <= 2400 && longSide / declared >= 3 && longSide / declared <= 17)
        return declared;
    return std::max(10.0, longSide / 11.69);
}

Page PreparePixels(const Raster& pixels, double dpi, ColourMode mode, std::string origin) {
    Page page;
    page.origin = std::move(origin);
    page.blank = IsBlank(pixels, dpi);
    for (int q = 0; q < kQualityCount; ++q)
        page.images[static_cast<std::size_t>(q)] = Encode(pixels, dpi, mode, kPresets[q]);
    return page;
}

std::optional<Page> PrepareJpegFile(std::vector<std::uint8_t> bytes, std::string origin,
                                    std::string* error) {
    const std::optional<JpegInfo> info = ReadJpegInfo(bytes);
    if (!info || info->bitsPerComponent != 8) {
        if (error)
            *error = "不是可用的JPEG文件";
        return std::nullopt;
    }
    // Decoded at an eighth of its size: enough to see ink, and to find damage.
    std::string why;
    const std::optional<Raster> small = DecodeJpeg(bytes, 8, &why);
    if (!small) {
        if (error)
            *error = why == "CMYK" ? "CMYK" : "文件已损坏";
        return std::nullopt;
    }
    auto image = std::make_shared<PdfImage>();
    image->coding = PdfImage::Coding::Jpeg;
    image->width = info->width;
    image->height = info->height;
    image->components = info->components;
    image->adobeInverted = info->adobe;
    image->dpiX = PlausibleDpi(info->width, info->height, info->dpiX);
    image->dpiY =
        info->dpiY > 0 && info->dpiX > 0 ? image->dpiX * info->dpiY / info->dpiX : image->dpiX;
    image->data = std::move(bytes);
    image->storedSize = image->data.size();
    Page page;
    page.origin = std::move(origin);
    page.passthrough = true;
    page.blank = IsBlank(*small, image->dpiX * small->width / std::max(1, info->width));
    page.images.fill(image);
    return page;
}

void PageList::add(Page page) {
    if (!fronts_.empty()) { // the run of backs is over
        fronts_.clear();
        backs_ = 0;
    }
    page.id = nextId_++;
    pending_.push_back(page.id);
    pages_.push_back(std::move(page));
}

std::size_t PageList::backsWanted() const {
    if (fronts_.empty())
        return pending_.size();
    return fronts_.size() > backs_ ? fronts_.size() - backs_ : 0;
}

bool PageList::addBack(Page page) {
    if (fronts_.empty()) {
        fronts_ = std::move(pending_);
        pending_.clear();
        backs_ = 0;
    }
    if (backs_ >= fronts_.size())
        return false;
    const std::uint64_t front = fronts_[fronts_.size() - 1 - backs_];
    auto it = std::find_if(pages_.begin(), pages_.end(),
                           [front](const Page& p) { return p.id == front; });
    page.id = nextId_++;
    // A front removed meanwhile: the back goes to the end.
    pages_.insert(it == pages_.end() ? it : it + 1, std::move(page));
    ++backs_;
    return true;
}

bool PageList::moveUp(std::size_t i) {
    if (i == 0 || i >= pages_.size())
        return false;
    std::swap(pages_[i - 1], pages_[i]);
    return true;
}

bool PageList::moveDown(std::size_t i) {
    if (i + 1 >= pages_.size())
        return false;
    std::swap(pages_[i], pages_[i + 1]);
    return true;
}

void PageList::rotate(std::size_t i) {
    if (i < pages_.size())
        pages_[i].rotation = (pages_[i].rotation + 90) % 360;
}

void PageList::remove(std::size_t i) {
    if (i >= pages_.size())
        return;
    pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(i));
}

std::size_t PageList::blankCount() const {
    return static_cast<std::size_t>(
        std::count_if(pages_.begin(), pages_.end(), [](const Page& p) { return p.blank; }));
}

std::size_t PageList::removeBlank() {
    const std::size_t before = pages_.size();
    std::erase_if(pages_, [](const Page& p) { return p.blank; });
    return before - pages_.size();
}

void PageList::setBlank(std::size_t i, bool blank) {
    if (i < pages_.size())
        pages_[i].blank = blank;
}

std::uint64_t PageList::estimatedBytes(Quality q) const {
    if (pages_.empty())
        return 0;
    std::uint64_t total = kPdfBytesOnce;
    for (const Page& p : pages_) {
        const PdfImage& image = p.image(q);
        total += image.storedSize > 0 ? image.storedSize : image.data.size();
        total += kPdfBytesPerPage;
    }
    return total;
}

std::vector<PdfPage> PageList::pdfPages(Quality q) const {
    std::vector<PdfPage> out;
    for (const Page& p : pages_)
        out.push_back({p.images[static_cast<std::size_t>(q)], p.rotation});
    return out;
}

} // namespace scan

#include "scan/pages.h"

#include "scan/blank.h"
#include "scan/jpeg.h"

#include <algorithm>
#include <cmath>

namespace scan {
namespace {

// The page reduced to about kPreviewSide pixels on its long side, in black
// and white when that is how it is written.
Raster Preview(const Raster& pixels, ColourMode mode) {
    int w = pixels.width, h = pixels.height;
    FitWithin(pixels.width, pixels.height, kPreviewSide, kPreviewSide, w, h);
    // Whole blocks averaged with integer sums first (cheap), the rest by area.
    const int k =
        std::max(1, std::min(pixels.width / std::max(1, w), pixels.height / std::max(1, h)));
    Raster blocks = MakeRaster(pixels.width / k, pixels.height / k, pixels.channels);
    const int n = pixels.channels;
    // The k rows of a band added up first (one simple loop over the bytes),
    // then each block's k pixels.
    std::vector<std::uint32_t> rows(pixels.stride());
    const auto area = static_cast<std::uint32_t>(k * k);
    for (int by = 0; by < blocks.height; ++by) {
        std::fill(rows.begin(), rows.end(), 0u);
        for (int y = by * k; y < (by + 1) * k; ++y) {
            const std::uint8_t* in = pixels.row(y);
            std::uint32_t* sum = rows.data();
            const std::size_t length = rows.size();
            for (std::size_t i = 0; i < length; ++i)
                sum[i] += in[i];
        }
        std::uint8_t* out = blocks.row(by);
        for (int bx = 0; bx < blocks.width; ++bx)
            for (int c = 0; c < n; ++c) {
                std::uint32_t total = 0;
                for (int x = 0; x < k; ++x)
                    total += rows[(static_cast<std::size_t>(bx) * k + x) * n + c];
                out[static_cast<std::size_t>(bx) * n + c] = static_cast<std::uint8_t>(total / area);
            }
    }
    Raster small = Downsample(blocks, w, h);
    if (mode == ColourMode::BlackWhite) {
        MakeGrey(small);
        const Bilevel bits = Threshold(small, PaperThreshold(small));
        for (int y = 0; y < small.height; ++y)
            for (int x = 0; x < small.width; ++x)
                small.row(y)[x] =
                    bits.bits[bits.stride() * y + (x >> 3)] & (0x80 >> (x & 7)) ? 0 : 255;
    }
    return small;
}

} // namespace

bool Page::passthrough(Quality q) const {
    const auto& image = images[static_cast<std::size_t>(q)];
    const auto own = source ? source->ownCoding() : nullptr;
    return image && own && image->data.data() == own->data.data();
}

Page PreparePixels(const Raster& pixels, double dpi, ColourMode mode, std::string origin,
                   Raster* preview) {
    Page page;
    page.origin = std::move(origin);
    page.mode = mode;
    page.scanned = true;
    page.blank = IsBlank(pixels, dpi);
    for (int q = 0; q < kQualityCount; ++q)
        page.images[static_cast<std::size_t>(q)] =
            EncodePixels(pixels, {dpi, dpi}, mode, Preset(static_cast<Quality>(q)));
    page.source = MakeEncodedSource(page.images[static_cast<std::size_t>(Quality::Clear)],
                                    mode != ColourMode::Colour);
    if (preview)
        *preview = Preview(pixels, mode);
    return page;
}

std::optional<Page> PrepareSourcePage(SourcePtr source, std::string origin, std::string* error,
                                      Raster* preview, const Raster* decoded,
                                      std::optional<Quality> encodeNow) {
    const SourceInfo& info = source->info();
    const Resolution dpi = PageDpi(info, false);
    const auto at = [&](const Raster& r) { return dpi.x * r.width / std::max(1, info.width); };
    // First a small decode (an eighth where libjpeg decodes to that cheaply):
    // it reads every coded bit, so it finds damage, and it is the preview. A
    // page with plenty of ink there has it at any scale; one that looks
    // blank is measured again with enough pixels for the strokes of small
    // print (100 dpi: 1/60 inch is two pixels).
    constexpr double kMeasureDpi = 100;
    constexpr int kClearlyInked = 8 * kBlankInkCells;
    DecodeFailure failure = DecodeFailure::None;
    std::optional<Raster> small;
    if (!decoded)
        small = source->decode((info.width + 7) / 8, (info.height + 7) / 8, &failure);
    const Raster* pixels = decoded ? decoded : small ? &*small : nullptr;
    if (!pixels) {
        if (error)
            *error = DecodeFailureMessage(failure, info);
        return std::nullopt;
    }
    Page page;
    page.origin = std::move(origin);
    page.mode = info.bilevel ? ColourMode::BlackWhite
                : info.grey  ? ColourMode::Grey
                             : ColourMode::Colour;
    page.turn.file = info.turn;
    BlankMeasure ink = MeasureInk(*pixels, at(*pixels));
    if (IsBlank(ink) || (ink.inkCells < kClearlyInked && at(*pixels) < kMeasureDpi)) {
        const double f = std::min(1.0, kMeasureDpi / std::max(1.0, dpi.x));
        if (at(*pixels) < kMeasureDpi * 0.99) {
            const std::optional<Raster> finer =
                source->decode(static_cast<int>(std::ceil(info.width * f)),
                               static_cast<int>(std::ceil(info.height * f)), &failure);
            if (finer)
                ink = MeasureInk(*finer, at(*finer));
        }
    }
    page.blank = IsBlank(ink);
    if (decoded && encodeNow) {
        auto image = EncodePage(*source, page.mode, false, *encodeNow, &failure, decoded);
        page.images[static_cast<std::size_t>(*encodeNow)] = std::move(image);
    }
    page.source = std::move(source);
    if (preview)
        *preview = Preview(*pixels, info.bilevel ? ColourMode::Grey : page.mode);
    return page;
}

std::optional<Page> PrepareJpegFile(std::vector<std::uint8_t> bytes, std::string origin,
                                    std::string* error, Raster* preview) {
    const std::optional<JpegInfo> info = ReadJpegInfo(bytes);
    if (!info) {
        if (error)
            *error = "不是可用的JPEG文件（文件头已损坏）。";
        return std::nullopt;
    }
    return PrepareSourcePage(MakeJpegSource(std::move(bytes), *info), std::move(origin), error,
                             preview);
}

const Page* PageList::find(std::uint64_t id) const {
    auto it =
        std::find_if(pages_.begin(), pages_.end(), [id](const Page& p) { return p.id == id; });
    return it == pages_.end() ? nullptr : &*it;
}

std::uint64_t PageList::add(Page page) {
    if (!fronts_.empty()) { // the run of backs is over
        fronts_.clear();
        backs_ = 0;
    }
    page.id = nextId_++;
    pending_.push_back(page.id);
    pages_.push_back(std::move(page));
    return pages_.back().id;
}

std::uint64_t PageList::replace(std::size_t i, Page page) {
    if (i >= pages_.size())
        return 0;
    const std::uint64_t old = pages_[i].id;
    page.id = nextId_++;
    std::replace(pending_.begin(), pending_.end(), old, page.id);
    std::replace(fronts_.begin(), fronts_.end(), old, page.id);
    pages_[i] = std::move(page);
    return pages_[i].id;
}

std::size_t PageList::backsWanted() const {
    if (fronts_.empty())
        return pending_.size();
    return fronts_.size() > backs_ ? fronts_.size() - backs_ : 0;
}

std::uint64_t PageList::addBack(Page page) {
    if (fronts_.empty()) {
        fronts_ = std::move(pending_);
        pending_.clear();
        backs_ = 0;
    }
    if (backs_ >= fronts_.size())
        return 0;
    const std::uint64_t front = fronts_[fronts_.size() - 1 - backs_];
    auto it = std::find_if(pages_.begin(), pages_.end(),
                           [front](const Page& p) { return p.id == front; });
    const std::uint64_t id = page.id = nextId_++;
    pages_.insert(it == pages_.end() ? it : it + 1, std::move(page));
    ++backs_;
    return id;
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
        pages_[i].turn.manual = (pages_[i].turn.manual + 90) % 360;
}

// A front that is removed waits for no back any more: the backs scanned
// afterwards go to the fronts that are still there.
void PageList::forget(std::uint64_t id) {
    std::erase(pending_, id);
    const auto it = std::find(fronts_.begin(), fronts_.end(), id);
    if (it == fronts_.end())
        return;
    // Fronts from the end of the run have their backs already.
    const bool hasBack = static_cast<std::size_t>(fronts_.end() - it) <= backs_;
    fronts_.erase(it);
    if (hasBack && backs_ > 0)
        --backs_;
}

void PageList::remove(std::size_t i) {
    if (i >= pages_.size())
        return;
    forget(pages_[i].id);
    pages_.erase(pages_.begin() + static_cast<std::ptrdiff_t>(i));
}

std::size_t PageList::blankCount() const {
    return static_cast<std::size_t>(
        std::count_if(pages_.begin(), pages_.end(), [](const Page& p) { return p.blank; }));
}

std::size_t PageList::removeBlank() {
    std::size_t removed = 0;
    for (std::size_t i = pages_.size(); i-- > 0;)
        if (pages_[i].blank) {
            remove(i);
            ++removed;
        }
    return removed;
}

void PageList::setBlank(std::size_t i, bool blank) {
    if (i < pages_.size())
        pages_[i].blank = blank;
}

void PageList::setImage(std::uint64_t id, Quality q, std::shared_ptr<const PdfImage> image) {
    for (Page& p : pages_)
        if (p.id == id)
            p.images[static_cast<std::size_t>(q)] = std::move(image);
}

void PageList::setText(std::uint64_t id, std::shared_ptr<const PageText> text, int detected) {
    for (Page& p : pages_)
        if (p.id == id) {
            p.text = std::move(text);
            p.turn.detected = detected;
        }
}

std::size_t PageList::missing(Quality q) const {
    return static_cast<std::size_t>(
        std::count_if(pages_.begin(), pages_.end(), [q](const Page& p) { return !p.encoded(q); }));
}

bool PageList::encodeMissing(Quality q, std::string* error) {
    for (Page& p : pages_) {
        if (p.encoded(q))
            continue;
        DecodeFailure failure = DecodeFailure::None;
        auto image = EncodePage(*p.source, p.mode, p.scanned, q, &failure);
        if (!image) {
            if (error)
                *error = p.origin + "：" + DecodeFailureMessage(failure, p.source->info());
            return false;
        }
        p.images[static_cast<std::size_t>(q)] = std::move(image);
    }
    return true;
}

std::uint64_t PageList::estimatedBytes(Quality q, bool withText) const {
    if (pages_.empty())
        return 0;
    std::uint64_t total = kPdfBytesOnce;
    bool text = false;
    for (const Page& p : pages_) {
        if (withText && p.text && !p.text->empty()) {
            total += TextLayerBytes(*p.text);
            text = true;
        }
        if (p.encoded(q))
            total += p.image(q).bytes();
        else if (const auto own = p.source->ownCoding())
            total += own->bytes();
        else
            total += p.source->heldBytes();
        total += kPdfBytesPerPage;
    }
    return total + (text ? kTextFontBytes : 0);
}

std::vector<PdfPage> PageList::pdfPages(Quality q, bool withText) const {
    std::vector<PdfPage> out;
    for (const Page& p : pages_) {
        std::shared_ptr<const PdfImage> image = p.images[static_cast<std::size_t>(q)];
        if (!image)
            image = EncodePage(*p.source, p.mode, p.scanned, q);
        // A null image: WritePdf refuses it.
        out.push_back({image, p.rotation(), withText ? p.text : nullptr});
    }
    return out;
}

} // namespace scan

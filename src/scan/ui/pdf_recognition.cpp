#include "scan/ui/pdf_recognition.h"

#include "platform/ui/pdf_reader.h"
#include "platform/utf8.h"
#include "scan/pdf_text.h"
#include "scan/raster.h"
#include "scan/recognition.h"

#include <QImage>

#include <filesystem>
#include <new>

namespace scan::ui {
namespace {

// Recognition reads A4 pages well at 300 dpi; larger pages are rendered
// with no more than this many pixels on their long side.
constexpr double kRenderDpi = 300;
constexpr double kLongestSide = 5000;

Raster Grey(const QImage& image) {
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    Raster r = MakeRaster(grey.width(), grey.height(), 1);
    for (int y = 0; y < grey.height(); ++y)
        std::copy_n(grey.constScanLine(y), grey.width(), r.row(y));
    return r;
}

std::uint64_t FileSize(const std::string& path) {
    std::error_code e;
    const auto size = std::filesystem::file_size(platform::PathFromUtf8(path), e);
    return e ? 0 : size;
}

// The text of one rendered page, in grey and no larger than the engine
// reads well.
OcrResult RecognisePage(TextRecogniser& engine, const QImage& image, const ShrinkOptions& options) {
    QImage shown = image;
    if (std::max(shown.width(), shown.height()) > kLongestSide)
        shown =
            shown.scaled(kLongestSide, kLongestSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    const double dpi = kRenderDpi * shown.width() / std::max(1, image.width());
    return engine.recognisePixels(Grey(shown), dpi, options.cancel);
}

} // namespace

ShrinkResult RecognisePdf(const std::string& source, const std::string& target,
                          const ShrinkOptions& options) {
    const OcrSupport support = CheckOcr();
    if (!support.available)
        return ShrinkFailure(ShrinkStatus::NotSupported, support.note);
    TextRecogniser engine;
    if (!engine.ready())
        return ShrinkFailure(ShrinkStatus::NotSupported, engine.error());
    std::vector<PdfPageText> layers;
    int pageCount = 0, withText = 0;
    bool stopped = false;
    try {
        const bool read = platform::ui::EachPdfPage(
            QString::fromStdString(source), kRenderDpi,
            [&](int page, int pages, const QImage& image, bool hasText) {
                pageCount = pages;
                if (options.cancelled()) {
                    stopped = true;
                    return false;
                }
                if (hasText) {
                    ++withText;
                } else if (!image.isNull()) {
                    const OcrResult r = RecognisePage(engine, image, options);
                    if (r.outcome == OcrOutcome::Stopped) {
                        stopped = true;
                        return false;
                    }
                    if (r.outcome == OcrOutcome::Done && r.text && !r.text->empty())
                        layers.push_back({page, r.text});
                }
                if (options.progress)
                    options.progress(static_cast<double>(page + 1) / std::max(1, pages));
                return true;
            });
        if (!read)
            return ShrinkFailure(ShrinkStatus::Unreadable, "无法读取该PDF文件。");
    } catch (const std::bad_alloc&) {
        return ShrinkFailure(ShrinkStatus::OutOfMemory, "内存不足，无法识别该文件的文字。");
    }
    if (stopped)
        return ShrinkFailure(ShrinkStatus::Cancelled, "");
    if (pageCount > 0 && withText == pageCount)
        return ShrinkFailure(ShrinkStatus::NotSupported,
                             "该PDF文件的每一页都已带有文字，无需识别。");
    if (layers.empty())
        return ShrinkFailure(ShrinkStatus::NotSupported, "该PDF文件中未识别出文字。");
    const std::string error = AddTextLayers(source, target, layers);
    if (!error.empty())
        return ShrinkFailure(ShrinkStatus::WriteFailed, error);
    ShrinkResult result;
    result.bytesBefore = FileSize(source);
    result.bytesAfter = FileSize(target);
    result.pages = static_cast<int>(layers.size());
    return result;
}

} // namespace scan::ui

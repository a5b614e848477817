#include "scan/ui/image_files.h"

#include "platform/utf8.h"
#include "scan/jpeg.h"
#include "scan/scan_files.h"

#include <QFileInfo>
#include <QImageReader>

#include <cstring>
#include <fstream>
#include <iterator>

namespace scan::ui {
namespace {

QString Q(const std::string& s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

Raster ToRaster(const QImage& source, ColourMode& mode) {
    if (source.format() == QImage::Format_Mono || source.format() == QImage::Format_MonoLSB)
        mode = ColourMode::BlackWhite;
    else if (source.isGrayscale())
        mode = ColourMode::Grey;
    else
        mode = ColourMode::Colour;
    const bool grey = mode != ColourMode::Colour;
    const QImage image =
        source.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    Raster r = MakeRaster(image.width(), image.height(), grey ? 1 : 3);
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(r.row(y), image.constScanLine(y), r.stride());
    return r;
}

std::vector<Page> LoadImageFile(const std::string& path, std::string& error) {
    std::vector<Page> pages;
    const QString file = Q(path);
    const std::string name = QFileInfo(file).fileName().toStdString();
    const QString suffix = QFileInfo(file).suffix().toLower();
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg")) {
        std::vector<std::uint8_t> bytes;
        if (!scan::ReadInputFile(path, bytes)) {
            error = "无法读取文件";
            return pages;
        }
        std::string why;
        if (std::optional<Page> page = PrepareJpegFile(std::move(bytes), name, &why)) {
            pages.push_back(std::move(*page));
            return pages;
        }
        if (why != "CMYK") { // CMYK: decoded by Qt below and encoded once
            error = why;
            return pages;
        }
    }
    QImageReader reader(file);
    reader.setAutoTransform(true);
    if (!reader.canRead()) {
        error = "不是可以读取的图片文件";
        return pages;
    }
    const int count = std::max(1, reader.imageCount());
    for (int i = 0; i < count; ++i) {
        if (i > 0 && !reader.jumpToNextImage())
            break;
        QImage image;
        if (!reader.read(&image) || image.isNull()) {
            if (i == 0) {
                error = reader.errorString().toStdString();
                if (error.empty())
                    error = "图片文件已损坏";
                return {};
            }
            break;
        }
        const double declared = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() * 0.0254 : 0;
        const double dpi = PlausibleDpi(image.width(), image.height(), declared);
        ColourMode mode = ColourMode::Colour;
        const Raster raster = ToRaster(image, mode);
        const std::string origin = count > 1 ? name + " 第" + std::to_string(i + 1) + "页" : name;
        pages.push_back(PreparePixels(raster, dpi, mode, origin));
    }
    return pages;
}

QImage Thumbnail(const Page& page, int longSide) {
    const PdfImage& image = page.image(Quality::Standard);
    QImage out;
    if (image.coding == PdfImage::Coding::Jpeg) {
        const int reduce = std::max(image.width, image.height) / 8 >= longSide   ? 8
                           : std::max(image.width, image.height) / 4 >= longSide ? 4
                                                                                 : 1;
        if (std::optional<Raster> r = DecodeJpeg(image.data, reduce)) {
            out = QImage(r->width, r->height,
                         r->channels == 1 ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
            for (int y = 0; y < r->height; ++y)
                std::memcpy(out.scanLine(y), r->row(y), r->stride());
        }
    } else if (image.bitsPerComponent == 1) {
        out = QImage(image.width, image.height, QImage::Format_Mono);
        const std::size_t stride = (static_cast<std::size_t>(image.width) + 7) / 8;
        out.setColorCount(2);
        out.setColor(0, qRgb(255, 255, 255)); // bit 0: white
        out.setColor(1, qRgb(0, 0, 0));
        for (int y = 0; y < image.height; ++y)
            std::memcpy(out.scanLine(y), image.data.data() + stride * y, stride);
    }
    if (out.isNull()) {
        out = QImage(longSide * 7 / 10, longSide, QImage::Format_RGB888);
        out.fill(Qt::lightGray);
        return out;
    }
    return out.scaled(longSide, longSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

} // namespace scan::ui

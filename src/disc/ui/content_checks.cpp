#include "disc/ui/content_checks.h"

#include "platform/file_read.h"
#include "platform/jpeg_errors.h"
#include "platform/ui/image_reading.h"
#include "platform/ui/pdf_reader.h"
#include "platform/utf8.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>
#include <QString>

#include <algorithm>
#include <memory>

namespace disc::ui {
namespace {

QString QPath(const std::filesystem::path& file) {
    return QString::fromStdString(platform::PathToUtf8(file));
}

} // namespace

ContentInspector::Verdict QtContentInspector::inspectPdf(const std::filesystem::path& file) {
    std::call_once(held_, [this] { hold_ = std::make_unique<platform::ui::PdfReaderHold>(); });
    switch (platform::ui::InspectPdf(QPath(file))) {
    case platform::ui::PdfState::Good:
        return Verdict::Good;
    case platform::ui::PdfState::Locked:
        return Verdict::Locked;
    case platform::ui::PdfState::NoReader:
        return Verdict::NoReader;
    case platform::ui::PdfState::Unreadable:
        break;
    }
    return Verdict::Unreadable;
}

ContentInspector::Verdict QtContentInspector::inspectImage(const std::filesystem::path& file) {
    // A JPEG's whole coded data, decoded by libjpeg at 1/8 of its size: data
    // ending early or corrupt is found at a fraction of a full decode's cost.
    const platform::FileContent content = platform::ReadRegularFile(file, std::uintmax_t{1} << 30);
    if (!content.ok())
        return Verdict::Unreadable;
    const platform::JpegVerdict jpeg = platform::CheckJpegData(
        reinterpret_cast<const unsigned char*>(content.bytes.data()), content.bytes.size());
    if (jpeg != platform::JpegVerdict::NotJpeg)
        return jpeg == platform::JpegVerdict::Good ? Verdict::Good : Verdict::Unreadable;
    // Other pictures through Qt, from the bytes read (the program's memory
    // limit, not Qt's smaller default, so an A4 page at 600 dpi passes).
    platform::ui::UseImageMemoryLimit();
    QByteArray data =
        QByteArray::fromRawData(content.bytes.data(), static_cast<qsizetype>(content.bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    const QImage image = reader.read();
    return image.isNull() ? Verdict::Unreadable : Verdict::Good;
}

} // namespace disc::ui

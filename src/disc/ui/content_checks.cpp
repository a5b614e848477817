#include "disc/ui/content_checks.h"

#include "platform/ui/pdf_reader.h"
#include "platform/utf8.h"

#include <QImage>
#include <QImageReader>
#include <QString>

#include <algorithm>
#include <memory>

namespace materials::ui {
namespace {

QString QPath(const std::filesystem::path& file) {
    return QString::fromStdString(util::PathToUtf8(file));
}

// Pictures larger than this are decoded at a reduced size where the format
// allows it (JPEG decodes at 1/2 to 1/8 directly): every byte is still read.
constexpr int kDecodeEdge = 1024;

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
    QImageReader reader(QPath(file));
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (reader.format() == "jpeg" && size.isValid() &&
        std::max(size.width(), size.height()) > kDecodeEdge)
        reader.setScaledSize(size.scaled(kDecodeEdge, kDecodeEdge, Qt::KeepAspectRatio));
    const QImage image = reader.read();
    return image.isNull() ? Verdict::Unreadable : Verdict::Good;
}

} // namespace materials::ui

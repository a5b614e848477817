#include "disc/ui/content_checks.h"

#include "platform/utf8.h"

#include <QImage>
#include <QImageReader>
#include <QString>
#include <QVariant>

#include <poppler-qt6.h>

#include <algorithm>
#include <memory>

namespace materials::ui {
namespace {

QString QPath(const std::filesystem::path& file) {
    return QString::fromStdString(util::PathToUtf8(file));
}

void IgnorePopplerMessage(const QString&, const QVariant&) {}

// Pictures larger than this are decoded at a reduced size where the format
// allows it (JPEG decodes at 1/2 to 1/8 directly): every byte is still read.
constexpr int kDecodeEdge = 1024;

} // namespace

QtContentInspector::QtContentInspector() {
    // A damaged file is a finding of the check, not something for stderr.
    Poppler::setDebugErrorFunction(IgnorePopplerMessage, QVariant());
}

ContentInspector::Verdict QtContentInspector::inspectPdf(const std::filesystem::path& file) {
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(QPath(file));
    if (!document)
        return Verdict::Unreadable;
    if (document->isLocked())
        return Verdict::Locked;
    if (document->numPages() < 1 || !document->page(0))
        return Verdict::Unreadable;
    return Verdict::Good;
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

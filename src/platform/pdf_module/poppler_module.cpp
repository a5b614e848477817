// The PDF reader module: poppler, opened by the program the first time it
// reads a PDF (platform/ui/pdf_reader.h). poppler brings its own tree of
// libraries, which the program would otherwise load at every start.

#include <QImage>
#include <QString>
#include <QVariant>
#include <QtGlobal>

#include <poppler-qt6.h>

#include <functional>
#include <memory>

namespace {

void IgnorePopplerMessage(const QString&, const QVariant&) {}

std::unique_ptr<Poppler::Document> Open(const QString& path) {
    // A damaged file is the caller's finding, not something for stderr.
    static const bool quiet = [] {
        Poppler::setDebugErrorFunction(IgnorePopplerMessage, QVariant());
        return true;
    }();
    (void)quiet;
    return Poppler::Document::load(path);
}

} // namespace

// 0: the PDF opens and has a first page; 1: it does not; 2: it needs a password.
extern "C" Q_DECL_EXPORT int quillor_pdf_inspect(const QString& path) {
    const std::unique_ptr<Poppler::Document> document = Open(path);
    if (!document)
        return 1;
    if (document->isLocked())
        return 2;
    if (document->numPages() < 1 || !document->page(0))
        return 1;
    return 0;
}

// The first page at `dpi`; a null image when the PDF cannot be shown.
extern "C" Q_DECL_EXPORT void quillor_pdf_first_page(const QString& path, double dpi,
                                                     QImage& page) {
    page = QImage();
    const std::unique_ptr<Poppler::Document> document = Open(path);
    if (!document || document->isLocked() || document->numPages() < 1)
        return;
    if (const std::unique_ptr<Poppler::Page> first = document->page(0))
        page = first->renderToImage(dpi, dpi);
}

// Each page in turn: rendered at `dpi` as a viewer shows it (its crop box,
// turned by its rotation), or, for a page that carries text already, a null
// image and `hasText`. `each` returns false to stop. False when the PDF
// cannot be read.
extern "C" Q_DECL_EXPORT bool quillor_pdf_each_page(
    const QString& path, double dpi,
    const std::function<bool(int page, int pages, const QImage& image, bool hasText)>& each) {
    const std::unique_ptr<Poppler::Document> document = Open(path);
    if (!document || document->isLocked())
        return false;
    const int pages = document->numPages();
    for (int i = 0; i < pages; ++i) {
        const std::unique_ptr<Poppler::Page> page = document->page(i);
        if (!page)
            return false;
        const bool hasText = !page->text(QRectF()).trimmed().isEmpty();
        if (!each(i, pages, hasText ? QImage() : page->renderToImage(dpi, dpi), hasText))
            break;
    }
    return true;
}

// The PDF reader module: poppler, opened by the program the first time it
// reads a PDF (platform/ui/pdf_reader.h). poppler brings its own tree of
// libraries, which the program would otherwise load at every start.

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QVariant>
#include <QtGlobal>

#include "platform/program_module.h"

#include <poppler-qt6.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace platform::pdf_module {
namespace {

void IgnorePopplerMessage(const QString&, const QVariant&) {}

// A damaged file is the caller's finding, not something for stderr.
void Quiet() {
    static const bool quiet = [] {
        Poppler::setDebugErrorFunction(IgnorePopplerMessage, QVariant());
        return true;
    }();
    (void)quiet;
}

std::unique_ptr<Poppler::Document> Open(const QString& path) {
    Quiet();
    return Poppler::Document::load(path);
}

// The smallest PDF poppler opens without complaint: a catalog and an empty
// page tree, with a correct cross-reference table.
QByteArray EmptyPdf() {
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (const char* object :
         {"<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [] /Count 0 >>"}) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(offsets.size()) + " 0 obj\n" + object + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 3\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        const std::string number = std::to_string(offset);
        pdf += std::string(10 - number.size(), '0') + number + " 00000 n \n";
    }
    pdf += "trailer\n<< /Size 3 /Root 1 0 R >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return QByteArray(pdf.data(), static_cast<qsizetype>(pdf.size()));
}

} // namespace
} // namespace platform::pdf_module

using namespace platform::pdf_module;

// poppler builds its global tables (names, encodings and character maps, read
// from poppler-data: about 3 MB and a millisecond of work) when its first
// document opens and frees them when its last one closes, so reading PDFs one
// after another builds them for each. A hold is an open empty document that
// keeps them between documents; null when it cannot be had.
extern "C" Q_DECL_EXPORT void* quillor_pdf_hold() {
    Quiet();
    return Poppler::Document::loadFromData(EmptyPdf()).release();
}

extern "C" Q_DECL_EXPORT void quillor_pdf_release(void* hold) {
    delete static_cast<Poppler::Document*>(hold);
}

// 0: the PDF opens and has a first page; 1: it does not; 2: it needs a password.
extern "C" QUILLOR_MODULE_EXPORT int quillor_pdf_inspect(const QString& path) {
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
extern "C" QUILLOR_MODULE_EXPORT void quillor_pdf_first_page(const QString& path, double dpi,
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

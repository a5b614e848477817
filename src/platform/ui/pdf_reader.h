#pragma once
// Reading PDF files: whether one opens, and its first page as a picture. The
// reader (poppler) lives in the program's module "quillor-pdf", opened on the
// first call (platform/program_module.h).

#include <QImage>
#include <QString>

#include <functional>

namespace platform::ui {

// NoReader: the reader module cannot be opened (it is named on stderr then).
enum class PdfState { Good, Unreadable, Locked, NoReader };

PdfState InspectPdf(const QString& path);

// The first page at `dpi`; a null image when it cannot be shown.
QImage FirstPdfPage(const QString& path, double dpi);

// While one exists, the reader keeps the tables it builds for every document
// (about 3 MB) instead of building them again for the next: for reading many
// PDFs one after another. Opens the reader module.
class PdfReaderHold {
  public:
    PdfReaderHold();
    ~PdfReaderHold();
    PdfReaderHold(const PdfReaderHold&) = delete;
    PdfReaderHold& operator=(const PdfReaderHold&) = delete;

  private:
    void* hold_ = nullptr;
};

// Each page in turn (`each` returns false to stop): rendered at `dpi` as a
// viewer shows it, or a null image with `hasText` for a page that carries
// text. False when the PDF cannot be read.
using PdfPageVisitor = std::function<bool(int page, int pages, const QImage& image, bool hasText)>;
bool EachPdfPage(const QString& path, double dpi, const PdfPageVisitor& each);

} // namespace platform::ui

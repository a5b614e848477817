#pragma once
// Reading PDF files: whether one opens, and its first page as a picture. The
// reader (poppler) lives in the program's module "quillor-pdf", opened on the
// first call (platform/program_module.h).

#include <QImage>
#include <QString>

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

} // namespace platform::ui

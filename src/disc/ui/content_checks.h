#pragma once
// The content checks of the package check that need a PDF reader or an
// image decoder: the PDF reader (platform/ui/pdf_reader.h) opens PDF files
// and tells a password-protected one, Qt's image reader decodes pictures.

#include "disc/package_check.h"
#include "platform/ui/pdf_reader.h"

#include <memory>
#include <mutex>

namespace disc::ui {

// Safe to call from several threads at once (the check runs it on workers).
class QtContentInspector final : public ContentInspector {
  public:
    Verdict inspectPdf(const std::filesystem::path& file) override;
    Verdict inspectImage(const std::filesystem::path& file) override;

  private:
    // Taken at the first PDF and kept for this inspector's life.
    std::once_flag held_;
    std::unique_ptr<platform::ui::PdfReaderHold> hold_;
};

} // namespace disc::ui
